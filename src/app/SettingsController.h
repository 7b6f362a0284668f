#pragma once

#include <functional>
#include <string>

#include "app/AppState.h"
#include "app/AppUi.h"
#include "core/Prompts.h"
#include "core/TimerService.h"
#include "settings/QuickPresets.h"
#include "settings/SettingsStore.h"

namespace zorvane {

class CaptureApp;
class ExposureDialogController;

// Binds the settings file to the main window's core: the start-up load and the exit save, and
// the quick presets on F1-F8 with their "&Quick" menu texts and the "Save quick settings" form.
class SettingsController {
public:
    // `iniPath` empty: the user's settings file. `timers` is the main window's (timer 3).
    SettingsController(CaptureApp& app, ExposureDialogController& exposureDialog, AppUi& ui,
                       TimerService& timers, std::string iniPath = {});
    SettingsController(const SettingsController&) = delete;
    SettingsController& operator=(const SettingsController&) = delete;

    SettingsStore& Store() { return store_; }
    const std::string& Path() const { return store_.Path(); }

    // ---- start-up and exit ----
    // Window creation, after the camera query and before the four forced camera settings:
    // defaults, then every key read at start; presets rewrite the "&Quick" menu; the zoom and
    // night vision reach the view at once; dialog placements are only stored (the window
    // reopens the dialogs whose Show was set); Window()'s rectangle holds the placement to
    // apply, and a maximised window arms timer 3.
    void LoadAtStart();
    // Closing the window: everything into the file, written once. The window puts its normal
    // rectangle and maximised state into CaptureApp::Window() first. False when the file could
    // not be written (the old one is then untouched).
    bool SaveAtExit();
    // The same as the window closes: a file that cannot be written is reported (kSaveFailedText)
    // with Retry (try again) and Cancel (close without saving); a write-protected file is left
    // as it is and said so once (kWriteProtectedText). Returns when the window may close.
    void SaveAtExitOrAsk(Prompts& prompts);
    // "%s" is the settings file's path.
    static constexpr const char* kSaveFailedText =
        "Can't save the settings to %s\n\nRetry to try again, or Cancel to close without "
        "saving the changes made since the program started.";
    static constexpr const char* kWriteProtectedText =
        "%s is write-protected.\n\nThe settings were read from it, but changes to them are "
        "not saved.";

    // ---- quick presets ----
    // F1-F8 (n = 1-8): recall the preset by its flags and the exposure lock, then start what
    // it starts.
    void ApplyQuickPreset(int n);
    // Stores title and flags of preset n and rewrites item n - 1 of the "&Quick" menu.
    void SetQuickPreset(int n, const std::string& title, int flags);
    // The "Save quick settings" dialog's OK: sets the preset, then writes the "Quick" section
    // and the current values into Camera n / Display n, whatever the flags say.
    bool SaveQuickPreset(int n, const std::string& title, int flags);
    // The form the dialog opens with (F1).
    QuickSaveForm OpenQuickSaveForm() const;
    const std::array<QuickPreset, 8>& Presets() const;

    // ---- hooks for the dialogs that keep their own state ----
    // The tracking dialog's current guide calibration (written at exit while that dialog
    // exists and the calibration is valid). The guiding engine's unless set otherwise.
    void SetTrackingCalibrationSource(std::function<GuideCalibration()> source) {
        trackingCalibration_ = std::move(source);
    }
    // The sequencer's own sections, written at exit while the sequencer dialog exists.
    void SetSequencerSectionsWriter(std::function<void(IniDocument&)> writer) {
        store_.SetSequencerSectionsWriter(std::move(writer));
    }
    // The tracking dialog's expanded state ([TrackingDialog] Expand).
    bool TrackingExpand() const;
    void SetTrackingExpand(bool on);

private:
    SettingsValues Gather() const;
    // Once per run: the user protected the file, so a failed save is no surprise to them.
    bool ReportWriteProtected(Prompts& prompts);
    std::string WithPath(const char* text) const;
    void StartPreset(int flags);

    CaptureApp& app_;
    ExposureDialogController& exposureDialog_;
    AppUi& ui_;
    TimerService& timers_;
    SettingsStore store_;
    std::function<GuideCalibration()> trackingCalibration_;
    bool writeProtectedReported_ = false;
};

}  // namespace zorvane
