#include "support/IndiServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "indi/IndiClient.h"

namespace zorvane::test {

namespace {

constexpr int kStartTimeoutMs = 15000;

// The program on PATH, or empty.
std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir =
            dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return {};
}

}  // namespace

IndiServer::IndiServer(std::vector<std::string> drivers, std::vector<std::string> devices)
    : drivers_(std::move(drivers)), devices_(std::move(devices)) {}

IndiServer::~IndiServer() {
    Stop();
}

int IndiServer::FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

std::string IndiServer::Address() const {
    return "localhost:" + std::to_string(port_);
}

IndiServer::Status IndiServer::Start() {
    Stop();
    port_ = FreePort();
    if (port_ == 0) {
        error_ = "no free loopback port";
        return Status::CannotStart;
    }
    return Launch();
}

IndiServer::Status IndiServer::Restart() {
    Stop();
    return port_ == 0 ? Start() : Launch();
}

IndiServer::Status IndiServer::Launch() {
    const std::string server = FindOnPath("indiserver");
    if (server.empty()) {
        error_ = "no indiserver on PATH (Debian package indi-bin)";
        return Status::CannotStart;
    }
    for (const std::string& d : drivers_) {
        if (FindOnPath(d).empty()) {
            error_ = "no " + d + " on PATH (Debian package indi-bin)";
            return Status::CannotStart;
        }
    }
    socketPath_ = "/tmp/indiserver-" + std::to_string(port_);

    std::vector<std::string> args = {server, "-p", std::to_string(port_), "-u", socketPath_,
                                     "-r",   "0"};
    args.insert(args.end(), drivers_.begin(), drivers_.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        error_ = "fork failed";
        return Status::CannotStart;
    }
    if (pid == 0) {
        // Its own process group, so that the drivers go with it; and it goes when the test
        // program does, however that ends.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    pid_ = pid;

    // The server listens once it has started its drivers; try until it answers.
    indi::IndiClient client;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    bool connected = false;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            error_ = "indiserver exited at start (status " + std::to_string(status) + ")";
            return Status::CannotStart;
        }
        if (client.Connect("localhost", port_, 500)) {
            connected = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!connected) {
        error_ = "indiserver did not accept connections on port " + std::to_string(port_);
        Stop();
        return Status::CannotStart;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    const bool ready = client.WaitUntil(
        [this](const indi::DeviceSet& set) {
            for (const std::string& d : devices_)
                if (!set.Find(d, "DRIVER_INFO") || !set.Find(d, "CONNECTION")) return false;
            return true;
        },
        static_cast<int>(left > 0 ? left : 1));
    client.Disconnect();
    if (!ready) {
        error_ = "the simulators' devices did not appear on port " + std::to_string(port_);
        Stop();
        return Status::DevicesMissing;
    }
    return Status::Started;
}

void IndiServer::Signal(int signal) {
    if (pid_ > 0) ::kill(-pid_, signal);
}

bool IndiServer::Reap(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pid_ > 0) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_ || r < 0) {
            pid_ = -1;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void IndiServer::Kill() {
    Signal(SIGKILL);
    Reap(5000);
}

void IndiServer::Pause() {
    Signal(SIGSTOP);
}

void IndiServer::Resume() {
    Signal(SIGCONT);
}

void IndiServer::Stop() {
    if (pid_ > 0) {
        Resume();  // a frozen server would not take its SIGTERM
        Signal(SIGTERM);
        if (!Reap(3000)) Kill();
    }
    if (!socketPath_.empty()) ::unlink(socketPath_.c_str());
}

}  // namespace zorvane::test
