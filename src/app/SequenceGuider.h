#pragma once

#include <string>

#include "app/AppUi.h"
#include "core/Clock.h"
#include "core/TimerService.h"
#include "files/HeaderKeywords.h"
#include "sequencer/GuiderGate.h"
#include "sequencer/SequenceEngine.h"

namespace zorvane {

// The sequencer's guider, put together for the main window: the gate the sequence engine asks
// before each exposure, read on its own timer (kTimerGuiderLink) while a guided sequence runs,
// the dialog refreshed when the guider's state changes, and the guiding RMS for the header of
// each sequence frame.
class SequenceGuider final : public SequenceGate {
public:
    static constexpr unsigned kPollMs = 25;

    SequenceGuider(SequenceEngine& engine, SequenceModel& model, TimerService& timers, Clock& clock,
                   AppUi& ui);
    ~SequenceGuider() override;
    SequenceGuider(const SequenceGuider&) = delete;
    SequenceGuider& operator=(const SequenceGuider&) = delete;

    bool OnTimer(int id);
    GuiderGate& Gate() { return gate_; }
    // The guider's line in the sequencer dialog.
    std::string StateText() const { return gate_.StateText(); }
    // The guiding RMS of the sequence frame about to be saved, while a guided sequence runs.
    void AddHeaderInputs(HeaderInputs& in) const;

    // ---- SequenceGate: the gate's, with the timer running from Begin to End ----
    void Begin(StopHandler stop) override;
    Answer BeforeExposure(int framesTaken) override { return gate_.BeforeExposure(framesTaken); }
    void ExposureStarted() override { gate_.ExposureStarted(); }
    void ExposureEnded() override { gate_.ExposureEnded(); }
    void FilterMoving() override { gate_.FilterMoving(); }
    void FilterArrived() override { gate_.FilterArrived(); }
    void End() override;
    std::string WaitText() const override { return gate_.WaitText(); }
    double ExpectedHoldSeconds(int framesTaken, int framesLeft) const override {
        return gate_.ExpectedHoldSeconds(framesTaken, framesLeft);
    }

private:
    SequenceEngine& engine_;
    TimerService& timers_;
    AppUi& ui_;
    GuiderGate gate_;
    std::string shown_;  // the state text the dialog shows
};

}  // namespace zorvane
