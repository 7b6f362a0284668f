// Servers that send more than any real one: an element that never ends, a flood of devices, a
// wheel with 100000 filter names; and one that sends no XML at all. The program's side (the
// filter wheel through the INDI transport) runs in a child process so that its peak memory is
// its own: the connection ends with a message naming the server, memory stays bounded, and
// the child goes on to report.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>

#include "automation/IndiTransport.h"
#include "filterwheel/FilterWheel.h"
#include "fixtures/TempDir.h"
#include "support/DeviceLoop.h"
#include "support/ScriptedPrompts.h"

namespace zorvane {
namespace {

struct Outcome {
    bool reported = false;  // the child lived to tell
    bool connected = true;
    std::string message;  // what a user asking to connect was told
    std::string notice;   // the cut-off notice
    long long ms = 0;     // how long the connect took
    long peakMb = 0;      // the child's peak resident memory
};

// What the hostile server writes: `head` once, then `body(n)` for n = 0, 1, … until the client
// goes (an empty body: it stays connected and says nothing more).
struct Script {
    std::string head;
    std::function<std::string(int)> body;
};

// The program's side, in the child: connect the wheel (not quietly), report on `out`.
void RunProgramSide(const std::string& ini, int out) {
    std::mutex m;
    std::string notice;
    IndiTransport transport(ini, [&](const std::string& text) {
        std::lock_guard lock(m);
        notice = text;
    });
    test::ScriptedPrompts prompts;
    test::DeviceLoop d;
    FilterWheel wheel = d.Wheel(transport, prompts);
    const auto start = std::chrono::steady_clock::now();
    const bool connected = d.Connect(wheel, false).value_or(false);
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
    std::lock_guard lock(m);
    const std::string report = std::to_string(connected) + "\n" + std::to_string(ms) + "\n" +
                               (prompts.messages.empty() ? "" : prompts.messages[0].text) + "\n" +
                               notice + "\n";
    (void)!write(out, report.data(), report.size());
}

// Serves one client with `script` on a loopback port while the program's side runs in a child.
Outcome Serve(const Script& script) {
    Outcome outcome;
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return outcome;
    test::TempDir dir;
    const std::string ini = dir.File("ZorvaneCapture.ini");
    test::WriteText(ini, "[Automation]\nQelt.Filterwheel.Com=@localhost:" +
                             std::to_string(ntohs(address.sin_port)) + "\n");
    int report[2];
    if (pipe(report) != 0) return outcome;

    // Forked before this process has any thread of its own.
    const pid_t child = fork();
    if (child == 0) {
        close(listener);
        close(report[0]);
        RunProgramSide(ini, report[1]);
        _exit(0);
    }
    close(report[1]);
    pollfd waiting{listener, POLLIN, 0};
    const int client = poll(&waiting, 1, 10000) == 1 ? accept(listener, nullptr, nullptr) : -1;
    close(listener);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string pending = script.head;
    for (int n = 0; client >= 0 && std::chrono::steady_clock::now() < until;) {
        if (pending.empty() && script.body) pending = script.body(n++);
        pollfd p[2] = {{client, static_cast<short>(pending.empty() ? 0 : POLLOUT), 0},
                       {report[0], POLLIN, 0}};
        if (poll(p, 2, 100) < 0 || (p[1].revents & (POLLIN | POLLHUP))) break;
        if (!(p[0].revents & POLLOUT)) continue;
        const ssize_t sent = send(client, pending.data(), pending.size(), MSG_NOSIGNAL);
        if (sent <= 0) break;  // the client closed the connection
        pending.erase(0, static_cast<size_t>(sent));
    }
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(report[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    if (client >= 0) close(client);
    close(report[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    outcome.peakMb = usage.ru_maxrss / 1024;

    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    if (lines.size() != 4 || !WIFEXITED(status)) return outcome;
    outcome.reported = true;
    outcome.connected = lines[0] == "1";
    outcome.ms = std::stoll(lines[1]);
    outcome.message = lines[2];
    outcome.notice = lines[3];
    return outcome;
}

std::string DeviceFlood(int n) {
    std::string xml;
    for (int i = 0; i < 100; ++i)
        xml += "<defSwitchVector device=\"Device " + std::to_string(n * 100 + i) +
               "\" name=\"CONNECTION\" state=\"Idle\" perm=\"rw\" rule=\"OneOfMany\">"
               "<defSwitch name=\"CONNECT\">Off</defSwitch>"
               "<defSwitch name=\"DISCONNECT\">On</defSwitch></defSwitchVector>\n";
    return xml;
}

// A connected wheel, as a simulator describes itself, but with `names` filter names.
std::string WheelWithNames(int names) {
    std::string xml =
        "<defTextVector device=\"Wheel\" name=\"DRIVER_INFO\" state=\"Idle\" perm=\"ro\">"
        "<defText name=\"DRIVER_INTERFACE\">16</defText></defTextVector>\n"
        "<defSwitchVector device=\"Wheel\" name=\"CONNECTION\" state=\"Ok\" perm=\"rw\" "
        "rule=\"OneOfMany\"><defSwitch name=\"CONNECT\">On</defSwitch>"
        "<defSwitch name=\"DISCONNECT\">Off</defSwitch></defSwitchVector>\n"
        "<defNumberVector device=\"Wheel\" name=\"FILTER_SLOT\" state=\"Ok\" perm=\"rw\">"
        "<defNumber name=\"FILTER_SLOT_VALUE\" min=\"1\" max=\"8\" step=\"1\">1</defNumber>"
        "</defNumberVector>\n"
        "<defTextVector device=\"Wheel\" name=\"FILTER_NAME\" state=\"Idle\" perm=\"rw\">";
    for (int i = 1; i <= names; ++i)
        xml += "<defText name=\"FILTER_SLOT_NAME_" + std::to_string(i) + "\">Filter " +
               std::to_string(i) + "</defText>";
    return xml + "</defTextVector>\n";
}

TEST(HostileServer, IsCutOffWithAMessageAndBoundedMemory) {
    const std::string chunk(64 << 10, 'A');
    struct Case {
        const char* name;
        Script script;
        const char* cutOff;  // what the notice says was sent; null: no notice
    } cases[] = {
        {"an element that never ends",
         {"<defTextVector device=\"Wheel\" name=\"FILTER_NAME\"><defText name=\"F1\">",
          [&](int) { return chunk; }},
         "sent a message larger than 4 MB"},
        {"a flood of devices", {{}, DeviceFlood}, "defined more than 256 devices"},
        {"a wheel with 100000 filter names",
         {WheelWithNames(100000), {}},
         "sent a property vector with more than 1024 elements"},
        {"no XML at all", {"SSH-2.0-OpenSSH_9.2\r\n<<<>>>\n", {}}, nullptr},
    };
    for (const Case& c : cases) {
        const Outcome o = Serve(c.script);
        std::printf("%-34s peak %3ld MB, connect %lld ms, notice: %s\n", c.name, o.peakMb, o.ms,
                    o.notice.c_str());
        ASSERT_TRUE(o.reported) << c.name << ": the program's side did not survive";
        EXPECT_FALSE(o.connected) << c.name;
        EXPECT_EQ(o.message, "Cannot communicate with filterwheel") << c.name;
        if (c.cutOff) {
            EXPECT_EQ(o.notice.rfind("The INDI server at localhost:", 0), 0u) << o.notice;
            EXPECT_NE(o.notice.find(c.cutOff), std::string::npos) << o.notice;
        } else {
            EXPECT_EQ(o.notice, "") << c.name;
        }
        EXPECT_LT(o.peakMb, 64) << c.name;
    }
}

}  // namespace
}  // namespace zorvane
