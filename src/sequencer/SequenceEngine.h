#pragma once

#include <optional>
#include <string>

#include "camera/CameraConnection.h"
#include "camera/CameraLibrary.h"
#include "camera/CameraOwner.h"
#include "camera/ExposureCycle.h"
#include "core/CommandRunner.h"
#include "core/Prompts.h"
#include "core/TimerService.h"
#include "sequencer/FilterWheelControl.h"
#include "sequencer/SequenceGate.h"
#include "sequencer/SequenceHost.h"
#include "sequencer/SequenceModel.h"

namespace zorvane {

// Runs an exposure sequence unattended: steps through the enabled lines in the order of the
// repeat mode, moves the filter wheel, prepares the camera with each line's binning and
// exposure (through the exposure cycle's own preparation and download), saves each frame under
// its sequence name, runs the line's command and waits the delay, until the sequence is
// complete or stopped. Driven by timer 6 (the delay before the next exposure), timer 7 (the
// poll for the frame) and timer 8 (the wait for a line's command, which never holds up the
// window; the sequence steps on only once the command has finished). It holds the camera from
// Run to its end; a camera that goes away ends it with a word.
class SequenceEngine {
public:
    static constexpr const char* kCaption = "Sequencer";
    static constexpr const char* kFilterFailed =
        "Failed to position filter wheel: sequence terminating";
    static constexpr const char* kComplete = "Sequence complete.";
    // A sequence that went through its steps without a frame for each: "%d of %d".
    static constexpr const char* kIncomplete =
        "Sequence ended: %d of %d frames were saved.\n"
        "The camera gave no frame for the others.";
    // A line whose binning leaves nothing of the subframe: line, binning.
    static constexpr const char* kEmptyFrame =
        "Line %d: the subframe is smaller than the binning %dx%d, so the frame would be empty.\n"
        "Choose a larger subframe or a smaller binning.";
    static constexpr unsigned kCommandPollMs = 20;
    static constexpr unsigned kGatePollMs = 50;
    // The line and repeat (from 1) the sequence had reached.
    // Run with the camera gone (lost, or never connected).
    static constexpr const char* kNoCamera =
        "No camera is connected, so the sequence cannot run.\nUse Connect to connect the camera.";
    static constexpr const char* kCameraLostFormat =
        "Lost connection to Camera\nThe sequence stopped at line %d, repeat %d; the files saved "
        "before it are complete.\nUse Connect to reconnect.";

    SequenceEngine(CameraLibrary& lib, CameraConnection& camera, ExposureCycle& cycle,
                   TimerService& timers, Prompts& prompts, SequenceModel& model,
                   CommandRunner& commands, SequenceHost& host, CameraOwner& owner);
    SequenceEngine(const SequenceEngine&) = delete;
    SequenceEngine& operator=(const SequenceEngine&) = delete;

    // The wheel the sequence moves before each line; none (nullptr) means no filter moves.
    void SetFilterWheel(FilterWheelControl* wheel) { wheel_ = wheel; }
    // What each exposure waits for besides the wheel (the guider); none: nothing.
    void SetGate(SequenceGate* gate) { gate_ = gate; }

    // The dialog's Run/Stop button.
    void StartStopSequence();
    // Stops a running sequence (a failed save does this); nothing when none runs.
    void StopSequence();
    // Stops a running sequence and says why (caption "Sequencer").
    void Abandon(const std::string& message);
    // Advances (line, repeat) to the next step of the repeat mode; false when there is none.
    bool NextStep();
    // Timers 6, 7, 8 and 11; false for other ids.
    bool OnTimer(int id);

    bool Running() const { return running_; }
    // The line's command has been started and has not finished yet.
    bool WaitingForCommand() const { return phase_ == Phase::Command; }
    // The exposure waits for the gate.
    bool WaitingForGate() const { return phase_ == Phase::Gate; }
    int Line() const { return line_; }
    int Repeat() const { return repeat_; }
    const std::string& StatusText() const { return status_; }
    std::string RunButtonText() const { return running_ ? "Stop" : "Run"; }
    // How far a running sequence is: "Frame 3 of 10, 4 min 20 s left", the time left from the
    // exposures and delays still to come and the gate's expected holds; empty when idle.
    std::string ProgressText() const;
    int FramesTaken() const { return framesTaken_; }

    // The red "closing this window will not stop the sequencer" note.
    bool NoteVisible() const { return note_; }
    void HideNote();
    // The dialog is asked to close while it is visible: the first time during a sequence the
    // note shows (with the exclamation beep) and the dialog stays; false then.
    bool RequestDialogHide();

    // While a sequence runs: the current line's file suffix, the repeat index for file names,
    // and the 0-based filter position the frame was taken through (the line's filter as it was
    // when its exposure started, where the wheel was sent and arrived), for the header.
    std::string CurrentLineSuffix() const;
    int CurrentRepeatIndex() const { return repeat_ > 0 ? repeat_ : 0; }
    std::optional<int> CurrentFilterPosition() const;

private:
    // Wheel: a wheel found at Run is being connected. Filter: the wheel moves to the line's
    // filter before its exposure.
    enum class Phase { Idle, Wheel, Delay, Filter, Gate, Exposing, Command };
    enum class WheelMove { None, Move, Fails };

    void Start();
    // Run goes on once the wheel has been checked: `inUse` when the sequence moves it.
    void WheelChecked(bool inUse, unsigned startDelay);
    void Stop();
    void StartSequenceExposure();
    // The line's filter is in place: the gate is told, then asked.
    void ExposeLine();
    // Asks the gate; exposes when it says go, asks again on timer 11 while it says wait.
    void PassGate();
    void Expose();
    void PollExposure();
    void CompleteSequenceExposure();
    void PollCommand();
    void FinishStep();
    // What the current line asks of the wheel: nothing (no wheel is used), a move to
    // `position`, or a move that fails (the wheel in use is gone, or the filter is not one of
    // its positions).
    WheelMove LineFilter(int& position);
    // Sends the wheel to the current line's filter without waiting; false when that fails.
    bool MoveFilter();
    void Terminate(const char* message);
    // The camera stopped answering: stop and say where the sequence was.
    void CameraLost();
    bool CameraGone() { return !camera_.IsConnected(lib_); }
    // The first enabled line whose binning leaves an empty frame, said; false then.
    bool EveryLineGivesAFrame();
    void ShowStepStatus();
    bool LineEnabled(int line) const { return model_.lines[line].enabled; }

    CameraLibrary& lib_;
    CameraConnection& camera_;
    ExposureCycle& cycle_;
    TimerService& timers_;
    Prompts& prompts_;
    SequenceModel& model_;
    CommandRunner& commands_;
    SequenceHost& host_;
    CameraOwner& owner_;
    FilterWheelControl* wheel_ = nullptr;
    SequenceGate* gate_ = nullptr;
    std::string gateText_;     // what the gate waited for when the status was made
    bool wheelInUse_ = false;  // the sequence moves the wheel (in use or found at Run)

    bool running_ = false;
    Phase phase_ = Phase::Idle;
    int line_ = -1;
    int repeat_ = 0;
    int framesTaken_ = 0;
    int framesSaved_ = 0;
    unsigned run_ = 0;  // counts the runs: an answer for an earlier one is not this one's
    std::optional<int> frameFilter_;  // the filter of the exposure running or taken last
    std::string status_;
    bool note_ = false;
};

}  // namespace zorvane
