#pragma once

#include <string>
#include <vector>

#include "guideserver/EventServer.h"
#include "platform/TcpListener.h"

namespace zorvane {

// Carries the event server's lines over TCP: takes new connections, hands what clients sent to
// the server and sends what it has for them, and closes what either side ended. Polled from
// the window's timer; it never blocks, and reads at most a bounded amount per client and poll.
class EventServerSocket {
public:
    static constexpr int kMaxClients = 16;
    static constexpr size_t kReadPerPoll = 64 * 1024;

    explicit EventServerSocket(EventServer& server) : server_(server) {}
    ~EventServerSocket() { Close(); }

    bool Listen(int port, bool allInterfaces, std::string& error);
    // Stops listening and drops every client.
    void Close();
    bool Listening() const { return listener_.Listening(); }
    int Port() const { return listener_.Port(); }
    size_t ClientCount() const { return clients_.size(); }
    void Poll();

private:
    struct Client {
        EventServer::ClientId id;
        TcpConnection connection;
    };
    EventServer& server_;
    TcpListener listener_;
    std::vector<Client> clients_;
};

}  // namespace zorvane
