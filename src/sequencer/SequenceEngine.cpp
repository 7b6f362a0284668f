#include "sequencer/SequenceEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/TimerIds.h"
#include "sequencer/SequenceCommand.h"

namespace zorvane {

SequenceEngine::SequenceEngine(CameraLibrary& lib, CameraConnection& camera, ExposureCycle& cycle,
                               TimerService& timers, Prompts& prompts, SequenceModel& model,
                               CommandRunner& commands, SequenceHost& host, CameraOwner& owner)
    : lib_(lib),
      camera_(camera),
      cycle_(cycle),
      timers_(timers),
      prompts_(prompts),
      model_(model),
      commands_(commands),
      host_(host),
      owner_(owner) {}

void SequenceEngine::StartStopSequence() {
    if (running_)
        Stop();
    else
        Start();
}

void SequenceEngine::StopSequence() {
    if (running_) Stop();
}

bool SequenceEngine::NextStep() {
    return model_.NextStep(line_, repeat_);
}

void SequenceEngine::ShowStepStatus() {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Line %d, Repeat %d", line_ + 1, repeat_ + 1);
    status_ = buf;
    gateText_ = phase_ == Phase::Gate && gate_ ? gate_->WaitText() : std::string();
    if (!gateText_.empty()) status_ += ": " + gateText_;
}

void SequenceEngine::Start() {
    // Not without a camera to take the frames, and not while another activity has it.
    if (CameraGone()) {
        prompts_.MessageBox(kNoCamera, kCaption, MessageButtons::Ok, MessageIcon::Exclamation);
        return;
    }
    if (!owner_.MayUseOrTell(CameraActivity::Sequence, prompts_)) return;
    if (!EveryLineGivesAFrame()) return;
    framesTaken_ = framesSaved_ = 0;
    ++run_;
    const unsigned startDelay = SequenceModel::DelayMilliseconds(model_.delayStart);
    running_ = true;
    frameFilter_.reset();
    model_.StartStep(line_, repeat_);
    if (!NextStep()) {
        running_ = false;
        return;
    }
    owner_.Acquire(CameraActivity::Sequence, [this](CameraLoss why) {
        if (why == CameraLoss::Lost)
            CameraLost();
        else
            StopSequence();
    });
    ShowStepStatus();
    host_.SequencerStateChanged();
    if (gate_) gate_->Begin([this](const std::string& message) { Abandon(message); });

    // A wheel in use is only checked: switching it off and on again would take it from every
    // other program on its server. One that is not in use is looked for, as at start-up; a
    // wheel in use that cannot be reached stops the sequence at its first move.
    wheelInUse_ = false;
    const bool needed = wheel_ && wheel_->InUse();
    if (!wheel_ || (needed && wheel_->IsConnected())) return WheelChecked(needed, startDelay);
    // The sequence goes on once the wheel has answered (or not).
    phase_ = Phase::Wheel;
    wheel_->ConnectQuietly([this, run = run_, needed, startDelay](bool reached) {
        if (run == run_ && phase_ == Phase::Wheel) WheelChecked(needed || reached, startDelay);
    });
}

void SequenceEngine::WheelChecked(bool inUse, unsigned startDelay) {
    wheelInUse_ = inUse;
    if (wheel_ && wheel_->IsConnected()) model_.SetFilterRange(wheel_->GetPositionCount());
    if (!MoveFilter()) {
        Terminate(kFilterFailed);
        return;
    }
    phase_ = Phase::Delay;
    timers_.SetTimer(kTimerSeqStart, startDelay);
}

bool SequenceEngine::EveryLineGivesAFrame() {
    for (int line = 0; line < SequenceModel::kLineCount; ++line) {
        const int bin = model_.BinningFactor(line);
        if (!LineEnabled(line) || cycle_.GivesAFrame(bin, bin)) continue;
        char text[256];
        std::snprintf(text, sizeof text, kEmptyFrame, line + 1, bin, bin);
        prompts_.MessageBox(text, kCaption, MessageButtons::Ok, MessageIcon::Exclamation);
        return false;
    }
    return true;
}

SequenceEngine::WheelMove SequenceEngine::LineFilter(int& position) {
    // A wheel that was there at the start and has gone since is a failed move, not "no wheel":
    // the next frames would be taken, and labelled, through a filter nobody put there.
    if (!wheel_ || !wheel_->IsConnected()) return wheelInUse_ ? WheelMove::Fails : WheelMove::None;
    position = model_.FilterPosition(line_);
    if (position < 0 || position >= wheel_->GetPositionCount()) return WheelMove::Fails;
    return WheelMove::Move;
}

bool SequenceEngine::MoveFilter() {
    int position = 0;
    const WheelMove move = LineFilter(position);
    return move == WheelMove::None || (move == WheelMove::Move && wheel_->SetPosition(position));
}

void SequenceEngine::StartSequenceExposure() {
    // Gone while the sequence waited: no filter moves for a camera that cannot take the frame.
    if (CameraGone()) return CameraLost();
    int position = 0;
    const WheelMove move = LineFilter(position);
    if (move == WheelMove::Fails) return Terminate(kFilterFailed);
    if (move == WheelMove::None) return ExposeLine();
    // Guiding pauses while the wheel turns to another filter (the move shakes the guide star),
    // for the wait just before the exposure: not for a whole delay between exposures, over
    // which the mount would drift unguided.
    if (gate_ && frameFilter_ != position) gate_->FilterMoving();
    // The exposure starts once the wheel reports the line's filter.
    phase_ = Phase::Filter;
    wheel_->MoveAndWait(position, [this, run = run_](bool reached) {
        if (run != run_ || phase_ != Phase::Filter) return;
        if (!reached) return Terminate(kFilterFailed);
        ExposeLine();
    });
}

void SequenceEngine::ExposeLine() {
    // The camera may have gone while the wheel moved.
    if (CameraGone()) return CameraLost();
    if (gate_) gate_->FilterArrived();
    frameFilter_ = model_.FilterPosition(line_);
    PassGate();
}

void SequenceEngine::PassGate() {
    if (gate_) {
        const SequenceGate::Answer answer = gate_->BeforeExposure(framesTaken_);
        if (answer.verdict == SequenceGate::Verdict::Wait) {
            const bool first = phase_ != Phase::Gate;
            phase_ = Phase::Gate;
            if (first) timers_.SetTimer(kTimerSeqGate, kGatePollMs);
            if (first || gate_->WaitText() != gateText_) {
                ShowStepStatus();
                host_.SequencerStateChanged();
            }
            return;
        }
        timers_.KillTimer(kTimerSeqGate);
        if (answer.verdict == SequenceGate::Verdict::Stop) return Abandon(answer.message);
        if (phase_ == Phase::Gate) {
            phase_ = Phase::Delay;
            ShowStepStatus();
            host_.SequencerStateChanged();
        }
    }
    Expose();
}

void SequenceEngine::Expose() {
    const int bin = model_.BinningFactor(line_);
    const float exposure = model_.ExposureSeconds(line_);
    cycle_.PrepareCamera(bin, bin, exposure);
    cycle_.StartFreshExposure(exposure);
    if (gate_) gate_->ExposureStarted();
    phase_ = Phase::Exposing;
    timers_.SetTimer(kTimerSeqPoll, 1);
}

void SequenceEngine::PollExposure() {
    if (cycle_.PollFreshFrame()) {
        timers_.KillTimer(kTimerSeqPoll);
        CompleteSequenceExposure();
    } else if (CameraGone()) {
        // A camera that dropped off never reports its frame.
        CameraLost();
    }
}

void SequenceEngine::CompleteSequenceExposure() {
    WaitCursor wait(prompts_);
    host_.MakeExposureTimeText();
    if (gate_) gate_->ExposureEnded();
    ++framesTaken_;
    // A frame that cannot be fetched is skipped: nothing shown, saved or run for it.
    if (cycle_.DownloadAndShowFrame()) {
        host_.OnNewFrameShown();
        const std::string saved = host_.SaveSequenceImage();
        if (!running_) return;  // the save failed and stopped the sequence
        if (!saved.empty()) ++framesSaved_;
        const std::string& command = model_.lines[line_].command;
        if (!saved.empty() && !command.empty()) {
            CommandValues values;
            values.file = saved;
            values.loop = static_cast<long long>(repeat_) + 1;
            values.line = static_cast<long long>(line_) + 1;
            values.seq = static_cast<long long>(host_.SequenceNumber()) + repeat_;
            // The exit status is not examined; a command that cannot start is passed over.
            if (commands_.Start(SubstituteCommand(command, values))) {
                phase_ = Phase::Command;
                timers_.SetTimer(kTimerSeqCommand, kCommandPollMs);
                return;
            }
        }
    } else if (CameraGone()) {
        // The frame did not come because the camera went (its server died).
        return CameraLost();
    }
    FinishStep();
}

void SequenceEngine::PollCommand() {
    if (commands_.Running()) return;
    timers_.KillTimer(kTimerSeqCommand);
    FinishStep();
}

void SequenceEngine::FinishStep() {
    cycle_.SetExposing(false);
    phase_ = Phase::Idle;
    if (NextStep()) {
        ShowStepStatus();
        host_.SequencerStateChanged();
        if (!MoveFilter()) {
            Terminate(kFilterFailed);
            return;
        }
        phase_ = Phase::Delay;
        timers_.SetTimer(kTimerSeqStart, SequenceModel::DelayMilliseconds(model_.delay));
        return;
    }
    const int repeats = model_.repeat;
    // Stopped before the message: the box must not find a sequence that Run/Stop could touch.
    Stop();
    if (framesSaved_ == framesTaken_) {
        prompts_.MessageBox(kComplete, kCaption, MessageButtons::Ok, MessageIcon::Information);
    } else {
        char text[256];
        std::snprintf(text, sizeof text, kIncomplete, framesSaved_, framesTaken_);
        prompts_.MessageBox(text, kCaption, MessageButtons::Ok, MessageIcon::Exclamation);
    }
    host_.AdvanceSequenceNumber(repeats);
    host_.RefreshExposureDialog();
}

void SequenceEngine::Abandon(const std::string& message) {
    if (!running_) return;
    Stop();
    prompts_.Beep(BeepKind::Exclamation);
    prompts_.MessageBox(message, kCaption, MessageButtons::Ok, MessageIcon::Exclamation);
}

void SequenceEngine::Terminate(const char* message) {
    Stop();
    prompts_.MessageBox(message, kCaption, MessageButtons::Ok, MessageIcon::Exclamation);
}

void SequenceEngine::CameraLost() {
    char text[256];
    std::snprintf(text, sizeof text, kCameraLostFormat, line_ + 1, repeat_ + 1);
    Stop();
    prompts_.Beep(BeepKind::Exclamation);
    prompts_.MessageBox(text, kCaption, MessageButtons::Ok, MessageIcon::Exclamation);
}

void SequenceEngine::Stop() {
    note_ = false;
    if (phase_ == Phase::Exposing) {
        if (!prompts_.IsShiftHeld()) {
            cycle_.SetExposing(false);
            timers_.KillTimer(kTimerSeqPoll);
            lib_.ZorvaneAbortExposure(camera_.handle);
        } else {
            // The camera ends the exposure early; the sequencer takes no more frames.
            lib_.ZorvaneStopExposure(camera_.handle);
        }
    }
    // A command still running is left to finish on its own.
    cycle_.SetExposing(false);
    const bool wasRunning = running_;
    running_ = false;
    phase_ = Phase::Idle;
    timers_.KillTimer(kTimerSeqStart);
    timers_.KillTimer(kTimerSeqPoll);
    timers_.KillTimer(kTimerSeqCommand);
    timers_.KillTimer(kTimerSeqGate);
    if (gate_ && wasRunning) gate_->End();
    status_.clear();
    owner_.Release(CameraActivity::Sequence);
    host_.SequencerStateChanged();
}

bool SequenceEngine::OnTimer(int id) {
    switch (id) {
        case kTimerSeqStart:
            timers_.KillTimer(kTimerSeqStart);
            cycle_.ResetPollCount();
            if (running_) StartSequenceExposure();
            return true;
        case kTimerSeqPoll:
            if (running_) PollExposure();
            return true;
        case kTimerSeqCommand:
            if (running_) PollCommand();
            return true;
        case kTimerSeqGate:
            if (!running_ || phase_ != Phase::Gate) {
                timers_.KillTimer(kTimerSeqGate);
            } else if (CameraGone()) {
                CameraLost();
            } else {
                PassGate();
            }
            return true;
        default:
            return false;
    }
}

void SequenceEngine::HideNote() {
    if (!note_) return;
    note_ = false;
    host_.SequencerStateChanged();
}

bool SequenceEngine::RequestDialogHide() {
    if (running_ && !note_) {
        note_ = true;
        prompts_.Beep(BeepKind::Exclamation);
        host_.SequencerStateChanged();
        return false;
    }
    HideNote();
    return true;
}

std::string SequenceEngine::ProgressText() const {
    if (!running_) return {};
    const int total = model_.StepCount();
    int line = line_, pass = repeat_;
    // The steps after this one, with their exposures and the delay before each.
    double seconds = 0;
    int after = 0;
    while (model_.NextStep(line, pass)) {
        seconds += model_.ExposureSeconds(line) + std::max(model_.delay, 0);
        ++after;
    }
    // Edits made while it runs may leave fewer steps than were taken; the count stays sane.
    const int frame = std::max(framesTaken_ + 1, total - after);
    const int frames = std::max(total, frame);
    if (phase_ == Phase::Exposing) {
        seconds += std::max(0.0f, lib_.ZorvaneExposureTimeRemaining(camera_.handle));
    } else if (phase_ != Phase::Command) {
        seconds += model_.ExposureSeconds(line_);
    }
    if (gate_) seconds += gate_->ExpectedHoldSeconds(framesTaken_, frames - framesTaken_);
    const long long s = std::llround(seconds);
    char left[48];
    if (s >= 3600)
        std::snprintf(left, sizeof left, "%lld h %02lld min", s / 3600, s / 60 % 60);
    else if (s >= 60)
        std::snprintf(left, sizeof left, "%lld min %02lld s", s / 60, s % 60);
    else
        std::snprintf(left, sizeof left, "%lld s", s);
    char text[96];
    std::snprintf(text, sizeof text, "Frame %d of %d, about %s left", frame, frames, left);
    return text;
}

std::string SequenceEngine::CurrentLineSuffix() const {
    if (line_ < 0 || line_ >= SequenceModel::kLineCount) return {};
    return model_.lines[line_].suffix;
}

std::optional<int> SequenceEngine::CurrentFilterPosition() const {
    if (!running_) return std::nullopt;
    return frameFilter_;
}

}  // namespace zorvane
