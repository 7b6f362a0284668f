#include "app/ExposureDialogController.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "app/CaptureApp.h"
#include "core/TimerIds.h"
#include "files/FileNaming.h"
#include "view/ImageView.h"

namespace zorvane {

namespace {

// The far edge of a subframe, kept within what a coordinate can hold whatever was typed.
int FarEdge(int start, int size) {
    const int64_t edge = static_cast<int64_t>(start) + size;
    return static_cast<int>(std::clamp<int64_t>(edge, INT_MIN, INT_MAX));
}

}  // namespace

ExposureDialogController::ExposureDialogController(CaptureApp& app, Prompts& prompts)
    : app_(app), prompts_(prompts) {}

void ExposureDialogController::Attach(ExposureDialogView* view, TimerService* typingTimer) {
    view_ = view;
    typingTimer_ = typingTimer;
}

void ExposureDialogController::Detach() {
    if (typingTimer_) typingTimer_->KillTimer(kTimerDialogEdit);
    view_ = nullptr;
    typingTimer_ = nullptr;
}

ExposureCameraFacts ExposureDialogController::CameraFacts() const {
    const CameraProperties& p = app_.Camera().properties;
    const ExposureSettings& s = app_.Exposure();
    ExposureCameraFacts f;
    f.cameraFlags = p.cameraFlags;
    f.sensorFlags = p.sensorFlags;
    f.maxBinX = s.maxBinX;
    f.maxBinY = s.maxBinY;
    f.pixelsX = p.pixelsX;
    f.pixelsY = p.pixelsY;
    return f;
}

void ExposureDialogController::ReadView() {
    if (view_) view_->ReadControls(model_.controls);
}

void ExposureDialogController::ShowView() {
    if (view_) view_->ShowControls(model_.controls);
}

void ExposureDialogController::ReportFailure(const ExposureDialogModel::Failure& failure) {
    prompts_.MessageBox(failure.message, CaptureApp::kTitle, MessageButtons::Ok,
                        MessageIcon::Exclamation);
    if (view_) view_->FocusControl(failure.controlId);
}

// ---------------------------------------------------------------------------------------------
// Main window → dialog

void ExposureDialogController::Refresh() {
    model_.Refresh(app_.Exposure(), app_.Saver().Settings(), CameraFacts());
    ShowView();
}

void ExposureDialogController::SetExposureText(float seconds) {
    // Whatever is being typed elsewhere in the dialog stays as it is.
    ReadView();
    model_.fields.exposure = seconds;
    model_.controls.exposure = ExposureDialogModel::FormatFloat(seconds);
    ShowView();
}

// ---------------------------------------------------------------------------------------------
// Dialog → main window

void ExposureDialogController::Apply() {
    if (applying_) return;
    applying_ = true;
    // Whatever was typed is taken now; the timer has nothing left to do.
    if (typingTimer_) typingTimer_->KillTimer(kTimerDialogEdit);
    ReadView();
    if (const auto failure = model_.Take()) ReportFailure(*failure);
    ApplyToMainWindow();
    applying_ = false;
}

void ExposureDialogController::ApplyLock(bool locked) {
    if (applying_) return;
    applying_ = true;
    if (typingTimer_) typingTimer_->KillTimer(kTimerDialogEdit);
    ReadView();
    if (const auto failure = model_.Take()) ReportFailure(*failure);
    // Whatever was refused, the lock itself is the user's command.
    model_.controls.lock = locked;
    model_.fields.lock = locked;
    ApplyToMainWindow();
    applying_ = false;
}

void ExposureDialogController::ApplyToMainWindow() {
    ExposureDialogModel& m = model_;
    FileSettings& files = app_.Saver().Settings();
    ExposureSettings edited = app_.Exposure();
    m.CopyTo(edited, files);
    // Dark mode goes to the camera now, binning is limited to the camera's maxima, FIFO needs
    // precharge mode 1, the shortest exposure is 1 ms, and a running loop re-prepares.
    app_.Cycle().ApplyExposureSettings(edited);

    bool redisplay = false;
    if (m.nextDirRequested) {
        m.nextDirRequested = false;
        // A refusal has already sounded the beep.
        if (app_.Saver().NextDirectory()) {
            m.fields.savePath = files.savePath;
            m.fields.sequenceNumber = files.sequenceNumber;
            redisplay = true;
        }
    }

    // The whole sensor shows no subframe rectangle; the view tells the main window the
    // rectangle, which clips it to the sensor and refreshes this dialog.
    const ExposureSettings& s = app_.Exposure();
    const CameraProperties& p = app_.Camera().properties;
    ImageView& view = app_.View();
    if (s.subX == 0 && s.subY == 0 && s.subWidth == p.pixelsX && s.subHeight == p.pixelsY) {
        view.SetSelection({0, 0}, {0, 0});
    } else {
        view.SetSelection({s.subX, s.subY},
                          {FarEdge(s.subX, s.subWidth), FarEdge(s.subY, s.subHeight)});
    }

    if (m.fields.fifo && !app_.Exposure().fifo) {
        m.fields.fifo = false;
        redisplay = true;
    }
    if (m.fields.exposure < 0.000999f) {
        m.fields.exposure = ExposureDialogModel::kMinExposure;
        redisplay = true;
    }
    if (redisplay) m.Show();
    m.controls.lockedControlsEnabled = !m.fields.lock;
    ShowView();
    view.Invalidate(false);
}

void ExposureDialogController::OnEdited(int controlId) {
    if (typingTimer_ && exposure_ids::IsTypingControl(controlId))
        typingTimer_->SetTimer(kTimerDialogEdit, kTypingDelayMs);
}

void ExposureDialogController::OnTimer(int id) {
    if (id != kTimerDialogEdit) return;
    if (typingTimer_) typingTimer_->KillTimer(kTimerDialogEdit);
    Apply();
}

void ExposureDialogController::OnSpin(ExposureSpin spin, bool up) {
    if (applying_) return;
    applying_ = true;
    ReadView();
    if (const auto failure = model_.Take()) ReportFailure(*failure);
    model_.fields.exposure = ExposureDialogModel::SpinExposure(model_.fields.exposure, spin, up);
    model_.Show();
    ShowView();
    applying_ = false;
    Apply();
}

void ExposureDialogController::OnFullFrame() {
    ReadView();
    model_.FullFrame(CameraFacts());
    ShowView();
    Apply();
}

void ExposureDialogController::OnBrowse() {
    ReadView();
    const std::string path = model_.controls.savePath;
    FileDialogRequest request;
    request.title = kBrowseTitle;
    request.filters = {{"Fits (16 bit)", "*.fit"}, {"Tif (16 bit)", "*.tif"}, {"All Files", "*.*"}};
    request.initialPath = path;
    request.presetFilter = PresetFilterForPath(path);
    request.pathMustExist = true;
    const FileDialogResult result = prompts_.SaveFileDialog(request);
    if (result.status != FileDialogResult::Status::Ok) return;
    // Taken as chosen: autosave adds or keeps the extension when it writes.
    model_.controls.savePath = result.path;
    ShowView();
    Apply();
}

void ExposureDialogController::OnNextDir() {
    model_.nextDirRequested = true;
    Apply();
}

}  // namespace zorvane
