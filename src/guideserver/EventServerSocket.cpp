#include "guideserver/EventServerSocket.h"

#include <algorithm>

namespace zorvane {

bool EventServerSocket::Listen(int port, bool allInterfaces, std::string& error) {
    Close();
    return listener_.Listen(port, allInterfaces, error);
}

void EventServerSocket::Close() {
    for (Client& c : clients_) server_.Disconnect(c.id);
    clients_.clear();
    listener_.Close();
}

void EventServerSocket::Poll() {
    for (TcpConnection c = listener_.Accept(); c.Open(); c = listener_.Accept()) {
        if (clients_.size() >= kMaxClients) continue;  // closed as it goes out of scope
        clients_.push_back(Client{server_.Connect(), std::move(c)});
    }
    char buffer[8192];
    for (Client& c : clients_) {
        size_t taken = 0;
        while (taken < kReadPerPoll && !server_.Closing(c.id)) {
            const long n = c.connection.Read(buffer, sizeof buffer);
            if (n < 0) {
                c.connection.Close();
                break;
            }
            if (n == 0) break;
            taken += static_cast<size_t>(n);
            server_.Receive(c.id, std::string_view(buffer, static_cast<size_t>(n)));
        }
    }
    server_.ProcessQueued();
    for (Client& c : clients_) {
        std::string* out = server_.Output(c.id);
        if (!out || !c.connection.Open()) continue;
        const long n = c.connection.Write(*out);
        if (n < 0) {
            c.connection.Close();
            continue;
        }
        out->erase(0, static_cast<size_t>(n));
        if (out->empty() && server_.Closing(c.id)) c.connection.Close();
    }
    std::erase_if(clients_, [this](Client& c) {
        if (c.connection.Open()) return false;
        server_.Disconnect(c.id);
        return true;
    });
}

}  // namespace zorvane
