#include "guiding/GuideCalibrator.h"

#include <cmath>
#include <cstdio>

namespace zorvane {

namespace {

constexpr int kProgressStep = 100 / 18;
// A frame that has not come this long after its exposure time ends the run.
constexpr unsigned kFrameMarginMs = 30000;
constexpr const char* kAppTitle = "Zorvane Capture";
// The longest pulse the dialog's "Calib. time" takes.
constexpr int kLongestPulseMs = 10000;

const char* DirectionName(int direction) {
    static constexpr const char* kNames[4] = {"north", "south", "east", "west"};
    return kNames[direction & 3];
}

void Tell(Prompts& prompts, const char* text, const char* caption) {
    prompts.MessageBox(text, caption, MessageButtons::Ok, MessageIcon::Exclamation);
}

}  // namespace

GuideCalibration DeriveCalibration(const float vx[4], const float vy[4]) {
    GuideCalibration c;
    const double ax = (vx[0] - vx[1]) / 2.0, ay = (vy[0] - vy[1]) / 2.0;
    const double bx = (vx[2] - vx[3]) / 2.0, by = (vy[2] - vy[3]) / 2.0;
    const double a = std::sqrt(ax * ax + ay * ay), b = std::sqrt(bx * bx + by * by);
    c.velNS = static_cast<float>(a);
    c.velWE = static_cast<float>(b);
    if (a > 0) {
        c.axisNSX = static_cast<float>(ax / a);
        c.axisNSY = static_cast<float>(ay / a);
    }
    if (b > 0) {
        c.axisWEX = static_cast<float>(bx / b);
        c.axisWEY = static_cast<float>(by / b);
    }
    return c;
}

GuideCalibrator::GuideCalibrator(CalibrationHost& host, Prompts& prompts, TimerService& timers,
                                 int timerId)
    : host_(host), prompts_(prompts), timers_(timers), timerId_(timerId) {}

bool GuideCalibrator::Start(const StarMeasurement& star, int searchRadius, int pulseMs,
                            const CalibrationSetup& setup, GuideCalibration& calibration) {
    if (Running()) return false;
    if (!host_.Owner().MayUseOrTell(CameraActivity::Calibration, prompts_)) return false;
    if (star.column < 0) {
        Tell(prompts_, "Before calibration you must select a star by double-clicking it.",
             "Calibrate");
        return false;
    }
    host_.Owner().Acquire(CameraActivity::Calibration, [this](CameraLoss why) { CameraGone(why); });
    calibration_ = &calibration;
    setup_ = setup;
    searchRadius_ = searchRadius;
    shortMove_ = -1;
    cancelled_ = lost_ = false;
    pulseMs_ = pulseMs;
    progress_ = 0;
    host_.ShowCalibrationProgress(true);
    host_.SetCalibrationProgress(0);
    savedSubframe_ = host_.SubframeRect();
    host_.StopAutoguiding();

    boxW_ = boxH_ = 3 * searchRadius;
    const int left = static_cast<int>(star.column - boxW_ / 2);
    const int top = static_cast<int>(star.row - boxH_ / 2);
    const Rect sensor = host_.SensorRect();
    if (left < 0 || left + boxW_ > sensor.right || top < 0 || top + boxH_ > sensor.bottom) {
        Tell(prompts_, "Please select a star nearer the centre of the CCD.", "Calibrate");
        RestoreSubframe();
        host_.Owner().Release(CameraActivity::Calibration);
        host_.ShowCalibrationProgress(false);
        host_.CalibrationEnded();
        return false;
    }
    host_.SetSelection({left, top, left + boxW_, top + boxH_});
    TakeFrame(State::BoxFrame);
    return true;
}

bool GuideCalibrator::Checkpoint() {
    host_.SetCalibrationProgress(progress_);
    progress_ += kProgressStep;
    return !cancelled_;
}

void GuideCalibrator::TakeFrame(State next) {
    state_ = next;
    timers_.SetTimer(timerId_, host_.FrameTimeMs() + kFrameMarginMs);
    host_.StartFrame();
}

void GuideCalibrator::StartLeg() {
    if (!Checkpoint()) return Finish();
    state_ = State::PulseRunning;
    // The mount reports the end of its pulse; the run goes on from there.
    if (host_.StartGuidePulse(Direction(), static_cast<unsigned>(pulseMs_)) == PulseWait::Reported)
        return;
    if (!Checkpoint()) return Finish();
    // The camera's port returns at once: the frame waits until the mount has stopped.
    timers_.SetTimer(timerId_, static_cast<unsigned>(pulseMs_));
}

void GuideCalibrator::OnPulseEnded() {
    if (state_ != State::PulseRunning) return;
    if (!Checkpoint()) return Finish();
    TakeFrame(State::LegFrame);
}

void GuideCalibrator::OnTimer() {
    timers_.KillTimer(timerId_);
    switch (state_) {
        case State::PulseRunning:
            return TakeFrame(State::LegFrame);
        case State::BoxFrame:
        case State::LegFrame:
            Tell(prompts_, "No frame came from the camera: calibration stopped.", "Calibration");
            lost_ = true;  // said why
            return Finish();
        case State::FinalFrame:
            return End();
        case State::Idle:
            return;
    }
}

void GuideCalibrator::OnFrameShown(const StarMeasurement& star) {
    if (state_ != State::BoxFrame && state_ != State::LegFrame && state_ != State::FinalFrame)
        return;
    timers_.KillTimer(timerId_);
    if (state_ == State::FinalFrame) {
        host_.RedrawView();
        return End();
    }
    if (state_ == State::BoxFrame) {
        // Without the star there is nothing to measure the moves from.
        if (!star.Found()) return StarLost(false);
        track_.clear();
        track_.push_back({static_cast<int>(star.column), static_cast<int>(star.row)});
        host_.SetCalibrationTrack(track_);
        direction_ = 0;
        returning_ = false;
        x0_ = star.column;
        y0_ = star.row;
        return StartLeg();
    }
    LegFrameArrived(star);
}

void GuideCalibrator::LegFrameArrived(const StarMeasurement& star) {
    if (!Checkpoint()) return Finish();
    const float x = star.column, y = star.row;
    if (x < 0 || y < 0) return StarLost(true);
    // Keep the guide box on the star.
    const int left = static_cast<int>(x - boxW_ / 2), top = static_cast<int>(y - boxH_ / 2);
    host_.SetSelection(Rect{left, top, left + boxW_, top + boxH_}.Intersect(host_.SensorRect()));
    track_.push_back({static_cast<int>(x), static_cast<int>(y)});
    host_.SetCalibrationTrack(track_);
    host_.RedrawView();
    host_.CalibrationStep(direction_, returning_, x, y, x0_, y0_);

    if (!returning_) {
        const float dx = x - x0_, dy = y - y0_;
        if (dx * dx + dy * dy < 64.0f) {
            shortMove_ = std::sqrt(dx * dx + dy * dy);
            calibration_->velNS = calibration_->velWE = 0.0f;
            return Finish();
        }
        vx_[direction_] = dx * 1000.0f / static_cast<float>(pulseMs_);
        vy_[direction_] = dy * 1000.0f / static_cast<float>(pulseMs_);
        returning_ = true;
        return StartLeg();
    }
    returning_ = false;
    if (++direction_ == 4) {
        *calibration_ = DeriveCalibration(vx_, vy_);
        calibration_->setup = setup_;
        return Finish();
    }
    x0_ = x;
    y0_ = y;
    StartLeg();
}

void GuideCalibrator::StarLost(bool afterPulse) {
    lost_ = true;
    track_.clear();
    host_.SetCalibrationTrack(track_);
    std::string text = "Guide star lost";
    if (afterPulse) {
        char why[256];
        std::snprintf(why, sizeof why,
                      "\n\nIt was lost after the %d ms %s pulse. If the sky is clear, the pulse "
                      "moved it further than the search radius (%d pixels): lower \"Calib. "
                      "time\".",
                      pulseMs_, DirectionName(Direction()), searchRadius_);
        text += why;
    }
    Tell(prompts_, text.c_str(), "Calibration");
    Finish();
}

std::string GuideCalibrator::InsufficientMovementText() const {
    std::string text =
        "Insufficient movement of guide star - calibration not valid.\nTry increasing the "
        "calibration time or checking the connection to the telescope.";
    if (shortMove_ < 0) return text;
    char said[320];
    int n = std::snprintf(said, sizeof said,
                          "\n\nThe star moved %.1f pixels with the %d ms %s pulse; it must "
                          "move at least 8.",
                          shortMove_, pulseMs_, DirectionName(direction_));
    // Aim at 10 pixels: clear of the 8 needed, inside the usual search radius.
    const double wanted = shortMove_ > 0 ? std::ceil(pulseMs_ * 10.0 / shortMove_ / 100) * 100 : 0;
    if (wanted > pulseMs_ && wanted <= kLongestPulseMs)
        std::snprintf(said + n, sizeof said - n, " Raise \"Calib. time\" to %.0f ms.", wanted);
    else
        std::snprintf(said + n, sizeof said - n,
                      " Even the longest \"Calib. time\" (%d ms) would not do: check the "
                      "guide cable or the mount.",
                      kLongestPulseMs);
    return text + said;
}

void GuideCalibrator::RestoreSubframe() {
    const Rect sensor = host_.SensorRect();
    host_.SetSelection(savedSubframe_ == sensor ? Rect{} : savedSubframe_);
}

void GuideCalibrator::Finish() {
    RestoreSubframe();
    TakeFrame(State::FinalFrame);
}

void GuideCalibrator::CameraGone(CameraLoss why) {
    if (!Running()) return;
    timers_.KillTimer(timerId_);
    // No closing frame from a camera that is not there; whatever was measured is dropped.
    RestoreSubframe();
    lost_ = true;
    if (why == CameraLoss::Lost)
        Tell(prompts_, "Lost connection to Camera\nCalibration stopped. Use Connect to reconnect.",
             "Calibration");
    End();
}

void GuideCalibrator::End() {
    timers_.KillTimer(timerId_);
    state_ = State::Idle;
    host_.Owner().Release(CameraActivity::Calibration);
    if (!calibration_->Valid()) {
        if (!lost_) Tell(prompts_, InsufficientMovementText().c_str(), kAppTitle);
        calibration_->velNS = calibration_->velWE = 0.0f;
    }
    host_.ShowCalibrationProgress(false);
    host_.CalibrationEnded();
}

}  // namespace zorvane
