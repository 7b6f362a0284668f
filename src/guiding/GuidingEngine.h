#pragma once

#include <optional>
#include <string>

#include "core/Clock.h"
#include "core/Prompts.h"
#include "guiding/DeviationHistory.h"
#include "guiding/GuidingSettings.h"
#include "guiding/StarMeasurement.h"
#include "guiding/TrackingDialogModel.h"
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
};

// Star tracking and guiding: measures the tracked star on every frame, keeps the guide target,
// and carries the Star Tracking dialog's rules (its model, its edits and their acceptance, the
// deviation charts). The dialog's window only shows the model and reports the user's input.
class GuidingEngine {
public:
    enum class Field {
        MeasureRadius,
        SearchRadius,
        MinGuide,
        MaxGuide,
        CalibrationTime,
        FeedbackRA,
        FeedbackDec
    };

    GuidingEngine(GuidingHost& host, Prompts& prompts, Clock& clock, FocusSettings& focus,
                  GuidingSettings& guiding);

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

    // ---- the Star Tracking dialog ----
    // The Tracking command: create and show, hide, or show again.
    void ToggleDialog();
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

    // ---- operations of calibration, autoguiding and the telescope link ----
    // Their work is not in this program yet: CanDriveMount() is false and the dialog keeps
    // their controls disabled; each does nothing that could move the mount or the settings.
    bool CanDriveMount() const { return false; }
    // The "Calibrate" button.
    void Calibrate() {}
    // The "ASCOM chooser..." button.
    void OnAscomChooser() {}
    // Autoguiding's step after each frame while "Autoguide" is ticked.
    void GuideStep() {}
    bool AutoguideOn() const { return model_.exists && model_.autoguide; }

private:
    void CreateDialog();
    void ApplyGuideOutput();
    // Connects the telescope link; false while there is none.
    bool ConnectTelescope() { return false; }
    void CheckAutoguide();
    void ShowTargetMarker();

    GuidingHost& host_;
    Prompts& prompts_;
    FocusSettings& focus_;
    GuidingSettings& guiding_;
    TrackingDialogModel model_;
    DeviationHistory history_;
    float targetX_ = -10000.0f, targetY_ = -10000.0f;
    bool telescopeInUse_ = false;
};

}  // namespace zorvane
