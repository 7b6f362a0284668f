#pragma once

#include <optional>
#include <string>

#include "core/Clock.h"
#include "core/Prompts.h"
#include "core/TimerService.h"
#include "guiding/DeviationHistory.h"
#include "guiding/GuideCalibrator.h"
#include "guiding/GuidingObserver.h"
#include "guiding/GuidingSettings.h"
#include "guiding/StarMeasurement.h"
#include "guiding/TrackingDialogModel.h"
#include "telescope/TelescopeLink.h"
#include "view/Geometry.h"
#include "view/ImageFrame.h"

namespace zorvane {

// What star tracking and guiding need from the main window, in its terms.
class GuidingHost {
public:
    virtual ~GuidingHost() = default;
    // The frame on show in the image view.
    virtual const ImageFrame& ShownFrame() const = 0;
    // The image view's tracked star (sensor pixels; -1000 none, -1 a failed pick).
    virtual Point TrackedStar() const = 0;
    virtual void SetTrackedStar(Point p) = 0;
    // The image view's guide-target marker (x < 0: none).
    virtual void SetGuideTargetMarker(Point p) = 0;
    virtual void RedrawView() = 0;
    // Make (on first use) and show the Star Tracking dialog's window, or hide it.
    virtual void ShowTrackingDialog(bool show) = 0;
    // The dialog's window shows the model's values again.
    virtual void RefreshTrackingDialog() = 0;
    // The dialog's charts are drawn again; `now` while a guide pulse waits for them.
    virtual void RefreshDeviationCharts(bool now) = 0;
    // The chosen telescope driver ([Ascom] ScopeID).
    virtual std::string TelescopeId() const = 0;
    // "Rotate 180º" is on: frames are shown as the camera reads them, not turned.
    virtual bool FramesRotated() const = 0;

    // ---- what calibration and autoguiding drive ----
    virtual CameraOwner& Owner() = 0;
    virtual Rect SensorRect() const = 0;
    virtual Rect SubframeRect() const = 0;
    virtual void SetSelection(const Rect& r) = 0;
    virtual void StartFrame() = 0;
    virtual unsigned FrameTimeMs() const = 0;
    // A guide pulse through the camera's port (the engine drives the telescope link itself):
    // the camera starts it and returns; it runs for its length.
    virtual void SendCameraPortPulse(int direction, unsigned ms) = 0;
    virtual void SetCalibrationTrack(const std::vector<Point>& track) = 0;
    virtual void ShowCalibrationProgress(bool show) = 0;
    virtual void SetCalibrationProgress(int percent) = 0;
    // The red "Guide star lost!" window (the engine beeps when it comes up).
    virtual void ShowGuideStarLost(bool show) = 0;
    // The guide step that GuideStep left running has sent its last pulse, which has ended.
    virtual void GuideStepEnded() {}
};

// Star tracking and guiding: measures the tracked star on every frame, keeps the guide target,
// and carries the Star Tracking dialog's rules (its model, its edits and their acceptance, the
// deviation charts). The dialog's window only shows the model and reports the user's input.
class GuidingEngine : private CalibrationHost {
public:
    enum class Field {
        MeasureRadius,
        SearchRadius,
        MinGuide,
        MaxGuide,
        CalibrationTime,
        FeedbackRA,
        FeedbackDec,
        FocalLength
    };

    GuidingEngine(GuidingHost& host, Prompts& prompts, Clock& clock, TimerService& timers,
                  FocusSettings& focus, GuidingSettings& guiding);

    // ---- star tracking ----
    // Measures the tracked star on the current frame (following it), then reports the result
    // to OnStarMeasured. True when a valid star was measured.
    bool Measure();
    // A double-click picked a star: the target is forgotten and the dialog comes up.
    void OnStarPicked();
    // Every measurement's report: the dialog opens on the first star found, takes the values,
    // and the first valid measurement after a pick becomes the guide target.
    void OnStarMeasured(const StarMeasurement& m);
    float TargetX() const { return targetX_; }
    float TargetY() const { return targetY_; }
    // Moves the guide target (a dither, a lock position asked for), sensor pixels.
    void SetGuideTarget(float x, float y);
    // Follows the star at a sensor position, as a double-click there does; true when a star
    // was measured there.
    bool PickStar(Point sensor);
    // Picks the best guide star on the frame on show (inside `region` when it is not empty),
    // as a double-click on it would. Unless quiet, failing says so.
    bool AutoSelectStar(bool quiet, const Rect& region = {});
    // Who follows the frames, guide steps and calibrations.
    void SetObserver(GuidingObserver* observer) { observer_ = observer; }
    // Paused: autoguiding sends no pulses (the frames go on).
    void SetPulsesPaused(bool paused) { pulsesPaused_ = paused; }
    bool PulsesPaused() const { return pulsesPaused_; }
    // The guiding run's RMS figures for the dialog.
    void SetGuideFigures(const GuideFigures& figures);
    // "RA 0.21  Dec 0.18  Total 0.28 px" and, with the scale, the same in arc-seconds.
    std::string GuideRmsText() const;

    // ---- the Star Tracking dialog ----
    // The Tracking command: create and show, hide, or show again.
    void ToggleTrackingDialog();
    // The window was shown or hidden by other means (its Close button, Escape).
    void SetDialogVisible(bool visible) { model_.visible = visible; }
    bool DialogExists() const { return model_.exists; }
    bool DialogVisible() const { return model_.exists && model_.visible; }
    const TrackingDialogModel& Model() const { return model_; }
    // For tests and the next steps of guiding: the dialog's current calibration.
    GuideCalibration& Calibration() { return model_.calibration; }
    const DeviationHistory& History() const { return history_; }

    // Copies the dialog's settings into the main window's, re-measures when a radius changed,
    // applies the guide output, checks autoguiding and shows the values.
    void UpdateTracking();

    // An edit's text changed. Returns the text the edit must show instead (the feedback edits
    // are corrected in place), if any. Text that is no whole number, or a number outside the
    // field's range, is ignored.
    std::optional<std::string> OnFieldEdited(Field field, const std::string& text);
    void OnGuideAxesChanged(int index);
    void OnAutoguideClicked(bool ticked);
    void OnSetupGuidingClicked(bool ticked);
    void OnConnectClicked(bool ticked);
    // The Clear button: flat charts.
    void ClearHistory();

    // "Bri:" and "FWHM:" values as shown ("%d" of the brightness, "%.2f" of the width).
    std::string BrightnessText() const;
    std::string WidthText() const;
    std::string FieldText(Field field) const;

    // The two charts as they are drawn now; also updates the average and deviation fields.
    DeviationPlot PlotChart(DeviationHistory::Axis axis, const Rect& frame);
    // "%.3g" of Dec last, average, deviation, RA last, average, deviation.
    std::string StatisticText(DeviationHistory::Axis axis, int which) const;

    // ---- guiding (fed by autoguiding) ----
    void AddDeviation(float ra, float dec);
    void SetPulseMark(int direction, bool on);

    // ---- the guide output: the camera's guide port or the telescope link ----
    // The telescope link pulses may go through; without one only the camera's port guides.
    void AttachTelescope(TelescopeLink* link) { link_ = link; }
    bool TelescopeLinkAvailable() const { return link_ != nullptr; }
    // Pulses go through the telescope link (its driver open and connected).
    bool TelescopeInUse() const { return telescopeInUse_; }
    // The chosen mount is being connected; until it has answered no pulse is sent.
    bool TelescopeConnecting() const { return telescopeConnecting_; }
    // The "ASCOM chooser..." button: the camera's port, then the user picks a driver, which is
    // connected and, when it can pulse-guide, takes over; the "Connect" box shows the outcome.
    void OnAscomChooser();
    // A device server went away. When it was the mount's, the mount is let go at once, as when
    // a pulse finds it gone, so that nobody takes a dead link for a connected mount; ticking
    // "Connect" once the server is back connects it afresh. Called from the window's loop,
    // never inside a sequence step, which a message waiting for OK would hold up.
    void OnServerLost();

    // ---- calibration and autoguiding ----
    // Calibration and autoguiding work through either output.
    bool CanDriveMount() const { return true; }
    // The "Calibrate" button: starts a run (the progress window comes up); false when it did
    // not start (a message said why, or the mount chosen has not answered yet).
    bool Calibrate();
    // The progress window's Cancel.
    void CancelCalibration() { calibrator_.Cancel(); }
    bool Calibrating() const { return calibrator_.Running(); }
    // A frame passed through EndShot and is on show (the star measured on it).
    void OnFrameShown();
    // The guiding timer.
    void OnTimer() { calibrator_.OnTimer(); }
    // Autoguiding's step after each frame while "Autoguide" is ticked. True when it is over on
    // return; false while pulses through the mount run, GuidingHost::GuideStepEnded follows.
    bool GuideStep();
    bool AutoguideOn() const { return model_.exists && model_.autoguide; }
    // How frames are turned and pulses sent now; a calibration holds only for the same.
    CalibrationSetup CurrentSetup() const;
    // The output pulses take now: the mount only while the link is in use (or being connected)
    // and chosen.
    GuideOutput OutputInUse() const;
    // The calibration can guide now: usable and measured the way frames and pulses go now.
    bool CalibrationHolds(const GuideCalibration& c) const {
        return c.Usable() && c.setup == CurrentSetup();
    }
    bool StarLostShown() const { return starLostShown_; }

private:
    void CreateDialog();
    void ApplyGuideOutput();
    // Opens and connects the chosen driver in the background, after the chooser when none has
    // been chosen; TelescopeAnswered takes the outcome. Unless quiet, a failure says why
    // (caption "ASCOM") and the camera's port guides.
    void StartTelescope(bool quiet);
    void TelescopeAnswered(TelescopeLink::Connection how, bool quiet);
    // Sends the guide step's pulses one after the other; true once they have all ended.
    bool SendStepPulses();
    void StepPulseEnded(TelescopeLink::PulseEnd end);
    // The driver stopped answering in the middle of a pulse: back to the camera's port, guiding
    // and calibration stop, and the user is told.
    void TelescopeFailed();
    // "<driver>\nCannot connect to telescope", caption "ASCOM".
    void TellCannotConnect();
    std::string DriverName() const;
    void CheckAutoguide();
    void ShowTargetMarker();

    // ---- CalibrationHost ----
    CameraOwner& Owner() override { return host_.Owner(); }
    Rect SensorRect() const override { return host_.SensorRect(); }
    Rect SubframeRect() const override { return host_.SubframeRect(); }
    void SetSelection(const Rect& r) override { host_.SetSelection(r); }
    void StartFrame() override { host_.StartFrame(); }
    unsigned FrameTimeMs() const override { return host_.FrameTimeMs(); }
    PulseWait StartGuidePulse(int direction, unsigned ms) override;
    void SetCalibrationTrack(const std::vector<Point>& t) override { host_.SetCalibrationTrack(t); }
    void RedrawView() override { host_.RedrawView(); }
    void ShowCalibrationProgress(bool show) override { host_.ShowCalibrationProgress(show); }
    void SetCalibrationProgress(int p) override { host_.SetCalibrationProgress(p); }
    void StopAutoguiding() override;
    void CalibrationEnded() override;
    void CalibrationStep(int direction, bool returning, float x, float y, float x0,
                         float y0) override;
    void ShowStarLost(bool show);

    GuidingHost& host_;
    Prompts& prompts_;
    FocusSettings& focus_;
    GuidingSettings& guiding_;
    TrackingDialogModel model_;
    DeviationHistory history_;
    float targetX_ = -10000.0f, targetY_ = -10000.0f;
    TelescopeLink* link_ = nullptr;
    bool telescopeInUse_ = false;
    bool telescopeConnecting_ = false;
    // The guide step under way: its pulses still to send and what it will report.
    std::vector<std::pair<int, unsigned>> stepPulses_;
    GuideStepReport stepReport_;
    int stepDirection_ = -1;  // the pulse the mount is running for it; -1 none
    bool starLostShown_ = false;
    GuidingObserver* observer_ = nullptr;
    bool pulsesPaused_ = false;
    GuideCalibrator calibrator_;
};

}  // namespace zorvane
