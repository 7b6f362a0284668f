#include "app/CaptureApp.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/StatusBarText.h"
#include "automation/IndiTransport.h"
#include "core/TimerIds.h"
#include "files/HeaderKeywords.h"
#include "indi/CameraChoice.h"
#include "platform/Clock.h"
#include "platform/MachineSwitch.h"
#include "platform/Paths.h"
#include "platform/System.h"
#include "sequencer/SequenceFile.h"
#include "telescope/DeviceChooser.h"
#include "view/ImageView.h"

namespace zorvane {

namespace {
std::string FixedText(const char* text, size_t size) {
    return std::string(text, strnlen(text, size));
}
}  // namespace

CaptureApp::CaptureApp(TimerService& timers, EventPoster& poster, Prompts& prompts, AppUi& ui,
                       AppOptions options)
    : timers_(timers),
      poster_(poster),
      prompts_(prompts),
      ui_(ui),
      options_(std::move(options)),
      lib_(options_.librarySearchDirs),
      cycle_(lib_, camera_, exposure_, timers_, poster_, prompts_, *this, owner_),
      view_(std::make_unique<ImageView>(*this)),
      cooler_(lib_, camera_, timers_),
      saver_(prompts_, *this, HomeDirectory()),
      automation_(std::make_unique<IndiTransport>(
          options_.settingsPath,
          [this](const std::string& text) {  // on the connection's thread: shown on the window's
              poster_.PostToGuiThread([this, text] {
                  prompts_.MessageBox(text, kTitle, MessageButtons::Ok, MessageIcon::Exclamation);
              });
          },
          [this] { poster_.PostToGuiThread([this] { guider_.OnServerLost(); }); })),
      servers_(*automation_),
      wheel_(servers_, prompts_, timers_, kTimerFilterWheel,
             options_.deviceWork ? *options_.deviceWork : wheelWork_),
      telescope_(servers_, options_.clock ? *options_.clock : SystemClock::Instance(), timers_,
                 kTimerPulse, options_.deviceWork ? *options_.deviceWork : telescopeWork_),
      sequencer_(lib_, camera_, cycle_, timers_, prompts_, sequence_, shell_, *this, owner_),
      guider_(*this, prompts_, options_.clock ? *options_.clock : SystemClock::Instance(), timers_,
              focus_, guiding_) {
    cooler_.sleep = [](unsigned ms) { SleepMilliseconds(static_cast<int>(ms)); };
    // Only a user who asked for an INDI camera has the program look for one.
    lib_.OfferIndiCamera(!indi::IndiCameraSetting(options_.settingsPath).empty());
    lib_.SetDeviceWaits([this](const std::function<void()>& calls) { ui_.RunCameraSetUp(calls); });
    sequencer_.SetFilterWheel(&sequencerWheel_);
    sequenceGuider_ = std::make_unique<SequenceGuider>(
        sequencer_, sequence_, timers_, options_.clock ? *options_.clock : SystemClock::Instance(),
        ui_);
    guider_.AttachTelescope(&telescope_);
    servers_.Register(DeviceChooserServer::kProgId, [this]() -> std::shared_ptr<AutomationServer> {
        DeviceChooserUi* ui = ui_.DeviceChooser();
        if (!ui) return nullptr;
        return std::make_shared<DeviceChooserServer>(*ui, options_.settingsPath);
    });
}

CaptureApp::~CaptureApp() = default;

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void CaptureApp::Construct() {
    blackLevelSwitch_ = options_.machineConfigPath.empty()
                            ? zorvane::BlackLevelSwitch()
                            : zorvane::BlackLevelSwitch(options_.machineConfigPath);
    device_ = lib_.ChooseCamera(prompts_);
    if (device_ >= 0) lib_.ZorvaneSetupDialog();
    ConnectAtStartUp();
    SetDefaults();
    // Without a wheel (or its server) the program starts as before, with 5 positions.
    ConnectFilterWheel(true);
    cooler_.ReadTemperature();
}

void CaptureApp::ConnectAtStartUp() {
    int attempts = 0;
    for (;;) {
        ++attempts;
        if (ConnectCamera(lib_, device_, camera_)) {
            lib_.ZorvaneDiagnosticUSBError(camera_.handle);
            ReadCameraFacts(lib_, blackLevelSwitch_, CoolingDiscoveryOrder::SensorFirst, camera_);
            return;
        }
        // Attempts follow each other at once; only the fourth failure is reported.
        if (attempts < kConnectAttempts) continue;
        const MessageAnswer answer =
            AskAfterFailedConnect(prompts_, lib_, "Failed to connect to Camera");
        if (answer == MessageAnswer::Abort) ui_.ExitProcessNow(0);
        if (answer != MessageAnswer::Retry) return;  // go on without a camera
        device_ = lib_.ChooseCamera(prompts_);
        attempts = 0;
    }
}

void CaptureApp::SetDefaults() {
    ExposureSettings defaults;
    defaults.exposure = 0.01f;
    defaults.delay = 0.0f;
    defaults.prechargeMode = 1;
    defaults.fifo = false;
    defaults.highPriority = false;
    defaults.autoExposure = false;
    defaults.triggered = false;
    defaults.dark = false;
    defaults.preview = false;
    defaults.subSample = false;
    defaults.vbe = false;
    exposure_ = defaults;
    for (auto& d : dialogs_) d = ModelessDialogState{};
    guiding_.output = GuideOutput::CameraPort;
    filters_ = FilterNames{};
    cooler_.ResetTemperature();
}

void CaptureApp::ResetCreationState() {
    cycle_.ResetState();
    subframeMode_ = false;
    view_->SetDefineMode(false);
    saver_.Settings().autosave = false;
    saver_.Settings().sequenceNumber = 0;
    saver_.Settings().sequenceFormat = 0;
    saver_.ClearLastSavedName();
    exposure_.rotate180 = false;
    readoutX_ = readoutY_ = readoutValue_ = -1;
    cycle_.FreeFrame();
}

void CaptureApp::OnCreate(const std::function<void()>& loadSettings) {
    QueryCamera();
    ResetCreationState();
    if (loadSettings) loadSettings();
    // Whatever was stored, these four start the same way every time.
    exposure_.amplifier = true;
    exposure_.prechargeMode = 1;
    exposure_.fifo = true;
    exposure_.highPriority = false;
}

std::vector<AppDialog> CaptureApp::DialogsToReopen() const {
    std::vector<AppDialog> result;
    for (AppDialog d : {AppDialog::Exposure, AppDialog::Cooler, AppDialog::Tracking,
                        AppDialog::Sequencer, AppDialog::FilterWheel})
        if (Placement(d).wasOpen) result.push_back(d);
    return result;
}

void CaptureApp::Shutdown() {
    cycle_.Stop();
    cycle_.FreeFrame();
    if (camera_.handle) {
        lib_.ZorvaneExposureReadyCallback(camera_.handle, nullptr, 0, 0, 0);
        lib_.ZorvaneDisconnect(camera_.handle);
        camera_.handle = nullptr;
    }
    lib_.ReleaseManagerLocks(lib_.ManagerLockToken());
    servers_.ProgramEnding();  // a wheel the program switched on is switched off as it goes
    DisconnectFilterWheel();
    lib_.FreeLibrary();
}

// ---------------------------------------------------------------------------------------------
// Filter wheel

void CaptureApp::ConnectFilterWheel(bool quiet, std::function<void(bool)> done, int settleMs) {
    wheel_.Connect(
        quiet,
        [this, done = std::move(done)](bool connected) {
            if (connected) FilterPositionCount();
            ui_.RefreshFilterDialog();
            if (done) done(connected);
        },
        settleMs);
}

void CaptureApp::DisconnectFilterWheel() {
    wheel_.Disconnect();
}

int CaptureApp::FilterPositionCount() {
    const auto names = wheel_.GetFilterNames();
    const int count = names ? static_cast<int>(names->size()) : -1;
    // A wheel that cannot list its filters leaves the count (and names) as they were.
    if (count > 0) {
        filters_.positions = count;
        sequence_.SetFilterNames(*names);
        ui_.RefreshSequencerDialog();
    }
    return count;
}

// ---------------------------------------------------------------------------------------------
// Camera query and connection

void CaptureApp::QueryCamera() {
    ZorvaneHandle h = camera_.handle;
    if (IsConnected()) {
        lib_.ZorvaneProperties(h, &camera_.properties);
        CameraProperties& p = camera_.properties;
        // Sizes from the library are input: keep them within what a frame can be.
        p.pixelsX = std::clamp(p.pixelsX, 0, ExposureCycle::kMaxFrameSide);
        p.pixelsY = std::clamp(p.pixelsY, 0, ExposureCycle::kMaxFrameSide);

        lib_.ZorvaneGetBin(h, &exposure_.binX, &exposure_.binY);
        exposure_.maxBinX = exposure_.maxBinY = 8;
        lib_.ZorvaneGetMaxBin(h, &exposure_.maxBinX, &exposure_.maxBinY);
        exposure_.maxBinX = std::clamp(exposure_.maxBinX, 1, 8);
        exposure_.maxBinY = std::clamp(exposure_.maxBinY, 1, 8);
        exposure_.binX = std::clamp(exposure_.binX, 1, exposure_.maxBinX);
        exposure_.binY = std::clamp(exposure_.binY, 0, exposure_.maxBinY);
        lib_.ZorvaneGetSubframe(h, &exposure_.subX, &exposure_.subY, &exposure_.subWidth,
                                &exposure_.subHeight);
        exposure_.amplifier = lib_.ZorvaneGetAmplifierSwitched(h);
        if (exposure_.dark) {
            if (p.cameraFlags & ZORVANE_CAMERA_DARK)
                lib_.ZorvaneSetDarkMode(h, true);
            else
                exposure_.dark = false;
        }
        int32_t type = 0, nx = 0, ny = 0, px = 0, py = 0;
        lib_.ZorvaneColourProperties(h, &type, &nx, &ny, &px, &py);
        view_->SetColourProperties(type, nx, ny, px, py);
        view_->SetSensorSize(p.pixelsX, p.pixelsY);
        // A pixel size that is not a positive number would make the aspect meaningless.
        float sx = p.pixelSizeX, sy = p.pixelSizeY;
        if (!(sx > 0.0f && sy > 0.0f && std::isfinite(sx) && std::isfinite(sy))) sx = sy = 1.0f;
        view_->SetPixelSize(sx, sy);
        subframeMode_ = false;
        view_->SetDefineMode(false);
        view_->SetSelection({0, 0}, {0, 0});
        ui_.RepaintView(true);
    } else {
        view_->SetSensorSize(0, 0);
        camera_.properties = CameraProperties{};
        exposure_.binX = exposure_.binY = 1;
        exposure_.maxBinX = exposure_.maxBinY = 8;
    }
    if (exposure_.binY == exposure_.binX) exposure_.binY = 0;
    if (Placement(AppDialog::Sequencer).exists) {
        sequence_.SetBinningRange(std::min(exposure_.maxBinX, exposure_.maxBinY));
        ui_.RefreshSequencerDialog();
    }
}

bool CaptureApp::IsConnected() {
    return camera_.IsConnected(lib_);
}

void CaptureApp::DisconnectCamera() {
    cycle_.FreeFrame();
    view_->SetEmptyFrame();
    camera_.coolingFlags = 0;
    camera_.hasSensor = false;
    saver_.ClearLastSavedName();
    ui_.RepaintView(true);
    camera_.handle = nullptr;
}

void CaptureApp::ConnectOrDisconnect() {
    const bool wasConnected = IsConnected();
    // A sequence or calibration cannot go on with the camera it was taking frames from going
    // away: it ends quietly.
    owner_.TakeAway(CameraLoss::Disconnected);
    const bool resume = cycle_.ResumesAfterReconnect();
    const ExposureSettings before = exposure_;
    const CameraProperties sensorBefore = camera_.properties;
    cycle_.Stop();
    if (!wasConnected && camera_.handle) {
        // The camera dropped off: let the library close the handle it still holds before a
        // camera is chosen, which may unload that library. It cannot refuse for a camera that
        // is gone; whatever it says, the handle is finished.
        cooler_.StopPolling();
        lib_.ReleaseManagerLocks(lib_.ManagerLockToken());
        lib_.ZorvaneExposureReadyCallback(camera_.handle, nullptr, 0, 0, 0);
        lib_.ZorvaneDisconnect(camera_.handle);
        DisconnectCamera();
    }

    for (;;) {
        bool succeeded;
        if (wasConnected) {
            cooler_.StopPolling();
            lib_.ReleaseManagerLocks(lib_.ManagerLockToken());
            lib_.ZorvaneExposureReadyCallback(camera_.handle, nullptr, 0, 0, 0);
            succeeded = lib_.ZorvaneDisconnect(camera_.handle);
            if (succeeded) DisconnectCamera();
        } else {
            device_ = lib_.ChooseCamera(prompts_);
            const bool finished = device_ == -1;
            camera_.coolingFlags = 0;
            camera_.hasSensor = false;
            if (!finished && OpenCamera(lib_, device_, blackLevelSwitch_,
                                        CoolingDiscoveryOrder::CoolingFirst, camera_))
                cooler_.ReadTemperature();
            cooler_.Poll();
            ui_.RefreshCoolerDialog();
            succeeded = finished || camera_.handle != nullptr;
        }
        if (succeeded) break;
        const MessageAnswer answer = AskAfterFailedConnect(prompts_, lib_, "Can't connect");
        if (answer == MessageAnswer::Abort) ui_.ExitProcessNow(0);
        if (answer != MessageAnswer::Retry) break;
    }
    QueryCamera();
    if (resume && IsConnected()) {
        // The same camera came back with its own defaults: the loop goes on as it was.
        const CameraProperties& p = camera_.properties;
        if (p.pixelsX == sensorBefore.pixelsX && p.pixelsY == sensorBefore.pixelsY) {
            exposure_.binX = std::min(before.binX, exposure_.maxBinX);
            exposure_.binY = std::min(before.binY, exposure_.maxBinY);
            view_->SetSelection({before.subX, before.subY},
                                {before.subX + before.subWidth, before.subY + before.subHeight});
            ui_.RefreshExposureDialog();
        }
        cycle_.ResumeAfterReconnect();
    }
}

// ---------------------------------------------------------------------------------------------
// Commands

bool CaptureApp::SubframeIsFullSensor() const {
    return exposure_.subX == 0 && exposure_.subY == 0 &&
           exposure_.subWidth == camera_.properties.pixelsX &&
           exposure_.subHeight == camera_.properties.pixelsY;
}

void CaptureApp::ToggleSubframeMode() {
    const bool fullSensor = SubframeIsFullSensor();
    subframeMode_ = !(subframeMode_ || !fullSensor);
    view_->SetDefineMode(subframeMode_);
    if (!subframeMode_) view_->SetSelection({0, 0}, {0, 0});
}

void CaptureApp::ToggleLock() {
    const bool locked = !exposure_.lockExposure;
    // Through the open dialog, so that what was typed in it a moment ago is not lost.
    if (ui_.ApplyLockInExposureDialog(locked)) return;
    exposure_.lockExposure = locked;
    cycle_.ApplyExposureSettings(exposure_);
}

void CaptureApp::ToggleAutosave() {
    saver_.ToggleAutosave();
}

void CaptureApp::OnTimer(int id) {
    if (cycle_.OnTimer(id) || sequencer_.OnTimer(id) || guiderService_->OnTimer(id) ||
        sequenceGuider_->OnTimer(id))
        return;
    switch (id) {
        case kTimerGuide:
            guider_.OnTimer();
            break;
        case kTimerFilterWheel:
            wheel_.OnTimer();
            break;
        case kTimerPulse:
            telescope_.OnTimer();
            break;
        case kTimerMaximise:
            timers_.KillTimer(kTimerMaximise);
            ui_.MaximiseWindow();
            break;
        case kTimerCooler:
            cooler_.Poll();
            ui_.RefreshCoolerDialog();
            break;
        default:
            break;
    }
}

// ---------------------------------------------------------------------------------------------
// Status bar

std::string CaptureApp::CameraStatePaneText() {
    const bool has = camera_.handle != nullptr;
    const int32_t state = has ? lib_.ZorvaneCameraState(camera_.handle) : 0;
    float remaining = 0.0f;
    int32_t percent = 0;
    if (has && state == ZORVANE_STATE_EXPOSING)
        remaining = lib_.ZorvaneExposureTimeRemaining(camera_.handle);
    if (has && (state == ZORVANE_STATE_DOWNLOADING || state == ZORVANE_STATE_FLUSHING))
        percent = lib_.ZorvaneDownloadPercent(camera_.handle);
    return statusbar::CameraStateText(cycle_.HighSpeed(), has, state, remaining, percent);
}

bool CaptureApp::CameraStatePaneActive() {
    const bool has = camera_.handle != nullptr;
    return statusbar::CameraStateActive(cycle_.HighSpeed(), has,
                                        has ? lib_.ZorvaneCameraState(camera_.handle) : 0);
}

std::string CaptureApp::SavedPaneText() const {
    return saver_.SavedStatusText();
}

std::string CaptureApp::ZoomPaneText() const {
    return statusbar::ZoomText(view_->ZoomLevel());
}

std::string CaptureApp::ReadoutPaneText() const {
    return statusbar::ReadoutText(readoutX_, readoutY_, readoutValue_);
}

bool CaptureApp::CheckUsbError() {
    if (!camera_.handle || usbErrorDialogOpen_) return false;
    if (lib_.ZorvaneDiagnosticUSBError(camera_.handle) == 0) return false;
    usbErrorDialogOpen_ = true;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Camera information

std::string CaptureApp::InfoModelText() const {
    return "Model: " + FixedText(camera_.properties.model, sizeof camera_.properties.model);
}

std::string CaptureApp::InfoManufacturerText() const {
    return "Manufacturer: " +
           FixedText(camera_.properties.manufacturer, sizeof camera_.properties.manufacturer);
}

std::string CaptureApp::InfoSerialText() const {
    return "Serial: " + camera_.SerialText();
}

std::string CaptureApp::InfoProtocolText() const {
    char buf[48];
    const int32_t protocol = camera_.properties.protocol;
    std::snprintf(buf, sizeof buf, "Protocol ver %d.%02d", protocol >> 8, protocol & 255);
    return buf;
}

// ---------------------------------------------------------------------------------------------
// Image view host

void CaptureApp::SetSubframe(const Rect& r) {
    cycle_.SetSubframe(r.left, r.top, r.right, r.bottom);
    if (subframeMode_) {
        subframeMode_ = false;
        view_->SetDefineMode(false);
    }
    ui_.RefreshExposureDialog();
}

void CaptureApp::OnPixelReadout(int x, int y, int value) {
    readoutX_ = x;
    readoutY_ = y;
    readoutValue_ = value;
}

// ---------------------------------------------------------------------------------------------
// Guiding host

const ImageFrame& CaptureApp::ShownFrame() const {
    return view_->Frame();
}

Point CaptureApp::TrackedStar() const {
    return view_->TrackedStar();
}

void CaptureApp::SetTrackedStar(Point p) {
    view_->SetTrackedStar(p);
}

void CaptureApp::SetGuideTargetMarker(Point p) {
    view_->SetGuideTarget(p);
}

void CaptureApp::ShowTrackingDialog(bool show) {
    ModelessDialogState& p = Placement(AppDialog::Tracking);
    p.exists = guider_.DialogExists();
    p.visible = show;
    ui_.ShowTrackingDialog(show);
}

Rect CaptureApp::SensorRect() const {
    return {0, 0, camera_.properties.pixelsX, camera_.properties.pixelsY};
}

Rect CaptureApp::SubframeRect() const {
    return {exposure_.subX, exposure_.subY, exposure_.subX + exposure_.subWidth,
            exposure_.subY + exposure_.subHeight};
}

void CaptureApp::SetSelection(const Rect& r) {
    view_->SetSelection({r.left, r.top}, {r.right, r.bottom});
}

unsigned CaptureApp::FrameTimeMs() const {
    return static_cast<unsigned>(std::max(0.0f, exposure_.exposure) * 1000.0f);
}

void CaptureApp::SendCameraPortPulse(int direction, unsigned ms) {
    // The library starts the pulse and returns.
    if (camera_.handle) lib_.ZorvanePulseGuide(camera_.handle, direction, static_cast<int32_t>(ms));
}

void CaptureApp::SetCalibrationTrack(const std::vector<Point>& track) {
    view_->SetCalibrationTrack(track);
}

// ---------------------------------------------------------------------------------------------
// Exposure host

void CaptureApp::MakeExposureTimeText() {
    ZorvaneHandle h = camera_.handle;
    // Should the library not know when the exposure started, the host's clock stands in.
    const auto duration = std::chrono::duration<double>(lib_.ZorvaneLastExposureDuration(h));
    const auto hostStart =
        std::chrono::system_clock::now() -
        std::chrono::duration_cast<std::chrono::system_clock::duration>(duration);
    pendingExposure_ = lib_.ZorvaneLastExposureDuration(h);
    pendingStartText_ = zorvane::MakeExposureTimeText(lib_.ZorvaneLastStartTime(h),
                                                      lib_.ZorvaneLastStartTimeMilliseconds(h),
                                                      header_.extraTimePrecision, hostStart);
}

void CaptureApp::SetFrame(FrameBuffer& pixels, FrameHistogram& counts, const FrameGeometry& g,
                          bool turned, bool preview) {
    view_->SetFrame(pixels, counts, g.x, g.y, g.width, g.height, g.binX, g.binY, turned, preview);
    startTimeText_ = pendingStartText_;
    frameExposure_ = pendingExposure_;
    // The header's temperature is the sensor's as this frame came in (a high-speed loop keeps
    // the last reading rather than ask the camera at every frame).
    if (!cycle_.HighSpeed()) cooler_.ReadTemperature();
}

void CaptureApp::OnNewFrameShown() {
    saver_.ClearLastSavedName();
    ui_.RepaintView(false);
    guider_.OnFrameShown();
}

void CaptureApp::AutosaveImage() {
    saver_.AutosaveImage();
}

// ---------------------------------------------------------------------------------------------
// Saver host

std::optional<FramePixels> CaptureApp::CurrentFrame() const {
    // The frame on show is the one saved: the view holds the only copy.
    const ImageFrame& f = view_->Frame();
    if (f.IsEmpty()) return std::nullopt;
    return FramePixels{f.Pixels.get(), f.Width, f.Height};
}

void CaptureApp::StopLoop() {
    if (cycle_.Looping()) cycle_.ToggleLoop();
}

void CaptureApp::AddHeaderKeywords(KeywordSink& sink) {
    const CameraProperties& p = camera_.properties;
    HeaderInputs in;
    in.model = FixedText(p.model, sizeof p.model);
    in.protocol = p.protocol;
    in.telescope = header_.telescope;
    in.observer = header_.observer;
    in.object = header_.object;
    // While a sequence runs the header names the line's filter; otherwise the wheel's position
    // while it is connected, and none while it moves (it is at no filter).
    in.filterPosition = sequencer_.CurrentFilterPosition();
    if (!in.filterPosition && wheel_.IsConnected()) {
        const int position = wheel_.GetPosition();
        if (position >= 0) in.filterPosition = position;
    }
    in.exposureSeconds = frameExposure_;
    in.startTimeText = startTimeText_;
    in.pixelSizeX = p.pixelSizeX;
    in.pixelSizeY = p.pixelSizeY;
    // Binning and subframe of the saved frame itself, not of an exposure that may be running
    // with other settings. The origin is given in the camera's own read-out order, as the
    // camera's subframe position is.
    const FrameGeometry& g = cycle_.Geometry();
    in.binX = g.binX;
    in.binY = g.binY;
    in.subframeX = cycle_.FrameTurned() ? p.pixelsX - g.x - g.width * g.binX : g.x;
    in.subframeY = cycle_.FrameTurned() ? p.pixelsY - g.y - g.height * g.binY : g.y;
    in.blackLevel = view_->BlackLevel();
    in.whiteLevel = view_->WhiteLevel();
    // Until the cooler has been polled there is no reading: writing the -1000 marker as a
    // temperature would put a false value into the file.
    if (camera_.hasSensor && cooler_.SensorTemperature() > -1000.0f)
        in.ccdTemperature = cooler_.SensorTemperature();
    in.frameTurned = cycle_.FrameTurned();
    int bx = 0, by = 0;
    if (view_->GetBayerOffsets(bx, by)) in.bayerOffsets = HeaderInputs::BayerOffsets{bx, by};
    in.imageType = exposure_.dark ? "Dark Frame" : "Light Frame";
    if (header_.focalLength > 0) in.focalLengthMm = header_.focalLength;
    if (const auto at = telescope_.CurrentPointing())
        in.pointing = HeaderInputs::Pointing{at->raDegrees, at->decDegrees};
    sequenceGuider_->AddHeaderInputs(in);
    zorvane::AddHeaderKeywords(in, sink);
}

// The exposure cycle's word (off as an exposure starts) and the rule from the state agree once
// the exposure runs; until then the cycle's "off" wins.
void CaptureApp::EnableSequencerRun(bool enable) {
    ui_.EnableSequencerRun(enable && SequencerRunEnabled());
}

void CaptureApp::ShowAutoExposure(float seconds) {
    ui_.ShowExposureInDialog(seconds);
}

int CaptureApp::RaiseThreadPriority() {
    const int saved = CurrentThreadPriority();
    RaiseToAboveNormal();
    return saved;
}

void CaptureApp::RestoreThreadPriority(int saved) {
    SetCurrentThreadPriority(saved);
}

void CaptureApp::KeepSystemAwake(bool on) {
    SleepInhibitor* inhibitor = options_.sleepInhibitor;
    if (!inhibitor) return;
    if (on)
        inhibitor->Inhibit("Exposures are running");
    else
        inhibitor->Release();
}

// ---------------------------------------------------------------------------------------------
// Sequencer

void CaptureApp::PrepareSequencerDialog(const std::string& settingsPath) {
    sequence_.SetFilterRange(filters_.positions);
    sequence_.SetBinningRange(std::min(exposure_.maxBinX, exposure_.maxBinY));
    // A settings file without the sequencer's sections leaves the dialog's initial sequence.
    IniDocument doc;
    if (doc.Load(settingsPath)) ReadSequence(doc, sequence_);
}

bool CaptureApp::SequencerRunEnabled() const {
    return sequencer_.Running() || owner_.MayUse(CameraActivity::Sequence);
}

std::string CaptureApp::SaveSequenceImage() {
    saver_.SaveSequenceImage();
    return saver_.LastSavedName();
}

void CaptureApp::AdvanceSequenceNumber(int count) {
    int& number = saver_.Settings().sequenceNumber;
    number = static_cast<int>(std::clamp(static_cast<long long>(number) + count,
                                         static_cast<long long>(INT_MIN),
                                         static_cast<long long>(INT_MAX)));
}

void CaptureApp::SequencerStateChanged() {
    ui_.RefreshSequencerDialog();
    ui_.EnableSequencerRun(SequencerRunEnabled());
}

}  // namespace zorvane
