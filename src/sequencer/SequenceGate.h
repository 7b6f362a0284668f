#pragma once

#include <functional>
#include <string>

namespace zorvane {

// What a sequence waits for besides the camera and the wheel (a guider that has to settle, a
// guide star that has to come back). The engine asks it before each exposure and tells it
// about the exposures, the filter moves and the end; it knows nothing of why the gate holds.
class SequenceGate {
public:
    enum class Verdict { Go, Wait, Stop };
    struct Answer {
        Verdict verdict = Verdict::Go;
        std::string message;  // why the sequence has to stop
    };
    using StopHandler = std::function<void(const std::string& message)>;

    virtual ~SequenceGate() = default;
    // Run. `stop` ends the sequence with a message when something goes wrong between the
    // questions (the guider went away); it is never called from inside the engine's calls.
    virtual void Begin(StopHandler stop) = 0;
    // Before an exposure, with the filter in place; asked again while the answer is Wait.
    virtual Answer BeforeExposure(int framesTaken) = 0;
    virtual void ExposureStarted() = 0;
    // The exposure has ended; its frame is about to be saved.
    virtual void ExposureEnded() = 0;
    // The sequence waits for the wheel on its way to another filter / the wheel has arrived.
    virtual void FilterMoving() = 0;
    virtual void FilterArrived() = 0;
    // The sequence ended, however it ended.
    virtual void End() = 0;
    // What the gate waits for, for the status line ("settling"); empty when it does not wait.
    virtual std::string WaitText() const = 0;
    // Seconds it expects to hold the remaining frames (settling after dithers), from what it
    // held so far; `framesTaken` done, `framesLeft` to come.
    virtual double ExpectedHoldSeconds(int framesTaken, int framesLeft) const = 0;
};

}  // namespace zorvane
