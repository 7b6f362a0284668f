#include "guideprotocol/GuiderClient.h"

#include <vector>

namespace zorvane {

void GuiderClient::Connect(const std::string& host, int port) {
    Close();
    host_ = host;
    port_ = port;
    error_.clear();
    connectStartMs_ = clock_.Milliseconds();
    connection_ = TcpConnection::StartConnect(host, port, error_);
    if (!connection_.Open()) {
        state_ = State::Closed;
        return;
    }
    state_ = State::Connecting;
}

void GuiderClient::Close() {
    connection_.Close();
    pending_.clear();
    output_.clear();
    lines_ = jsonline::LineSplitter(kMaxLine);
    if (state_ != State::Idle) state_ = State::Closed;
}

void GuiderClient::CloseAfterSending() {
    if (state_ == State::Connected) Flush();
    Close();
}

void GuiderClient::Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    Close();
}

int GuiderClient::Request(std::string_view method, Json params, AnswerHandler onAnswer) {
    const int id = ++nextId_;
    output_ += jsonline::Line(jsonline::Request(method, std::move(params), id));
    pending_[id] = std::move(onAnswer);
    return id;
}

void GuiderClient::Flush() {
    while (!output_.empty()) {
        const long n = connection_.Write(output_);
        if (n < 0) return Fail("the connection failed");
        if (n == 0) return;
        output_.erase(0, static_cast<size_t>(n));
    }
}

void GuiderClient::Poll() {
    if (state_ == State::Connecting) {
        std::string why;
        switch (connection_.Connected(why)) {
            case TcpConnection::ConnectState::Connecting:
                if (clock_.Milliseconds() - connectStartMs_ >= kConnectTimeoutMs)
                    Fail("no answer within " + std::to_string(kConnectTimeoutMs / 1000) + " s");
                return;
            case TcpConnection::ConnectState::Failed:
                return Fail(why);
            case TcpConnection::ConnectState::Connected:
                state_ = State::Connected;
                break;
        }
    }
    if (state_ != State::Connected) return;
    Flush();
    std::vector<jsonline::LineSplitter::Piece> pieces;
    char buffer[16384];
    for (size_t taken = 0; state_ == State::Connected && taken < kReadPerPoll;) {
        const long n = connection_.Read(buffer, sizeof buffer);
        if (n < 0) {
            error_ = error_.empty() ? "the guider closed the connection" : error_;
            // What came before the end is still handled below.
            connection_.Close();
            break;
        }
        if (n == 0) break;
        taken += static_cast<size_t>(n);
        lines_.Feed(std::string_view(buffer, static_cast<size_t>(n)), pieces);
    }
    const bool ended = !connection_.Open();
    for (const auto& piece : pieces) {
        if (piece.tooLong) continue;
        if (const auto message = jsonline::Parse(piece.text); message && message->is_object())
            Handle(*message);
        if (state_ != State::Connected) return;  // a handler closed the client
    }
    if (ended) {
        pending_.clear();
        state_ = State::Closed;
        return;
    }
    Flush();
}

void GuiderClient::Handle(const Json& message) {
    if (message.contains("Event")) {
        if (onEvent_) onEvent_(message);
        return;
    }
    const auto id = message.find("id");
    if (id == message.end() || !id->is_number_integer()) return;
    const auto it = pending_.find(id->get<int>());
    if (it == pending_.end()) return;
    AnswerHandler handler = std::move(it->second);
    pending_.erase(it);
    Answer answer;
    const auto error = message.find("error");
    if (error != message.end() && error->is_object()) {
        answer.code = static_cast<int>(jsonline::NumberOr(*error, "code", 0));
        answer.message = jsonline::TextOr(*error, "message");
    } else {
        answer.ok = true;
        const auto result = message.find("result");
        if (result != message.end()) answer.result = *result;
    }
    if (handler) handler(answer);
}

}  // namespace zorvane
