#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "guideprotocol/JsonLines.h"
#include "guiding/GuiderInterface.h"

namespace zorvane {

struct EventServerOptions {
    std::string host = "localhost";  // "Host" of every event
    int instance = 1;                // "Inst" of every event
    std::string version = "4.2.0";
    size_t maxLine = 1024;
    // Requests a client may have waiting while the window is busy; more are refused.
    size_t maxQueued = 32;
    // Bytes waiting to be sent to one client; a client that lets more pile up is dropped.
    size_t maxOutput = 4u << 20;
};

// The guiding event protocol, without sockets: each client is a session that takes the bytes
// it sent and gives back the lines to send. Requests are dispatched onto the guider's
// interface; the guider's reports are broadcast to every client as events. A request that
// arrives while the window is busy (a modal box is up, and the guider must not be entered
// again) waits until ProcessQueued runs when it is free.
class EventServer : public GuiderListener {
public:
    using ClientId = int;
    using Json = jsonline::Json;

    // `unixTime` gives the events' Timestamp (seconds since 1970).
    EventServer(GuiderApi& api, EventServerOptions options, std::function<double()> unixTime);

    // Busy: requests wait (until ProcessQueued); events still go out.
    void SetBusyCheck(std::function<bool()> busy) { busy_ = std::move(busy); }
    bool Busy() const { return busy_ && busy_(); }

    // ---- the transport's side ----
    // A client connected: the catch-up events are its first output.
    ClientId Connect();
    void Receive(ClientId client, std::string_view bytes);
    void Disconnect(ClientId client);
    // What waits to be sent to the client; the transport erases what it sent.
    std::string* Output(ClientId client);
    // The connection is to be closed (after its output has gone, as far as it can).
    bool Closing(ClientId client) const;
    std::vector<ClientId> Clients() const;
    size_t QueuedRequests(ClientId client) const;
    // Answers what waited while the window was busy; returns at once while it still is.
    void ProcessQueued();

    // ---- the guider's reports, as events to every client ----
    void OnAppState(GuiderState state) override;
    void OnLoopingExposures(int frame) override;
    void OnLoopingStopped() override;
    void OnStarSelected(PointF star) override;
    void OnLockPositionSet(PointF lock) override;
    void OnLockPositionLost() override;
    void OnCalibrationStarted(const std::string& mount, std::optional<double> pixelScale,
                              int binning, double focalLength) override;
    void OnCalibrating(const CalibrationStepEvent& step) override;
    void OnCalibrationComplete(const CalibrationResult& result) override;
    void OnCalibrationFailed(const std::string& mount, const std::string& reason) override;
    void OnStartGuiding(const GuidingStart& start) override;
    void OnGuideStep(const GuideStepEvent& step) override;
    void OnStarLost(const StarLostEvent& lost) override;
    void OnSettleBegin() override;
    void OnSettling(const SettlingEvent& settling) override;
    void OnSettleDone(const SettleDoneEvent& done) override;
    void OnDithered(double dx, double dy, PointF newLock) override;
    void OnGuidingStopped() override;
    void OnPaused() override;
    void OnResumed() override;
    void OnAlert(const std::string& message, const std::string& type) override;

private:
    struct Session {
        jsonline::LineSplitter lines;
        std::deque<Json> queued;
        std::string output;
        bool closing = false;
        explicit Session(size_t maxLine) : lines(maxLine) {}
    };

    Json Event(const char* name) const;
    void Send(Session& s, const Json& message);
    void Broadcast(const Json& event);
    void Handle(Session& s, const Json& request);
    // The method's result, or an error message (code, text) filled in.
    Json Dispatch(const std::string& method, const Json* params, GuiderError& error, bool& failed);

    GuiderApi& api_;
    EventServerOptions options_;
    std::function<double()> unixTime_;
    std::function<bool()> busy_;
    std::map<ClientId, Session> sessions_;
    ClientId next_ = 1;
    bool processing_ = false;
};

}  // namespace zorvane
