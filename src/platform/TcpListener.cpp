#include "platform/TcpListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zorvane {

namespace {

void NonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

}  // namespace

TcpConnection& TcpConnection::operator=(TcpConnection&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

long TcpConnection::Read(char* buffer, size_t size) {
    if (fd_ < 0) return -1;
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, size, 0);
        if (n > 0) return n;
        if (n == 0) return -1;  // the peer closed
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

long TcpConnection::Write(std::string_view bytes) {
    if (fd_ < 0) return -1;
    if (bytes.empty()) return 0;
    for (;;) {
        // A peer gone away must not end the program with SIGPIPE.
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

void TcpConnection::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

TcpConnection TcpConnection::ConnectTo(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return TcpConnection();
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd >= 0) NonBlocking(fd);
    return TcpConnection(fd);
}

TcpConnection TcpConnection::StartConnect(const std::string& host, int port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int looked = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (looked != 0) {
        error = ::gai_strerror(looked);
        return TcpConnection();
    }
    int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                      found->ai_protocol);
    if (fd < 0) {
        error = std::strerror(errno);
    } else if (::connect(fd, found->ai_addr, found->ai_addrlen) != 0 && errno != EINPROGRESS) {
        error = std::strerror(errno);
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    if (fd >= 0) {
        const int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    }
    return TcpConnection(fd);
}

TcpConnection::ConnectState TcpConnection::Connected(std::string& error) {
    if (fd_ < 0) return ConnectState::Failed;
    pollfd p{fd_, POLLOUT, 0};
    const int n = ::poll(&p, 1, 0);
    if (n < 0 && errno != EINTR) {
        error = std::strerror(errno);
        return ConnectState::Failed;
    }
    if (n <= 0) return ConnectState::Connecting;
    int failure = 0;
    socklen_t length = sizeof failure;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &failure, &length) != 0) failure = errno;
    if (failure == 0) return ConnectState::Connected;
    error = std::strerror(failure);
    return ConnectState::Failed;
}

bool TcpListener::Listen(int port, bool allInterfaces, std::string& error) {
    Close();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(allInterfaces ? INADDR_ANY : INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0) {
        error = std::strerror(errno);
        ::close(fd);
        return false;
    }
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    NonBlocking(fd);
    fd_ = fd;
    return true;
}

void TcpListener::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    port_ = 0;
}

TcpConnection TcpListener::Accept() {
    if (fd_ < 0) return TcpConnection();
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return TcpConnection();
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    return TcpConnection(fd);
}

InstanceLock::InstanceLock(int max) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder =
        runtime && runtime[0] == '/' ? std::string(runtime) : std::string("/tmp");
    for (int n = 1; n <= max; ++n) {
        const std::string path = folder + "/zorvane-capture-" + std::to_string(::getuid()) + "-" +
                                 std::to_string(n) + ".lock";
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) continue;
        // The lock goes with the process, also when it dies.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fd_ = fd;
            number_ = n;
            return;
        }
        ::close(fd);
    }
}

InstanceLock::~InstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace zorvane
