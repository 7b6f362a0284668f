#pragma once

#include <string>
#include <vector>

#include "camera/CameraOwner.h"
#include "core/Prompts.h"
#include "core/TimerService.h"
#include "guiding/GuidingSettings.h"
#include "guiding/StarMeasurement.h"
#include "view/Geometry.h"

namespace zorvane {

// How the end of a guide pulse is known: by its length, or from the output that sent it.
enum class PulseWait { Timed, Reported };

// What a calibration run needs from the main window.
class CalibrationHost {
public:
    virtual ~CalibrationHost() = default;
    // Who holds the camera: a run holds it from its start to its end.
    virtual CameraOwner& Owner() = 0;
    // {0, 0, width, height} of the sensor, and the exposure settings' subframe (sensor pixels).
    virtual Rect SensorRect() const = 0;
    virtual Rect SubframeRect() const = 0;
    // The view's selection, which also becomes the subframe; an empty rectangle: none (the
    // full sensor).
    virtual void SetSelection(const Rect& r) = 0;
    // Starts one exposure for the run; the calibrator's OnFrameShown follows once the frame is on
    // show (and so the star has been measured on it).
    virtual void StartFrame() = 0;
    // The exposure time in milliseconds, to bound the wait for a frame.
    virtual unsigned FrameTimeMs() const = 0;
    // Starts a guide pulse through the chosen output: Timed when it simply runs for its length
    // (the camera's port), Reported when its end comes through GuideCalibrator::OnPulseEnded
    // (the telescope link, once the mount has finished it).
    virtual PulseWait StartGuidePulse(int direction, unsigned ms) = 0;
    virtual void SetCalibrationTrack(const std::vector<Point>& track) = 0;
    virtual void RedrawView() = 0;
    // The "Calibrating" progress window (its Cancel calls GuideCalibrator::Cancel).
    virtual void ShowCalibrationProgress(bool show) = 0;
    virtual void SetCalibrationProgress(int percent) = 0;
    // Autoguiding off in the dialog, shown.
    virtual void StopAutoguiding() = 0;
    // Calibration finished, whichever way.
    virtual void CalibrationEnded() = 0;
    // A pulse of `direction` (out, or back when `returning`) moved the star to (x, y); the
    // direction started at (x0, y0).
    virtual void CalibrationStep(int direction, bool returning, float x, float y, float x0,
                                 float y0) {}
};

// The calibration that four measured velocities give (pixels per second of pulse, in the order
// north, south, east, west): the NS axis and speed from the north and south moves, the WE axis
// and speed from the east and west moves.
GuideCalibration DeriveCalibration(const float vx[4], const float vy[4]);

// Guide calibration: with a star picked, the mount is pulsed north, south, east and west for
// the calibration time, each followed by the return pulse, a frame is taken after each pulse
// and the star's moves give the two axes and speeds. A sequence of steps driven by frames and
// one timer, so the window stays live; Cancel is honoured at each checkpoint. The subframe is
// restored however the run ends; a run that does not finish keeps the calibration in force. A
// camera that goes away ends the run at once, with one message when it was lost.
class GuideCalibrator {
public:
    GuideCalibrator(CalibrationHost& host, Prompts& prompts, TimerService& timers, int timerId);

    // Starts a run with the star as last measured, the search radius in pixels and the pulse
    // time; `setup` is how frames are turned and pulses sent now, and goes with the result.
    // `calibration` is the dialog's; it changes only when the run finishes (or becomes invalid
    // when the star does not move). False when the run did not start (a message said why).
    bool Start(const StarMeasurement& star, int searchRadius, int pulseMs,
               const CalibrationSetup& setup, GuideCalibration& calibration);
    bool Running() const { return state_ != State::Idle; }
    // The progress window's Cancel: the run ends at the next checkpoint.
    void Cancel() { cancelled_ = true; }
    // The run ends at the next checkpoint, like Cancel, and says nothing more: the caller has
    // told the user why (the telescope stopped answering).
    void Abort() { cancelled_ = lost_ = true; }

    // A frame is on show with the star measured on it.
    void OnFrameShown(const StarMeasurement& star);
    void OnTimer();
    // The pulse the host reported on has ended (or was given up).
    void OnPulseEnded();

private:
    enum class State { Idle, BoxFrame, PulseRunning, LegFrame, FinalFrame };

    bool Checkpoint();
    void TakeFrame(State next);
    void StartLeg();
    void LegFrameArrived(const StarMeasurement& star);
    // The star is gone: the run ends with "Guide star lost" (and, after a pulse, the likely
    // reason).
    void StarLost(bool afterPulse);
    // The insufficient-movement message, with how far the star moved when that is known.
    std::string InsufficientMovementText() const;
    void Finish();
    void End();
    void CameraGone(CameraLoss why);
    void RestoreSubframe();
    int Direction() const { return returning_ ? (direction_ ^ 1) : direction_; }

    CalibrationHost& host_;
    Prompts& prompts_;
    TimerService& timers_;
    int timerId_;
    State state_ = State::Idle;
    GuideCalibration* calibration_ = nullptr;
    CalibrationSetup setup_;
    bool cancelled_ = false;
    bool lost_ = false;
    Rect savedSubframe_;
    int searchRadius_ = 0;
    int boxW_ = 0, boxH_ = 0;
    int pulseMs_ = 0;
    int progress_ = 0;
    int direction_ = 0;
    bool returning_ = false;
    float x0_ = 0, y0_ = 0;
    float vx_[4] = {}, vy_[4] = {};
    float shortMove_ = -1;  // pixels the star moved on the pulse that moved it too little
    std::vector<Point> track_;
};

}  // namespace zorvane
