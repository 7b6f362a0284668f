#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/AppUi.h"
#include "app/CommandTable.h"
#include "app/GuiderService.h"
#include "app/SequenceGuider.h"
#include "automation/AutomationServer.h"
#include "automation/ServerDirectory.h"
#include "camera/CameraConnection.h"
#include "camera/CameraLibrary.h"
#include "camera/CameraOwner.h"
#include "camera/CoolerControl.h"
#include "camera/ExposureCycle.h"
#include "camera/ExposureSettings.h"
#include "core/EventPoster.h"
#include "core/Prompts.h"
#include "core/SleepInhibitor.h"
#include "core/TimerService.h"
#include "core/Version.h"
#include "files/ImageSaver.h"
#include "files/SaverHost.h"
#include "filterwheel/FilterDialogModel.h"
#include "filterwheel/FilterWheel.h"
#include "guiding/GuidingEngine.h"
#include "platform/ShellProcess.h"
#include "platform/WorkerThread.h"
#include "sequencer/SequenceEngine.h"
#include "sequencer/SequenceHost.h"
#include "sequencer/SequenceModel.h"
#include "telescope/TelescopeLink.h"
#include "view/ImageViewHost.h"

namespace zorvane {

class ImageView;

// Where and whether a modeless dialog is: the core keeps these facts because the program's
// rules depend on them (settings are written only for dialogs that exist, check marks follow
// visibility, dialogs open at start-up when they were open at exit).
struct ModelessDialogState {
    bool exists = false;
    bool visible = false;
    int left = -10000;  // -10000 = no stored position
    int top = -10000;
    bool wasOpen = false;  // "Show" at the last exit: reopen at start-up
    bool HasPosition() const { return left != -10000; }
};

enum class AppDialog { Exposure, Cooler, Tracking, Sequencer, FilterWheel };

// Things the start-up needs that differ between the program and its tests.
struct AppOptions {
    std::vector<std::string> librarySearchDirs;  // empty = beside the executable first
    std::string machineConfigPath;               // empty = the machine-wide default
    std::string settingsPath;                    // empty = the user's configuration folder
    // Keeps the desktop session from suspending while exposures run; none = nothing held.
    SleepInhibitor* sleepInhibitor = nullptr;
    Clock* clock = nullptr;  // null = the system's monotonic clock
    // Where the wheel and the mount are connected and let go; null = threads of the program's
    // own, one for each device.
    BackgroundWork* deviceWork = nullptr;
    // Other programs may connect to the guider (the program; tests that want a socket).
    bool guiderSocket = false;
};

// The toolkit-free core of the main window: it owns the camera connection, the exposure cycle,
// the image view's state, the cooler and the rest of the program's state, and carries out the
// main window's commands. The Qt main window shows it and routes user input to it.
class CaptureApp : public ImageViewHost,
                   public FilterDialogHost,
                   private ExposureHost,
                   private SaverHost,
                   private GuidingHost,
                   private SequenceHost {
public:
    static constexpr const char* kTitle = "Zorvane Capture";
    static constexpr const char* kVersionText = "Version " ZORVANE_VERSION_FULL;
    static constexpr int kConnectAttempts = 4;
    // The title names the camera in use, so that nobody images a night on one they did not
    // mean ("Zorvane Capture - SIM-1392M (simulated)").
    std::string WindowTitle() { return kTitle + (" - " + ConnectedCameraName(lib_, camera_)); }

    CaptureApp(TimerService& timers, EventPoster& poster, Prompts& prompts, AppUi& ui,
               AppOptions options = {});
    ~CaptureApp() override;
    CaptureApp(const CaptureApp&) = delete;
    CaptureApp& operator=(const CaptureApp&) = delete;

    // ---- life cycle ----
    // The main window's construction: black-level switch, camera choice, set-up dialog, the
    // connection loop (Abort ends the process through AppUi::ExitProcessNow), defaults.
    void Construct();
    // Window creation after the view exists: camera query, state reset, the settings load (the
    // caller's), then the four camera settings that start the same way every time.
    void OnCreate(const std::function<void()>& loadSettings = {});
    // Dialogs to reopen at start-up, in order (the display dialog is the view's).
    std::vector<AppDialog> DialogsToReopen() const;
    // Destruction after the dialogs are gone: free the frame, disconnect, release the manager's
    // locks, free the library.
    void Shutdown();

    // ---- commands ----
    // Runs a main-window command handled by the core; false when the id is not one of them
    // (dialog toggles are the window's, using the placements below).
    bool ExecuteCommand(int id) { return commands_.Execute(id); }
    // Enable / check / text of any main-window command id.
    CommandUi GetCommandUi(int id) { return commands_.State(id); }
    void OnTimer(int id);

    void Snapshot() { cycle_.Snapshot(); }
    void ToggleLoop() { cycle_.ToggleLoop(); }
    void ToggleSubframeMode();
    void ToggleRotate() { exposure_.rotate180 = !exposure_.rotate180; }
    void ToggleLock();
    void ToggleAutosave();
    void ConnectOrDisconnect();
    void QueryCamera();

    // ---- status bar ----
    std::string CameraStatePaneText();
    bool CameraStatePaneActive();
    std::string SavedPaneText() const;
    std::string ZoomPaneText() const;
    std::string ReadoutPaneText() const;
    bool ReadoutPaneEnabled() const { return readoutX_ >= 0; }
    // True once when USB errors are reported and no USB error dialog is open: the window then
    // beeps and shows "USB Error!"; it reports the dialog closed with UsbErrorDialogClosed().
    bool CheckUsbError();
    void UsbErrorDialogClosed() { usbErrorDialogOpen_ = false; }

    // ---- camera information and about box ----
    std::string InfoModelText() const;         // "Model: %s"
    std::string InfoManufacturerText() const;  // "Manufacturer: %s"
    std::string InfoSerialText() const;        // "Serial: %s"
    std::string InfoProtocolText() const;      // "Protocol ver %d.%02d"
    const std::string& LibraryVersionText() const { return lib_.LibraryVersionText(); }
    std::string FilterWheelVersionText() { return wheel_.GetVersionText(); }

    // ---- filter wheel ----
    FilterWheel& Wheel() { return wheel_; }
    // Connect (quietly or not); once connected, take the wheel's number of positions and hand
    // it to the sequencer's filter ranges, and show the wheel in its dialog. Quiet at start-up
    // and at a sequence start that finds no wheel in use.
    void ConnectFilterWheel(bool quiet, std::function<void(bool)> done = {},
                            int settleMs = 0) override;
    void DisconnectFilterWheel() override;
    bool IsFilterWheelConnected() override { return wheel_.IsConnected(); }
    bool FilterWheelConnecting() override { return wheel_.Connecting(); }
    void MoveFilterWheel(int position, std::function<void(int)> done) override {
        wheel_.MoveAndWait(position, std::move(done));
    }
    int FilterPosition() override { return wheel_.GetPosition(); }
    // The wheel's count, which also becomes the main window's number of positions; its filter
    // names go to the sequence's lines.
    int FilterPositionCount() override;
    std::string FilterName(int position) override { return sequence_.FilterName(position); }

    // ---- state the window reads ----
    bool IsConnected();
    bool SequenceRunning() const { return sequencer_.Running(); }
    bool SubframeMode() const { return subframeMode_; }
    bool SubframeIsFullSensor() const;
    // Which activity holds the camera.
    CameraOwner& Owner() override { return owner_; }
    // A command from the user for `who`: true when it may have the camera, otherwise refused
    // with a message that names the activity holding it.
    bool AskForCamera(CameraActivity who) { return owner_.MayUseOrTell(who, prompts_); }
    const std::string& LastSavedName() const { return saver_.LastSavedName(); }
    ModelessDialogState& Placement(AppDialog d) { return dialogs_[static_cast<int>(d)]; }
    const ModelessDialogState& Placement(AppDialog d) const {
        return dialogs_[static_cast<int>(d)];
    }

    CameraLibrary& Library() { return lib_; }
    CameraConnection& Camera() { return camera_; }
    ExposureSettings& Exposure() { return exposure_; }
    ExposureCycle& Cycle() { return cycle_; }
    ImageView& View() { return *view_; }
    CoolerControl& Cooler() { return cooler_; }
    ImageSaver& Saver() { return saver_; }
    GuidingEngine& Guider() { return guider_; }
    GuiderService& GuiderServer() { return *guiderService_; }
    SequenceModel& Sequence() { return sequence_; }
    SequenceEngine& Sequencer() { return sequencer_; }
    SequenceGuider& SequenceGuiding() { return *sequenceGuider_; }
    const std::string& StartTimeText() const { return startTimeText_; }
    bool BlackLevelSwitch() const { return blackLevelSwitch_; }

    // Persisted state kept by the main window.
    HeaderTexts& Header() { return header_; }
    FocusSettings& Focus() { return focus_; }
    GuidingSettings& Guiding() { return guiding_; }
    WindowPlacement& Window() { return window_; }
    std::array<QuickPreset, 8>& Presets() { return presets_; }
    FilterNames& Filters() { return filters_; }
    TelescopeLink& Telescope() { return telescope_; }

    // ---- sequencer ----
    // The sequencer dialog is being created: the filter spins get the main window's number of
    // filter positions, the binning lists the camera's limit, and the sequence is read from
    // the settings file.
    void PrepareSequencerDialog(const std::string& settingsPath);
    // Run is usable unless another activity holds the camera; while a sequence runs it reads
    // "Stop" and stays usable.
    bool SequencerRunEnabled() const;

    // ---- ImageViewHost ----
    void AutoExposureAdjust(int low, int high) override { cycle_.AutoExposureAdjust(low, high); }
    void SetSubframe(const Rect& sensorRect) override;
    bool IsExposureLocked() const override { return exposure_.lockExposure; }
    void OnPixelReadout(int x, int y, int value) override;
    void OnStarPicked() override { guider_.OnStarPicked(); }
    bool MeasureStar() override { return guider_.Measure(); }
    int MeasureRadius() const override { return focus_.measureRadius; }
    int CameraProtocol() const override { return camera_.properties.protocol; }

private:
    // ---- ExposureHost ----
    void MakeExposureTimeText() override;
    void SetFrame(FrameBuffer& pixels, FrameHistogram& counts, const FrameGeometry& g, bool turned,
                  bool preview) override;
    void OnNewFrameShown() override;
    bool AutosaveEnabled() const override { return saver_.Settings().autosave; }
    void AutosaveImage() override;
    bool IsAutoguideOn() const override { return guider_.AutoguideOn(); }
    bool GuideStep() override { return guider_.GuideStep(); }
    void EnableSequencerRun(bool enable) override;
    void ShowAutoExposure(float seconds) override;
    int RaiseThreadPriority() override;
    void RestoreThreadPriority(int saved) override;
    void KeepSystemAwake(bool on) override;

    // ---- SaverHost ----
    std::optional<FramePixels> CurrentFrame() const override;
    void AddHeaderKeywords(KeywordSink& sink) override;
    bool IsLooping() const override { return cycle_.Looping(); }
    void StopLoop() override;
    void RefreshExposureDialog() override { ui_.RefreshExposureDialog(); }
    void StopSequence() override { sequencer_.StopSequence(); }
    std::string CurrentLineSuffix() const override { return sequencer_.CurrentLineSuffix(); }
    int CurrentRepeatIndex() const override { return sequencer_.CurrentRepeatIndex(); }

    // ---- SequenceHost ----
    std::string SaveSequenceImage() override;
    void AdvanceSequenceNumber(int count) override;
    int SequenceNumber() const override { return saver_.Settings().sequenceNumber; }
    void SequencerStateChanged() override;

    // ---- GuidingHost ----
    const ImageFrame& ShownFrame() const override;
    Point TrackedStar() const override;
    void SetTrackedStar(Point p) override;
    void SetGuideTargetMarker(Point p) override;
    void RedrawView() override { ui_.RepaintView(false); }
    void ShowTrackingDialog(bool show) override;
    void RefreshTrackingDialog() override { ui_.RefreshTrackingDialog(); }
    void RefreshDeviationCharts(bool now) override { ui_.RefreshDeviationCharts(now); }
    std::string TelescopeId() const override { return telescope_.ScopeId(); }
    bool FramesRotated() const override { return exposure_.rotate180; }
    Rect SensorRect() const override;
    Rect SubframeRect() const override;
    void SetSelection(const Rect& r) override;
    void StartFrame() override { cycle_.SnapshotFor(CameraActivity::Calibration); }
    unsigned FrameTimeMs() const override;
    void SendCameraPortPulse(int direction, unsigned ms) override;
    void GuideStepEnded() override { cycle_.GuideStepEnded(); }
    void SetCalibrationTrack(const std::vector<Point>& track) override;
    void ShowCalibrationProgress(bool show) override { ui_.ShowCalibrationProgress(show); }
    void SetCalibrationProgress(int percent) override { ui_.SetCalibrationProgress(percent); }
    void ShowGuideStarLost(bool show) override { ui_.ShowGuideStarLost(show); }

    void ConnectAtStartUp();
    void SetDefaults();
    void ResetCreationState();
    void DisconnectCamera();

    TimerService& timers_;
    EventPoster& poster_;
    Prompts& prompts_;
    AppUi& ui_;
    AppOptions options_;

    CameraLibrary lib_;
    CameraConnection camera_;
    int device_ = -1;
    bool blackLevelSwitch_ = true;
    CameraOwner owner_;
    CommandTable commands_{*this};
    ExposureSettings exposure_;
    ExposureCycle cycle_;
    std::unique_ptr<ImageView> view_;
    CoolerControl cooler_;
    ImageSaver saver_;
    std::unique_ptr<AutomationTransport> automation_;
    // The program's own servers (the device chooser) in front of the INDI devices.
    ServerDirectory servers_;
    // Where the wheel and the mount are connected and let go, each in order and apart from the
    // window; they finish what they were given before the transport goes.
    WorkerThread wheelWork_{poster_};
    WorkerThread telescopeWork_{poster_};
    FilterWheel wheel_;
    TelescopeLink telescope_;
    SequenceModel sequence_;
    ShellProcess shell_;
    SequenceEngine sequencer_;
    struct SequencerWheel final : FilterWheelControl {
        explicit SequencerWheel(CaptureApp& owner) : app(owner) {}
        void ConnectQuietly(std::function<void(bool)> done) override;
        bool IsConnected() override;
        bool InUse() override;
        int GetPositionCount() override;
        bool SetPosition(int position) override;
        void MoveAndWait(int position, std::function<void(bool)> done) override;
        CaptureApp& app;
    } sequencerWheel_{*this};

    std::array<ModelessDialogState, 5> dialogs_{};
    bool usbErrorDialogOpen_ = false;
    bool subframeMode_ = false;
    int readoutX_ = -1, readoutY_ = -1, readoutValue_ = -1;
    HeaderTexts header_;
    FocusSettings focus_;
    GuidingSettings guiding_;
    WindowPlacement window_;
    std::array<QuickPreset, 8> presets_{};
    FilterNames filters_;
    std::string startTimeText_;
    // Start and length of the exposure on show, taken when its frame arrived: headers describe
    // the saved frame even while the next exposure runs.
    std::string pendingStartText_;
    float pendingExposure_ = 0.0f;
    float frameExposure_ = 0.0f;
    GuidingEngine guider_;
    // Other programs' way to the guider; made last, from the members above.
    std::unique_ptr<GuiderService> guiderService_ =
        std::make_unique<GuiderService>(*this, timers_, prompts_, ui_, options_);
    // The sequencer's way to a guider (this program's other copy, or any that speaks the
    // guiding event protocol).
    std::unique_ptr<SequenceGuider> sequenceGuider_;
};

}  // namespace zorvane
