#pragma once

#include <string>
#include <string_view>

namespace zorvane {

// One end of a TCP connection in non-blocking mode; closed with the object.
class TcpConnection {
public:
    explicit TcpConnection(int fd = -1) : fd_(fd) {}
    ~TcpConnection() { Close(); }
    TcpConnection(TcpConnection&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    TcpConnection& operator=(TcpConnection&& other) noexcept;
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    bool Open() const { return fd_ >= 0; }
    // Bytes read into `buffer` (0: none waiting); -1 when the peer closed or the connection
    // failed.
    long Read(char* buffer, size_t size);
    // Bytes written (0: the connection cannot take more now); -1 when it failed.
    long Write(std::string_view bytes);
    void Close();

    // Connects to host:port, blocking until connected; for clients and tests.
    static TcpConnection ConnectTo(const std::string& host, int port);

    // Starts connecting to host:port without waiting for the peer (the name is looked up
    // first); not open when that already fails, with `error` saying why. Poll Connected()
    // until the connection is made or has failed.
    static TcpConnection StartConnect(const std::string& host, int port, std::string& error);
    enum class ConnectState { Connecting, Connected, Failed };
    // How a connection from StartConnect stands; `error` says why it failed.
    ConnectState Connected(std::string& error);

private:
    int fd_;
};

// A listening TCP socket in non-blocking mode: connections are taken when the caller polls.
class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener() { Close(); }
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Listens on the loopback interface, or on every interface; port 0 takes a free one. On
    // failure `error` says why (the system's text).
    bool Listen(int port, bool allInterfaces, std::string& error);
    void Close();
    bool Listening() const { return fd_ >= 0; }
    int Port() const { return port_; }
    // A connection that is waiting to be taken; not open when none is.
    TcpConnection Accept();

private:
    int fd_ = -1;
    int port_ = 0;
};

// The number of this program's running copy (1 for the first, 2 for a second one started
// beside it ...), held as long as the object lives.
class InstanceLock {
public:
    // Takes the lowest free number from 1 to `max` (0 when all are taken).
    explicit InstanceLock(int max = 16);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    int Number() const { return number_; }

private:
    int fd_ = -1;
    int number_ = 0;
};

}  // namespace zorvane
