#pragma once

#include <functional>
#include <string>

namespace zorvane {

class DeviceChooserUi;

// What the application core asks of the main window, in the program's own terms. The Qt main
// window implements it; tests use a recording double.
class AppUi {
public:
    virtual ~AppUi() = default;
    // Repaint the image view (erase = clear the background first).
    virtual void RepaintView(bool erase) = 0;
    // Copy the exposure settings and file settings into the exposure dialog, when it exists.
    virtual void RefreshExposureDialog() = 0;
    // "Loc&k exp" from the menu or Ctrl+K: when the exposure dialog exists, take what is typed
    // in it, show the new lock there and apply the dialog (true); false without the dialog.
    virtual bool ApplyLockInExposureDialog(bool locked) = 0;
    // Show a new exposure time in the exposure dialog's exposure box ("%g"), when it exists.
    virtual void ShowExposureInDialog(float seconds) = 0;
    // The cooler's model changed; redraw the cooler dialog, when it exists.
    virtual void RefreshCoolerDialog() = 0;
    // Enable or disable the sequencer dialog's "Run" button, when that dialog exists.
    virtual void EnableSequencerRun(bool enable) = 0;
    // Show the sequence, the status line, Run/Stop and the closing note in the sequencer
    // dialog, when it exists.
    virtual void RefreshSequencerDialog() = 0;
    // The filter wheel connected or was given up: the Filter Wheel dialog shows it, when it
    // exists.
    virtual void RefreshFilterDialog() {}
    // Rewrite the text of item `position` (0-based) of the "&Quick" menu; false when the menu
    // bar has no "&Quick" among its first 20 items.
    virtual bool SetQuickMenuItemText(int position, const std::string& text) = 0;
    // Make (on first use) and show the Star Tracking dialog's window for the guiding engine's
    // model, or hide it.
    virtual void ShowTrackingDialog(bool show) = 0;
    // The Star Tracking dialog shows the engine's values again, when it exists.
    virtual void RefreshTrackingDialog() = 0;
    // Its deviation charts are drawn again (`now`: at once, not on the next paint).
    virtual void RefreshDeviationCharts(bool now) = 0;
    // The "Calibrating" progress window (its Cancel goes to the guiding engine), while the
    // main window is disabled; its bar 0..100.
    virtual void ShowCalibrationProgress(bool show) {}
    virtual void SetCalibrationProgress(int percent) {}
    // The red "Guide star lost!" window, centred on the main window.
    virtual void ShowGuideStarLost(bool show) {}
    // Runs `calls`, which wait on the camera's device (the INDI camera's set-up), on another
    // thread while the windows keep answering and a note says the camera is being connected;
    // returns once they are back. Without a window they are simply made.
    virtual void RunCameraSetUp(const std::function<void()>& calls) { calls(); }
    // The device chooser's window ("ASCOM chooser..."); none: the program has no chooser.
    virtual DeviceChooserUi* DeviceChooser() { return nullptr; }
    // A modal box is up: the core must not be entered from outside until it is gone.
    virtual bool ModalOpen() const { return false; }
    // Show a folder in the desktop's file manager.
    virtual void OpenFolder(const std::string& path) {}
    // Close the main window as the user would (settings saved), once the current work is done.
    virtual void CloseMainWindow() {}
    // Show the main window maximised (timer 3).
    virtual void MaximiseWindow() = 0;
    // End the process at once with this exit code (Abort in a connection failure).
    [[noreturn]] virtual void ExitProcessNow(int code) = 0;
};

}  // namespace zorvane
