#include "sequencer/GuiderGate.h"

#include <cmath>
#include <cstdio>

namespace zorvane {

namespace {

// A guider that takes the connection but says nothing of its state is not one.
constexpr uint64_t kFirstWordMs = 10000;

using jsonline::NumberOr;
using jsonline::TextOr;

}  // namespace

GuiderGate::GuiderGate(Clock& clock, const SequenceGuideOptions& options)
    : clock_(clock), options_(options), client_(clock) {
    client_.SetEventHandler([this](const Json& event) { OnEvent(event); });
}

std::string GuiderGate::Named(const std::string& what) const {
    return what + " the guider at " + client_.Address();
}

void GuiderGate::Begin(StopHandler stop) {
    End();
    if (!options_.guide) return;
    stop_ = std::move(stop);
    failure_.clear();
    failureTold_ = false;
    appState_.clear();
    heardState_ = false;
    pixelScale_.reset();
    findAttempts_ = 0;
    settleTotalSeconds_ = 0;
    settles_ = 0;
    ditheredBefore_ = -1;
    dithers_ = 0;
    holdingSinceMs_.reset();
    pausedByUs_ = false;
    resumeRequest_ = 0;
    lastRms_.reset();
    phase_ = Phase::Connecting;
    stepSinceMs_ = Now();
    client_.Connect(options_.host, options_.port);
}

void GuiderGate::End() {
    phase_ = Phase::Off;
    stop_ = nullptr;
    measuring_ = false;
    // A guider paused for a filter move is left guiding, as it was found.
    if (pausedByUs_ && client_.GetState() == GuiderClient::State::Connected)
        client_.Request("set_paused", Json::array({false}));
    pausedByUs_ = false;
    client_.CloseAfterSending();
}

void GuiderGate::Fail(const std::string& message) {
    if (failure_.empty()) failure_ = message;
}

void GuiderGate::Poll() {
    if (phase_ == Phase::Off) return;
    if (failure_.empty()) {
        client_.Poll();
        if (client_.GetState() == GuiderClient::State::Closed) {
            if (!heardState_)
                Fail(Named("Cannot connect to") + ":\n" + client_.Error() +
                     "\n\nThe sequence did not start.");
            else
                Fail(Named("Lost the connection to") + " (" + client_.Error() +
                     "): sequence terminating");
        }
    }
    if (failure_.empty()) {
        const uint64_t now = Now();
        switch (phase_) {
            case Phase::Connecting:
                if (heardState_) {
                    client_.Request(
                        "get_pixel_scale", Json::array(), [this](const GuiderClient::Answer& a) {
                            if (a.ok && a.result.is_number() && a.result.get<double>() > 0)
                                pixelScale_ = a.result.get<double>();
                        });
                    // A guider that guides already (or is after a lost star) is taken as it is.
                    if (Guiding() || appState_ == "LostLock" || appState_ == "Calibrating")
                        phase_ = Phase::Ready;
                    else
                        StartGuiding();
                } else if (client_.GetState() == GuiderClient::State::Connected &&
                           now - stepSinceMs_ > kFirstWordMs) {
                    Fail(Named("No word from") + ": it does not speak the guiding event protocol.");
                }
                break;
            case Phase::Starting:
                if (startStep_ == StartStep::FirstFrame) {
                    if (frameSeen_) {
                        startStep_ = StartStep::FindStar;
                        NextStartStep();
                    } else if (now - stepSinceMs_ > kFirstFrameMs) {
                        Fail(Named("No frame from") + " within " +
                             std::to_string(kFirstFrameMs / 1000) + " s: sequence terminating");
                    }
                }
                break;
            case Phase::Settling:
                if (now > settleDeadlineMs_)
                    Settled(false, "no word of the settle within " +
                                       std::to_string((settleDeadlineMs_ - settleStartMs_) / 1000) +
                                       " s");
                break;
            default:
                break;
        }
    }
    if (!failure_.empty() && !failureTold_ && stop_) {
        failureTold_ = true;
        const StopHandler stop = stop_;
        const std::string message = failure_;
        stop(message);
    }
}

void GuiderGate::StartGuiding() {
    phase_ = Phase::Starting;
    startStep_ = StartStep::Unpause;
    NextStartStep();
}

void GuiderGate::NextStartStep() {
    switch (startStep_) {
        case StartStep::Unpause:
            client_.Request("set_paused", Json::array({false}),
                            [this](const GuiderClient::Answer&) {
                                startStep_ = StartStep::Loop;
                                NextStartStep();
                            });
            break;
        case StartStep::Loop:
            frameSeen_ = false;
            client_.Request("loop", Json::array(), [this](const GuiderClient::Answer& a) {
                if (!a.ok) return Fail(Named("Looping failed at") + ": " + a.message);
                startStep_ = StartStep::FirstFrame;
                stepSinceMs_ = Now();
            });
            break;
        case StartStep::FirstFrame:
            break;  // Poll goes on once a frame has come
        case StartStep::FindStar:
            client_.Request("find_star", Json::array(), [this](const GuiderClient::Answer& a) {
                if (a.ok) {
                    startStep_ = StartStep::Guide;
                    return NextStartStep();
                }
                if (++findAttempts_ >= kFindStarAttempts)
                    return Fail(Named("No guide star found by") + " (" + a.message +
                                "): sequence terminating");
                // The next frame may show one (a passing cloud).
                frameSeen_ = false;
                startStep_ = StartStep::FirstFrame;
                stepSinceMs_ = Now();
            });
            break;
        case StartStep::Guide:
            initialSettle_ = true;
            ditherSettle_ = false;
            RequestSettle("guide", Json{{"settle", SettleParams()}, {"recalibrate", false}});
            break;
    }
}

GuiderGate::Json GuiderGate::SettleParams() const {
    return Json{{"pixels", options_.settlePixels},
                {"time", options_.settleSeconds},
                {"timeout", options_.settleTimeout}};
}

void GuiderGate::RequestSettle(const char* method, Json params) {
    phase_ = Phase::Settling;
    settleStartMs_ = Now();
    settleDeadlineMs_ =
        settleStartMs_ + static_cast<uint64_t>(options_.settleTimeout) * 1000 + kSettleGraceMs;
    settleDistance_ = -1;
    client_.Request(method, std::move(params), [this](const GuiderClient::Answer& a) {
        // The answer comes at once; the settle's end comes later as an event.
        if (!a.ok && phase_ == Phase::Settling) Settled(false, a.message);
    });
}

void GuiderGate::Settled(bool ok, const std::string& error) {
    const bool initial = initialSettle_;
    // The first settle may have included a calibration: it says little of the next ones.
    if (!initial) {
        settleTotalSeconds_ += static_cast<double>(Now() - settleStartMs_) / 1000.0;
        ++settles_;
    }
    phase_ = Phase::Ready;
    initialSettle_ = ditherSettle_ = false;
    if (ok) return;
    if (initial && !Guiding())
        return Fail(Named("Guiding did not start at") + ": " + error + "\nSequence terminating");
    if (options_.stopOnSettleFailure)
        Fail(Named("No settling at") + ": " + error + "\nSequence terminating");
    // Otherwise the sequence goes on; a guider that does not guide still holds it.
}

SequenceGate::Answer GuiderGate::BeforeExposure(int framesTaken) {
    if (phase_ == Phase::Off) return {};
    if (!failure_.empty()) {
        failureTold_ = true;
        return {Verdict::Stop, failure_};
    }
    if (phase_ != Phase::Ready) return {Verdict::Wait, {}};
    if (resumeRequest_ != 0 && client_.Waiting(resumeRequest_)) return {Verdict::Wait, {}};
    const uint64_t now = Now();
    if (!Guiding()) {
        if (!holdingSinceMs_) holdingSinceMs_ = now;
        const uint64_t limitMs = static_cast<uint64_t>(options_.lostLimitSeconds) * 1000;
        if (now - *holdingSinceMs_ < limitMs) return {Verdict::Wait, {}};
        char text[200];
        std::snprintf(text, sizeof text, "%s for %d s: sequence terminating",
                      appState_ == "LostLock" ? "The guide star has been lost"
                                              : "The guider has not been guiding",
                      options_.lostLimitSeconds);
        failure_ = text;
        failureTold_ = true;
        return {Verdict::Stop, failure_};
    }
    if (holdingSinceMs_) {
        // Guiding is back, with the star somewhere near its lock position: settle first.
        holdingSinceMs_.reset();
        RequestSettle("guide", Json{{"settle", SettleParams()}, {"recalibrate", false}});
        return {Verdict::Wait, {}};
    }
    const int every = options_.ditherEvery;
    if (every > 0 && framesTaken > 0 && framesTaken % every == 0 &&
        ditheredBefore_ != framesTaken) {
        ditheredBefore_ = framesTaken;
        ditherSettle_ = true;
        RequestSettle("dither", Json{{"amount", options_.ditherPixels},
                                     {"raOnly", options_.ditherRaOnly},
                                     {"settle", SettleParams()}});
        return {Verdict::Wait, {}};
    }
    return {};
}

void GuiderGate::ExposureStarted() {
    if (phase_ == Phase::Off) return;
    measuring_ = true;
    steps_ = 0;
    ra_ = ra2_ = dec_ = dec2_ = 0;
}

void GuiderGate::ExposureEnded() {
    if (!measuring_) return;
    measuring_ = false;
    lastRms_.reset();
    if (steps_ == 0) return;
    const double n = steps_;
    // The population spread of the raw distances, as guide log viewers give it.
    const double varRa = std::max(0.0, ra2_ / n - (ra_ / n) * (ra_ / n));
    const double varDec = std::max(0.0, dec2_ / n - (dec_ / n) * (dec_ / n));
    Rms rms;
    rms.pixels = std::sqrt(varRa + varDec);
    rms.steps = steps_;
    if (pixelScale_) rms.arcseconds = rms.pixels * *pixelScale_;
    lastRms_ = rms;
}

void GuiderGate::FilterMoving() {
    if (phase_ != Phase::Ready || !Guiding() || pausedByUs_) return;
    client_.Request("set_paused", Json::array({true}));
    pausedByUs_ = true;
}

void GuiderGate::FilterArrived() {
    if (!pausedByUs_) return;
    pausedByUs_ = false;
    resumeRequest_ = client_.Request("set_paused", Json::array({false}),
                                     [this](const GuiderClient::Answer&) { resumeRequest_ = 0; });
}

void GuiderGate::OnEvent(const Json& event) {
    const std::string name = TextOr(event, "Event");
    if (name == "AppState") {
        appState_ = TextOr(event, "State");
        heardState_ = true;
    } else if (name == "StartCalibration" || name == "Calibrating") {
        appState_ = "Calibrating";
    } else if (name == "StartGuiding" || name == "Resumed") {
        appState_ = "Guiding";
    } else if (name == "GuideStep") {
        appState_ = "Guiding";
        if (measuring_) {
            const double ra = NumberOr(event, "RADistanceRaw", 0);
            const double dec = NumberOr(event, "DECDistanceRaw", 0);
            ++steps_;
            ra_ += ra;
            ra2_ += ra * ra;
            dec_ += dec;
            dec2_ += dec * dec;
        }
    } else if (name == "StarLost") {
        if (Guiding() || appState_ == "LostLock") appState_ = "LostLock";
    } else if (name == "Paused") {
        appState_ = "Paused";
    } else if (name == "GuidingStopped") {
        appState_ = "Stopped";
    } else if (name == "LoopingExposures") {
        frameSeen_ = true;
        if (appState_ == "Stopped" || appState_ == "Selected" || appState_.empty())
            appState_ = "Looping";
    } else if (name == "LoopingExposuresStopped") {
        if (appState_ == "Looping") appState_ = "Stopped";
    } else if (name == "Settling") {
        settleDistance_ = NumberOr(event, "Distance", -1);
    } else if (name == "SettleDone") {
        if (phase_ == Phase::Settling)
            Settled(NumberOr(event, "Status", 1) == 0, TextOr(event, "Error", "settling failed"));
    } else if (name == "GuidingDithered") {
        ++dithers_;
    }
}

std::optional<double> GuiderGate::MeanSettleSeconds() const {
    if (settles_ == 0) return std::nullopt;
    return settleTotalSeconds_ / settles_;
}

double GuiderGate::ExpectedHoldSeconds(int framesTaken, int framesLeft) const {
    if (phase_ == Phase::Off) return 0;
    const double each = MeanSettleSeconds().value_or(options_.settleSeconds);
    double seconds = 0;
    // Guiding still to start: one settle before the first frame.
    if (phase_ == Phase::Connecting || phase_ == Phase::Starting) seconds += each;
    const int every = options_.ditherEvery;
    if (every > 0) {
        for (int f = std::max(framesTaken, 1); f < framesTaken + framesLeft; ++f)
            if (f % every == 0 && f != ditheredBefore_) seconds += each;
    }
    return seconds;
}

std::string GuiderGate::WaitText() const {
    switch (phase_) {
        case Phase::Connecting:
            return "connecting to the guider";
        case Phase::Starting:
            return "starting guiding";
        case Phase::Settling:
            return ditherSettle_ ? "dithered, settling" : "settling";
        case Phase::Ready:
            if (resumeRequest_ != 0) return "resuming guiding";
            if (Guiding()) return {};
            return appState_ == "LostLock" ? "guide star lost" : "guider not guiding";
        default:
            return {};
    }
}

std::string GuiderGate::StateText() const {
    if (!options_.guide) return "Guiding: off";
    std::string text = "Guider " +
                       (phase_ == Phase::Off ? options_.host + ":" + std::to_string(options_.port)
                                             : client_.Address()) +
                       ": ";
    switch (phase_) {
        case Phase::Off:
            return text + "connects at Run";
        case Phase::Connecting:
            return text + (failure_.empty() ? "connecting" : "not reached");
        case Phase::Settling:
            text += "settling";
            if (settleDistance_ >= 0) {
                char d[32];
                std::snprintf(d, sizeof d, " (%.1f px)", settleDistance_);
                text += d;
            }
            break;
        default:
            text += appState_ == "LostLock" ? std::string("star lost")
                                            : (appState_.empty() ? "?" : appState_);
            break;
    }
    if (lastRms_) {
        char rms[64];
        if (lastRms_->arcseconds)
            std::snprintf(rms, sizeof rms, ", RMS %.2f\" last frame", *lastRms_->arcseconds);
        else
            std::snprintf(rms, sizeof rms, ", RMS %.2f px last frame", lastRms_->pixels);
        text += rms;
    }
    return text;
}

}  // namespace zorvane
