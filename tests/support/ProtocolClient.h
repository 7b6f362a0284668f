#pragma once

// A client of the guiding event protocol written from its description: it sends JSON requests
// one per line, takes the server's CR LF lines apart, matches answers to requests by id and
// keeps the events in the order they came. It talks to an EventServer in the same process
// (no socket) or to any server over TCP.

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "guideserver/EventServer.h"
#include "platform/TcpListener.h"

namespace zorvane::test {

class ProtocolClient {
public:
    using json = nlohmann::json;

    // In process.
    explicit ProtocolClient(EventServer& server) : server_(&server), id_(server.Connect()) {}
    // Over TCP.
    explicit ProtocolClient(TcpConnection connection) : tcp_(std::move(connection)) {}
    ~ProtocolClient() {
        if (server_) server_->Disconnect(id_);
    }

    void SendRaw(const std::string& bytes) {
        if (server_) {
            server_->Receive(id_, bytes);
        } else {
            for (size_t done = 0; done < bytes.size();) {
                const long n = tcp_.Write(std::string_view(bytes).substr(done));
                if (n < 0) break;
                done += static_cast<size_t>(n);
            }
        }
    }
    // Sends a request; returns its id.
    int Request(const std::string& method, json params = nullptr) {
        json r{{"method", method}, {"id", ++nextId_}};
        if (!params.is_null()) r["params"] = std::move(params);
        SendRaw(r.dump() + "\r\n");
        return nextId_;
    }
    // Takes what the server has sent; false once the connection is closed.
    bool Pump() {
        std::string fresh;
        if (server_) {
            if (std::string* out = server_->Output(id_)) {
                fresh.swap(*out);
            } else {
                closed_ = true;
            }
        } else {
            char buf[65536];
            for (long n; (n = tcp_.Read(buf, sizeof buf)) != 0;) {
                if (n < 0) {
                    closed_ = true;
                    break;
                }
                fresh.append(buf, static_cast<size_t>(n));
            }
        }
        partial_ += fresh;
        for (size_t end; (end = partial_.find("\r\n")) != std::string::npos;) {
            const std::string line = partial_.substr(0, end);
            partial_.erase(0, end + 2);
            lines_.push_back(line);
            json j = json::parse(line);
            if (j.contains("Event")) {
                events.push_back(j);
            } else if (j.contains("id") && j["id"].is_number()) {
                answers[j["id"].get<int>()] = j;
            } else {
                others.push_back(j);
            }
        }
        return !closed_;
    }
    bool Answered(int id) const { return answers.count(id) != 0; }
    std::vector<std::string> EventNames() const {
        std::vector<std::string> names;
        for (const json& e : events) names.push_back(e["Event"].get<std::string>());
        return names;
    }
    int Count(const std::string& event) const {
        int n = 0;
        for (const json& e : events) n += e["Event"] == event;
        return n;
    }
    const json* Last(const std::string& event) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if ((*it)["Event"] == event) return &*it;
        return nullptr;
    }
    const std::vector<std::string>& Lines() const { return lines_; }
    bool Closed() const { return closed_; }

    std::vector<json> events;
    std::map<int, json> answers;
    std::vector<json> others;  // answers without an id (errors about unreadable lines)

private:
    EventServer* server_ = nullptr;
    EventServer::ClientId id_ = 0;
    TcpConnection tcp_;
    int nextId_ = 0;
    std::string partial_;
    std::vector<std::string> lines_;
    bool closed_ = false;
};

}  // namespace zorvane::test
