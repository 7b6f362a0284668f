#include "indi/IndiClient.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>

#include "indi/IndiStream.h"

namespace zorvane::indi {

const Element* PropertySnapshot::Find(std::string_view element) const {
    for (const Element& e : elements)
        if (e.name == element) return &e;
    return nullptr;
}

const PropertySnapshot* DeviceSet::Find(std::string_view device, std::string_view property) const {
    const auto d = devices.find(device);
    if (d == devices.end()) return nullptr;
    const auto p = d->second.find(std::string(property));
    return p == d->second.end() ? nullptr : &p->second;
}

unsigned DeviceSet::DriverInterface(std::string_view device) const {
    const PropertySnapshot* info = Find(device, "DRIVER_INFO");
    const Element* e = info ? info->Find("DRIVER_INTERFACE") : nullptr;
    if (!e) return 0;
    return static_cast<unsigned>(std::strtoul(e->text.c_str(), nullptr, 10));
}

namespace {

// A connected stream socket to host:port, or -1: refused at once, unreachable after `timeoutMs`.
int OpenSocket(const std::string& host, int port, int timeoutMs) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) continue;
        bool ok = connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        if (!ok && errno == EINPROGRESS) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{fd, POLLOUT, 0};
            int error = 0;
            socklen_t length = sizeof error;
            ok = left.count() > 0 && poll(&p, 1, static_cast<int>(left.count())) == 1 &&
                 getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
        }
        if (!ok) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0) return -1;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // A server that stops reading must not hold a sender for ever.
    timeval limit{IndiClient::kSendTimeoutMs / 1000, (IndiClient::kSendTimeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

std::string Number(double value) {
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// <newXVector device="d" name="p"><oneX name="e">value</oneX>...</newXVector>
template <typename Pairs, typename Format>
std::string NewVector(const char* kind, const std::string& device, const std::string& property,
                      const Pairs& elements, Format format) {
    std::string xml = std::string("<new") + kind + "Vector device=\"" + XmlEscape(device) +
                      "\" name=\"" + XmlEscape(property) + "\">\n";
    for (const auto& [name, value] : elements)
        xml += std::string("  <one") + kind + " name=\"" + XmlEscape(name) + "\">" + format(value) +
               "</one" + kind + ">\n";
    return xml + "</new" + kind + "Vector>\n";
}

}  // namespace

struct IndiClient::Shared {
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    DeviceSet set;
    size_t stored = 0;
    bool connected = false;
    bool closing = false;  // the program ends the connection itself
    std::string cutOff;
    std::map<std::string, size_t, std::less<>> blobDevices;  // the largest BLOB each may send
    std::string server;                                      // "host:port", for messages
    int fd = -1;
    std::mutex sendMutex;
    std::mutex sinkMutex;  // held while the sink runs, so replacing it waits for the call
    BlobSink sink;

    void Lost() {
        {
            std::lock_guard lock(mutex);
            connected = false;
        }
        changed.notify_all();
    }

    // The reader thread: parse, apply, wake the waiters, until the server goes or is cut off.
    void Read(const CutOffNotice& notice, const LostNotice& lost, const UpdateSink& updates) {
        std::string refused;
        IndiStream stream(
            StreamLimits{},
            [&](WireMessage&& m) {
                if (!refused.empty()) return;
                std::optional<PropertySnapshot> copy;
                {
                    std::lock_guard lock(mutex);
                    const std::string device = m.device, name = m.name;
                    const bool change = m.type != MessageType::Delete;
                    if (auto error = ApplyMessage(set, std::move(m), StreamLimits{}, stored))
                        refused = std::move(*error);
                    else if (const PropertySnapshot* p = set.Find(device, name);
                             p && change && updates)
                        copy = *p;
                }
                changed.notify_all();
                if (copy) updates(*copy);
            },
            [&](const BlobView& blob) {
                std::lock_guard lock(sinkMutex);
                if (sink) sink(blob);
            },
            [&](std::string_view device) {
                std::lock_guard lock(mutex);
                const auto it = blobDevices.find(device);
                return it == blobDevices.end() ? size_t{0} : it->second;
            });
        std::vector<char> buffer(size_t{64} << 10);
        for (;;) {
            const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
            if (n < 0 && errno == EINTR) continue;
            // A stream that is not XML ends the connection as a lost server does.
            if (n <= 0 || !stream.Feed(buffer.data(), static_cast<size_t>(n))) break;
            if (!refused.empty()) break;
        }
        if (refused.empty()) refused = stream.LimitExceeded();
        std::string text;
        bool byProgram = false;
        {
            std::lock_guard lock(mutex);
            byProgram = closing;
            if (!refused.empty()) {
                text = "The INDI server at " + server + " " + refused +
                       "; the program has closed its connection to it.";
                cutOff = text;
            }
        }
        shutdown(fd, SHUT_RDWR);
        Lost();
        if (!text.empty() && notice) notice(text);
        if (!byProgram && lost) lost();
    }
};

IndiClient::IndiClient() : shared_(std::make_shared<Shared>()) {}

IndiClient::~IndiClient() {
    Disconnect();
}

bool IndiClient::Connect(const std::string& host, int port, int timeoutMs) {
    Disconnect();
    // A write to a server that has just died must not end the whole program in the middle of a
    // night (every send here asks for no signal; other code may not).
    std::signal(SIGPIPE, SIG_IGN);
    auto shared = std::make_shared<Shared>();
    shared->sink = blobSink_;
    const std::string name = host.empty() ? "localhost" : host;
    shared->server = name + ":" + std::to_string(port);
    shared->fd = OpenSocket(name, port, timeoutMs < 1 ? 1 : timeoutMs);
    shared_ = shared;
    if (shared->fd < 0) return false;
    shared->connected = true;
    reader_ = std::thread([shared, notice = notice_, lost = lost_, updates = updateSink_] {
        shared->Read(notice, lost, updates);
    });
    return Send("<getProperties version=\"1.7\"/>\n");
}

void IndiClient::Disconnect() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->closing = true;
    }
    if (shared_->fd >= 0) {
        // Ending this side first lets what was sent reach the server (closing with its
        // messages unread would reset the connection and could lose the last command); the
        // server then ends its side, which is waited for a moment.
        shutdown(shared_->fd, SHUT_WR);
        WaitUntil([](const DeviceSet&) { return false; }, kCloseTimeoutMs);
        shutdown(shared_->fd, SHUT_RDWR);
    }
    if (reader_.joinable()) reader_.join();
    if (shared_->fd >= 0) close(shared_->fd);
    shared_->fd = -1;
    std::lock_guard lock(shared_->mutex);
    shared_->connected = false;
}

bool IndiClient::IsConnected() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->connected;
}

std::string IndiClient::CutOff() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->cutOff;
}

DeviceSet IndiClient::Devices() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->set;
}

std::optional<PropertySnapshot> IndiClient::Get(std::string_view device,
                                                std::string_view property) const {
    std::lock_guard lock(shared_->mutex);
    const PropertySnapshot* p = shared_->set.Find(device, property);
    if (!p) return std::nullopt;
    return *p;
}

bool IndiClient::WaitUntil(const std::function<bool(const DeviceSet&)>& ready,
                           int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(shared_->mutex);
    bool result = false;
    shared_->changed.wait_until(lock, deadline, [&] {
        result = ready(shared_->set);
        return result || !shared_->connected;
    });
    return result;
}

bool IndiClient::WaitForProperty(std::string_view device, std::string_view property,
                                 int timeoutMs) const {
    return WaitUntil([&](const DeviceSet& s) { return s.Find(device, property) != nullptr; },
                     timeoutMs);
}

bool IndiClient::Send(const std::string& xml) {
    if (!IsConnected()) return false;
    std::lock_guard lock(shared_->sendMutex);
    for (size_t sent = 0; sent < xml.size();) {
        const ssize_t n = send(shared_->fd, xml.data() + sent, xml.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // Half a message would garble the stream: the connection is over.
            shutdown(shared_->fd, SHUT_RDWR);
            shared_->Lost();
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

bool IndiClient::SendSwitches(const std::string& device, const std::string& property,
                              const std::vector<std::pair<std::string, bool>>& elements) {
    if (elements.empty()) return false;
    return Send(NewVector("Switch", device, property, elements,
                          [](bool on) { return std::string(on ? "On" : "Off"); }));
}

bool IndiClient::SendNumbers(const std::string& device, const std::string& property,
                             const std::vector<std::pair<std::string, double>>& elements) {
    if (elements.empty()) return false;
    return Send(NewVector("Number", device, property, elements, Number));
}

bool IndiClient::SendTexts(const std::string& device, const std::string& property,
                           const std::vector<std::pair<std::string, std::string>>& elements) {
    if (elements.empty()) return false;
    return Send(NewVector("Text", device, property, elements,
                          [](const std::string& text) { return XmlEscape(text); }));
}

bool IndiClient::SelectSwitch(const std::string& device, const std::string& property,
                              const std::string& element) {
    const std::optional<PropertySnapshot> p = Get(device, property);
    if (!p || !p->Find(element)) return false;
    std::vector<std::pair<std::string, bool>> values;
    for (const Element& e : p->elements) values.emplace_back(e.name, e.name == element);
    return SendSwitches(device, property, values);
}

bool IndiClient::EnableBlobs(const std::string& device, const std::string& property,
                             size_t largest) {
    if (!IsConnected()) return false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->blobDevices[device] = largest > 0 ? largest : StreamLimits{}.blobBytes;
    }
    std::string xml = "<enableBLOB device=\"" + XmlEscape(device) + "\"";
    if (!property.empty()) xml += " name=\"" + XmlEscape(property) + "\"";
    return Send(xml + ">Also</enableBLOB>\n");
}

void IndiClient::SetBlobSink(BlobSink sink) {
    // The sink lives in the connection's shared state; a later Connect starts a new one, so
    // keep it for that too.
    blobSink_ = sink;
    std::lock_guard lock(shared_->sinkMutex);
    shared_->sink = std::move(sink);
}

std::pair<std::string, int> IndiClient::ParseServer(std::string_view text) {
    std::string host(text);
    int port = kDefaultPort;
    const size_t colon = host.rfind(':');
    if (colon != std::string::npos) {
        const std::string portText = host.substr(colon + 1);
        char* end = nullptr;
        const long value = std::strtol(portText.c_str(), &end, 10);
        if (!portText.empty() && end && *end == '\0' && value > 0 && value < 65536)
            port = static_cast<int>(value);
        host.erase(colon);
    }
    if (host.empty()) host = "localhost";
    return {host, port};
}

}  // namespace zorvane::indi
