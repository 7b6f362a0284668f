#pragma once

#include "core/Prompts.h"
#include "core/TimerService.h"
#include "settings/ExposureDialogModel.h"

namespace zorvane {

class CaptureApp;

// What the Exposure dialog's window does for its controller.
class ExposureDialogView {
public:
    virtual ~ExposureDialogView() = default;
    // The widgets' state (texts as typed, checks, selections) into the controls.
    virtual void ReadControls(ExposureControls& controls) = 0;
    // The controls into the widgets: values, lists, which are shown, which are enabled.
    virtual void ShowControls(const ExposureControls& controls) = 0;
    // A value was refused: the focus goes back to its control.
    virtual void FocusControl(int id) = 0;
};

// The Exposure dialog's behaviour against the main window's core: the refresh from the
// exposure and file settings, the apply back to them (through the exposure cycle's rules), the
// spin buttons, "&Full frame", "Browse ...", "Next dir." and the two-second typing timer.
// It lives as long as the main window; the dialog's window attaches itself while it exists.
class ExposureDialogController {
public:
    static constexpr unsigned kTypingDelayMs = 2000;
    static constexpr const char* kBrowseTitle = "Save images as...";

    ExposureDialogController(CaptureApp& app, Prompts& prompts);
    ExposureDialogController(const ExposureDialogController&) = delete;
    ExposureDialogController& operator=(const ExposureDialogController&) = delete;

    // The window, and the timer service that runs its typing timer (id 4).
    void Attach(ExposureDialogView* view, TimerService* typingTimer);
    void Detach();
    bool HasView() const { return view_ != nullptr; }

    ExposureDialogModel& Model() { return model_; }
    const ExposureDialogModel& Model() const { return model_; }
    ExposureCameraFacts CameraFacts() const;

    // ---- main window → dialog ----
    // The exposure and file settings into the dialog.
    void Refresh();
    // A new exposure time (auto exposure) shown in the exposure box as "%g".
    void SetExposureText(float seconds);

    // ---- dialog → main window ----
    // Takes the controls (a refused value is reported and stops the later ones), then applies
    // the fields to the main window's settings.
    void Apply();
    // The lock changed from the main window: the controls as typed are taken (the typing timer
    // has nothing left to do), the lock is set in them, and the dialog is applied.
    void ApplyLock(bool locked);
    // An edit changed: restart the typing timer when the control is one of the typed ones.
    void OnEdited(int controlId);
    // The typing timer fired.
    void OnTimer(int id);
    void OnSpin(ExposureSpin spin, bool up);
    void OnFullFrame();
    void OnBrowse();
    void OnNextDir();

private:
    void ReadView();
    void ShowView();
    void ReportFailure(const ExposureDialogModel::Failure& failure);
    void ApplyToMainWindow();

    CaptureApp& app_;
    Prompts& prompts_;
    ExposureDialogModel model_;
    ExposureDialogView* view_ = nullptr;
    TimerService* typingTimer_ = nullptr;
    bool applying_ = false;  // a message box of a refused value must not start a second apply
};

}  // namespace zorvane
