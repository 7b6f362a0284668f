#include "app/SettingsController.h"

#include "app/CaptureApp.h"
#include "app/ExposureDialogController.h"
#include "core/TimerIds.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "view/ImageView.h"

namespace zorvane {

namespace {

constexpr unsigned kMaximiseDelayMs = 100;

struct DialogPair {
    AppDialog app;
    SettingsDialog settings;
};
// The main window's dialogs with a "Show, Left, Top" section (the display dialog is the
// view's).
constexpr DialogPair kWindowDialogs[] = {
    {AppDialog::Exposure, SettingsDialog::Exposure},
    {AppDialog::Cooler, SettingsDialog::Cooler},
    {AppDialog::Sequencer, SettingsDialog::Sequencer},
    {AppDialog::FilterWheel, SettingsDialog::FilterWheel},
};

}  // namespace

SettingsController::SettingsController(CaptureApp& app, ExposureDialogController& exposureDialog,
                                       AppUi& ui, TimerService& timers, std::string iniPath)
    : app_(app),
      exposureDialog_(exposureDialog),
      ui_(ui),
      timers_(timers),
      store_(std::move(iniPath)),
      trackingCalibration_([&app] { return app.Guider().Calibration(); }) {}

SettingsValues SettingsController::Gather() const {
    SettingsValues v;
    v.files = app_.Saver().Settings();
    v.presets = app_.Presets();
    v.exposure = app_.Exposure();
    v.coolingSetpoint = app_.Cooler().SetpointValue();

    const ImageView& view = app_.View();
    DisplayValues& d = v.display;
    d.panX = view.PanX();
    d.panY = view.PanY();
    d.zoom = view.ZoomLevel();
    d.gamma = view.Gamma();
    d.invert = view.Invert();
    d.nightVision = view.NightVision();
    d.aspect = view.Aspect();
    d.reticle = view.Reticle();
    d.autoLevel = view.AutoLevel();
    d.previewMode = view.ColourMode();
    d.userBayerCode = view.UserBayerCode();

    v.focus = app_.Focus();
    v.guiding = app_.Guiding();
    v.header = app_.Header();
    v.window = app_.Window();

    for (const DialogPair& p : kWindowDialogs) {
        const ModelessDialogState& s = app_.Placement(p.app);
        v.Dialog(p.settings) = DialogSection{s.exists, s.visible, s.left, s.top};
    }
    const DialogPlacement& disp = view.DisplayDialogPlacement();
    v.Dialog(SettingsDialog::Display) =
        DialogSection{view.DisplayDialogExists(), disp.shown, disp.left, disp.top};

    const ModelessDialogState& tracking = app_.Placement(AppDialog::Tracking);
    v.tracking.exists = tracking.exists;
    v.tracking.left = tracking.left;
    v.tracking.top = tracking.top;
    v.tracking.expand = app_.Guiding().trackingExpand;
    v.tracking.calibration =
        trackingCalibration_ ? trackingCalibration_() : app_.Guiding().previousCalibration;

    app_.Telescope().SaveScopeID(v);
    app_.GuiderServer().SaveSettings(v);

    v.sensorWidth = app_.Camera().properties.pixelsX;
    v.sensorHeight = app_.Camera().properties.pixelsY;
    v.automaticColour = view.Colour().Automatic();
    v.homeDirectory = HomeDirectory();
    return v;
}

// ---------------------------------------------------------------------------------------------
// Start-up and exit

void SettingsController::LoadAtStart() {
    SettingsValues v = Gather();
    const SettingsStore::LoadResult result = store_.Load(0, v);

    app_.Saver().Settings() = v.files;
    for (int n = 1; n <= quick::kCount; ++n)
        SetQuickPreset(n, v.presets[n - 1].title, v.presets[n - 1].flags);
    app_.Exposure() = v.exposure;
    app_.Cooler().SetSetpointValue(v.coolingSetpoint);

    // Values the view refuses (a zoom out of range, a gamma that is no gamma) leave its
    // defaults in place.
    ImageView& view = app_.View();
    const DisplayValues& d = v.display;
    view.ResetDisplaySettings();
    view.SetPan(d.panX, d.panY);
    view.SetZoom(d.zoom);
    view.SetGamma(d.gamma);
    view.SetInvert(d.invert);
    view.SetNightVision(d.nightVision);
    view.SetAspect(d.aspect);
    view.SetReticle(d.reticle);
    view.SetAutoLevel(d.autoLevel);
    view.SetColourMode(d.previewMode);
    if (!v.automaticColour) view.SetUserBayerCode(d.userBayerCode);

    app_.Focus() = v.focus;
    app_.Guiding() = v.guiding;
    app_.Header() = v.header;
    app_.Window() = v.window;
    if (result.maximise) timers_.SetTimer(kTimerMaximise, kMaximiseDelayMs);

    // Placements are only remembered here; each dialog uses its own when it is created.
    for (const DialogPair& p : kWindowDialogs) {
        ModelessDialogState& s = app_.Placement(p.app);
        const DialogSection& section = v.Dialog(p.settings);
        s.left = section.left;
        s.top = section.top;
        s.wasOpen = section.show;
    }
    ModelessDialogState& tracking = app_.Placement(AppDialog::Tracking);
    tracking.left = v.tracking.left;
    tracking.top = v.tracking.top;
    app_.Guiding().trackingExpand = v.tracking.expand;
    const DialogSection& disp = v.Dialog(SettingsDialog::Display);
    view.SetDisplayDialogPlacement(DialogPlacement{disp.left, disp.top, disp.show});

    app_.Telescope().LoadScopeID(v);
    app_.GuiderServer().LoadSettings(v);

    view.PushToDialog();
    view.UpdateScrollBars();
    ui_.RepaintView(true);
    exposureDialog_.Refresh();
}

bool SettingsController::TrackingExpand() const {
    return app_.Guiding().trackingExpand;
}

void SettingsController::SetTrackingExpand(bool on) {
    app_.Guiding().trackingExpand = on;
}

bool SettingsController::SaveAtExit() {
    // A frame autosaved after this point would take a number the stored settings offer again.
    app_.Cycle().Stop();
    return store_.Save(0, Gather());
}

std::string SettingsController::WithPath(const char* text) const {
    std::string out(text);
    const auto at = out.find("%s");
    if (at != std::string::npos) out.replace(at, 2, store_.Path());
    return out;
}

bool SettingsController::ReportWriteProtected(Prompts& prompts) {
    if (!IsWriteProtected(store_.Path())) return false;
    if (!writeProtectedReported_) {
        writeProtectedReported_ = true;
        prompts.MessageBox(WithPath(kWriteProtectedText), CaptureApp::kTitle, MessageButtons::Ok,
                           MessageIcon::Information);
    }
    return true;
}

void SettingsController::SaveAtExitOrAsk(Prompts& prompts) {
    // The old file stays whole whatever happens; what the user must hear is that the night's
    // changes are about to be lost, while they can still free the disk or fix the folder.
    while (!SaveAtExit()) {
        if (ReportWriteProtected(prompts)) return;
        const MessageAnswer answer =
            prompts.MessageBox(WithPath(kSaveFailedText), CaptureApp::kTitle,
                               MessageButtons::RetryCancel, MessageIcon::Exclamation);
        if (answer != MessageAnswer::Retry) return;
    }
}

// ---------------------------------------------------------------------------------------------
// Quick presets

const std::array<QuickPreset, 8>& SettingsController::Presets() const {
    return app_.Presets();
}

void SettingsController::SetQuickPreset(int n, const std::string& title, int flags) {
    if (n < 1 || n > quick::kCount) return;
    app_.Presets()[n - 1] = QuickPreset{title, flags};
    // Without a "&Quick" menu the preset still works; only its text is not shown.
    ui_.SetQuickMenuItemText(n - 1, quick::MenuText(n, title));
}

void SettingsController::ApplyQuickPreset(int n) {
    if (n < 1 || n > quick::kCount) return;
    const int flags = app_.Presets()[n - 1].flags;
    // A preset that starts exposures changes nothing while another activity has the camera.
    if ((flags & quick::kStartMask) && !app_.AskForCamera(CameraActivity::Exposures)) return;

    SettingsValues v = Gather();
    store_.Load(n, v);
    app_.Exposure() = v.exposure;
    app_.Saver().Settings().autosave = v.files.autosave;
    ImageView& view = app_.View();
    if (flags & quick::kRestoreSubframe) {
        view.SetPan(v.display.panX, v.display.panY);
        view.SetZoom(v.display.zoom);
    }

    // Through the dialog's apply: binning limited to the camera, the subframe to the view.
    exposureDialog_.Refresh();
    exposureDialog_.Apply();
    view.PushToDialog();
    view.UpdateScrollBars();
    ui_.RepaintView(true);

    // A preset's start always begins afresh: "Loop" then switches the loop on.
    app_.Cycle().ClearLooping();
    StartPreset(flags);
}

void SettingsController::StartPreset(int flags) {
    // The same condition as the Snapshot and Loop commands: a camera.
    if (!app_.IsConnected()) return;
    switch (flags & quick::kStartMask) {
        case quick::kStartSingle:
            app_.Snapshot();
            break;
        case quick::kStartLoop:
            app_.ToggleLoop();
            break;
        default:
            break;
    }
}

bool SettingsController::SaveQuickPreset(int n, const std::string& title, int flags) {
    if (n < 1 || n > quick::kCount) return false;
    SetQuickPreset(n, title, flags);
    return store_.Save(n, Gather());
}

QuickSaveForm SettingsController::OpenQuickSaveForm() const {
    return QuickSaveForm::Open(app_.Presets());
}

}  // namespace zorvane
