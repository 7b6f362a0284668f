#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "core/Clock.h"
#include "guideprotocol/JsonLines.h"
#include "platform/TcpListener.h"

namespace zorvane {

// A client of the guiding event protocol over TCP. It connects without waiting, sends requests
// and hands each answer to the handler given with its request, and every event to the event
// handler. Poll does all reading and writing and never blocks; handlers run inside it and may
// send requests or close the client.
class GuiderClient {
public:
    using Json = jsonline::Json;
    enum class State { Idle, Connecting, Connected, Closed };
    struct Answer {
        bool ok = false;
        Json result;   // when ok
        int code = 0;  // the error's code and text otherwise
        std::string message;
    };
    using AnswerHandler = std::function<void(const Answer&)>;
    using EventHandler = std::function<void(const Json& event)>;

    // A guider that has not taken the connection after this long is given up.
    static constexpr uint64_t kConnectTimeoutMs = 5000;
    // Longest line taken from the guider; longer ones are dropped.
    static constexpr size_t kMaxLine = 64 * 1024;
    // Bytes read per poll, so that a flood cannot hold the window.
    static constexpr size_t kReadPerPoll = 256 * 1024;

    explicit GuiderClient(Clock& clock) : clock_(clock) {}
    GuiderClient(const GuiderClient&) = delete;
    GuiderClient& operator=(const GuiderClient&) = delete;

    void SetEventHandler(EventHandler handler) { onEvent_ = std::move(handler); }
    // Starts connecting (closing any connection there was).
    void Connect(const std::string& host, int port);
    // Drops the connection and every request still waiting for its answer.
    void Close();
    // The same, after sending what can be sent at once of the requests made last.
    void CloseAfterSending();
    State GetState() const { return state_; }
    // Why the connection failed or ended; empty while none of that happened.
    const std::string& Error() const { return error_; }
    // "host:port", as messages name the guider.
    std::string Address() const { return host_ + ":" + std::to_string(port_); }

    // Sends a request (held until the connection is made); returns its id.
    int Request(std::string_view method, Json params, AnswerHandler onAnswer = {});
    bool Waiting(int id) const { return pending_.count(id) != 0; }
    void Poll();

private:
    void Fail(const std::string& why);
    void Handle(const Json& message);
    void Flush();

    Clock& clock_;
    EventHandler onEvent_;
    TcpConnection connection_;
    State state_ = State::Idle;
    std::string host_;
    int port_ = 0;
    uint64_t connectStartMs_ = 0;
    std::string error_;
    jsonline::LineSplitter lines_{kMaxLine};
    std::string output_;
    std::map<int, AnswerHandler> pending_;
    int nextId_ = 0;
};

}  // namespace zorvane
