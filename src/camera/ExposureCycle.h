#pragma once

#include <zorvane/camera_api.h>

#include <cstdint>
#include <memory>
#include <string>

#include "camera/CameraConnection.h"
#include "camera/CameraLibrary.h"
#include "camera/CameraOwner.h"
#include "camera/ExposureSettings.h"
#include "core/EventPoster.h"
#include "core/Prompts.h"
#include "core/TimerService.h"
#include "frame/FrameBuffer.h"
#include "frame/FrameHistogram.h"

namespace zorvane {

// What the exposure cycle needs from the rest of the main window: the places a downloaded
// frame goes, and the few system services it uses.
class ExposureHost {
public:
    virtual ~ExposureHost() = default;
    // Records the start time of the exposure that just ended, for the file header.
    virtual void MakeExposureTimeText() = 0;
    // Hands the downloaded frame to the image view: its pixels in `pixels` (at least width ×
    // height) and the histogram of its interior in `counts`. The view takes both by exchange
    // and leaves its previous ones there for the next download.
    virtual void SetFrame(FrameBuffer& pixels, FrameHistogram& counts,
                          const FrameGeometry& geometry, bool turned, bool preview) = 0;
    // A new frame is on show: it is not saved yet; repaint the view.
    virtual void OnNewFrameShown() = 0;
    virtual bool AutosaveEnabled() const = 0;
    virtual void AutosaveImage() = 0;
    virtual bool IsAutoguideOn() const = 0;
    // Autoguiding's step on the frame just shown: true when it is over on return; false while
    // its pulses through the mount run, and ExposureCycle::GuideStepEnded follows.
    virtual bool GuideStep() = 0;
    // The sequencer dialog's "Run" button, when that dialog exists.
    virtual void EnableSequencerRun(bool enable) = 0;
    // Auto exposure chose a new time: show it in the exposure dialog when it exists.
    virtual void ShowAutoExposure(float seconds) = 0;
    // Thread priority around a loop.
    virtual int RaiseThreadPriority() = 0;  // returns the priority to restore
    virtual void RestoreThreadPriority(int saved) = 0;
    // True when exposures start running (an exposure or a loop), false when they have all
    // stopped: the machine must not suspend in between.
    virtual void KeepSystemAwake(bool on) = 0;
};

// Single and looped exposures: pushing the settings to the camera, watching it on the timers (or
// waiting for the library's frame-ready message in high-speed mode) and EndShot, which
// downloads, turns and hands over each frame and starts the next one of a loop.
class ExposureCycle {
public:
    // Frames larger than this are refused as nonsense from the camera library.
    static constexpr int64_t kMaxFramePixels = int64_t{1} << 28;
    static constexpr int32_t kMaxFrameSide = 1 << 17;

    static constexpr const char* kMessageCaption = "Zorvane Capture";
    static constexpr const char* kEmptyFrameText =
        "The subframe is smaller than the binning: the frame would be empty.\n"
        "Choose a larger subframe or a smaller binning.";
    static constexpr const char* kUnusableFrameText =
        "The camera delivered an unusable frame; the exposures have stopped.\n"
        "Check the subframe and binning settings.";
    // Above the camera library's own account of a failure that was not the frame's.
    static constexpr const char* kNoFrameText =
        "The camera did not deliver the frame; the exposures have stopped.";
    static constexpr const char* kCameraLostText =
        "Lost connection to Camera\nThe exposure has stopped. Use Connect to reconnect.";
    static constexpr const char* kCameraLostInLoopText =
        "Lost connection to Camera\nThe loop of exposures has stopped. Connect to the camera "
        "again and the loop goes on.";

    // The exposures take the camera from `owner` while they run and give it back when they end.
    ExposureCycle(CameraLibrary& lib, CameraConnection& camera, ExposureSettings& settings,
                  TimerService& timers, EventPoster& poster, Prompts& prompts, ExposureHost& host,
                  CameraOwner& owner);
    ~ExposureCycle();
    ExposureCycle(const ExposureCycle&) = delete;
    ExposureCycle& operator=(const ExposureCycle&) = delete;

    // Commands. Refused, with a message naming the activity, while another holds the camera.
    void Snapshot() { SnapshotFor(CameraActivity::Exposures); }
    void ToggleLoop();
    // Snapshot for an activity that holds the camera and takes its frames through EndShot
    // (calibration).
    void SnapshotFor(CameraActivity who);
    // Timers 1 and 2; false for other ids.
    bool OnTimer(int id);
    // The library's frame-ready message.
    void OnFrameReadyMessage();

    // Steps
    void PrepareToExpose();
    void StartExposure();
    // Pushes the exposure settings to the camera with this binning, and with the amplifier
    // switched off during the exposure when `exposure` is longer than 2.5 s (outside preview).
    // The sequencer passes each line's binning and exposure here.
    void PrepareCamera(int32_t binX, int32_t binY, float exposure);
    // Starts an exposure of `seconds` on the prepared camera, after dropping any frame left in
    // the camera from an earlier exposure (the sequencer's start).
    void StartFreshExposure(float seconds);
    // One poll of the exposure started last: true when the frame it gave is waiting (a ready
    // flag left from an earlier frame does not count); otherwise a poll tick is counted.
    bool PollFreshFrame();
    // Downloads the waiting frame and hands it to the view (as a preview frame when this
    // exposure started in preview); false when there is no frame to show.
    bool DownloadAndShowFrame();
    void EndShot();
    void AutoExposureAdjust(int low, int high);
    // Takes the settings edited by the exposure dialog: dark mode goes to the camera at once,
    // the binning is limited to the camera's maxima, FIFO needs precharge mode 1, exposures
    // below 1 ms become 1 ms, and a running loop re-prepares before its next exposure.
    void ApplyExposureSettings(const ExposureSettings& edited);
    // Subframe from a sensor rectangle (x, y, width, height after clipping to the sensor; an
    // empty intersection means the full sensor). Does not mark the settings changed.
    void SetSubframe(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // Sets the state a fresh window starts with.
    void ResetState();
    // Frees the download buffer (on disconnect).
    void FreeFrame();
    // Ends every exposure: the loop, a running exposure, the timers and the raised priority.
    void Stop();
    // The poll found the camera gone: everything stops, and the user is told by the exposures or
    // by the activity whose frame this was.
    void OnCameraLost();
    // After a reconnect: a loop the lost camera stopped goes on.
    void ResumeAfterReconnect();
    // The guide step of the last frame has ended: a loop that waited for it goes on, so that
    // no exposure runs while the mount still moves.
    void GuideStepEnded();
    bool ResumesAfterReconnect() const { return resumeAfterReconnect_; }
    // False when the subframe is narrower or lower than the binning: such a frame is empty.
    bool SettingsGiveAFrame() const;
    // The same for the subframe with another binning (a sequence line's).
    bool GivesAFrame(int32_t binX, int32_t binY) const;

    // State
    bool Exposing() const { return exposing_; }
    bool Looping() const { return looping_; }
    bool HighSpeed() const { return highSpeed_; }
    bool StopRequested() const { return stopRequested_; }
    bool SettingsChanged() const { return settingsChanged_; }
    bool FrameTurned() const { return frameTurned_; }
    bool FrameIsPreview() const { return frameIsPreview_; }
    int PollCount() const { return pollCount_; }
    // Clears looping without touching the camera (quick presets do this before they start).
    void ClearLooping();
    // The sequencer shares the exposing flag and the poll count.
    void SetExposing(bool on) {
        exposing_ = on;
        UpdateAwake();
    }
    void ResetPollCount() { pollCount_ = 0; }
    void SetPreviewAtStart(bool on) { previewAtStart_ = on; }

    // The place on the sensor of the frame handed over last.
    const FrameGeometry& Geometry() const { return geometry_; }
    FrameGeometry& MutableGeometry() { return geometry_; }
    void SetFrameTurned(bool turned) { frameTurned_ = turned; }

    // Downloads the waiting frame into the download buffer, turned by 180° unless rotate180 is
    // on, counting its histogram on the way; the frame on show is not touched until it is handed
    // over. False when the library has no frame or reports geometry that cannot be a frame; in
    // the second case LastFrameUnusable() is true.
    bool DownloadFrame();
    bool LastFrameUnusable() const { return frameUnusable_; }

private:
    // Which sign shows that the library's ready flag is about the exposure now running.
    enum class Freshness { Unknown, SeenBusy, SeenLow };

    void Poll();
    bool ReadyFrameIsFresh();
    // Starts an exposure of `seconds` on the prepared camera: exposing, and whether this
    // exposure reads out in preview.
    void StartExposureOf(float seconds);
    // One poll tick without a frame: every 512th clears the camera's vertical registers while
    // more than 15 s remain.
    void CountPollTick();
    void ShowFrame();
    // Snapshot's start of an exposure; keepFinishedFrame during a quick restart, whose frame is
    // fetched after the next exposure has started.
    void BeginExposure(bool keepFinishedFrame);
    void StopWithMessage(const std::string& text);
    void KillPoll();
    void UpdateAwake();
    void RequestFrameMessage(bool on);
    static void PostFromLibrary(void* context, uint32_t message, uintptr_t wParam, intptr_t lParam);

    CameraLibrary& lib_;
    CameraConnection& camera_;
    ExposureSettings& settings_;
    TimerService& timers_;
    EventPoster& poster_;
    Prompts& prompts_;
    ExposureHost& host_;
    CameraOwner& owner_;

    bool exposing_ = false;
    bool looping_ = false;
    bool highSpeed_ = false;
    bool stopRequested_ = false;
    bool settingsChanged_ = false;
    int pollCount_ = 0;
    float exposureSeconds_ = 0.0f;  // the length of the exposure started last
    bool previewAtStart_ = false;
    bool frameIsPreview_ = false;
    bool frameTurned_ = false;
    int savedPriority_ = 0;
    Freshness freshness_ = Freshness::Unknown;
    bool frameUnusable_ = false;
    bool resumeAfterReconnect_ = false;
    bool awake_ = false;             // what KeepSystemAwake was told last
    bool guideStepRunning_ = false;  // the loop's next exposure waits for the guide step
    unsigned nextDelayMs_ = 0;       // the delay it then waits
    bool watchingOnly_ = false;      // the poll timer only watches the connection (high speed)

    // The frame being downloaded; after the hand-over it holds the view's previous pixels.
    FrameBuffer download_;
    FrameHistogram counts_;
    FrameGeometry downloaded_;
    bool downloadTurned_ = false;
    FrameGeometry geometry_;
    ZorvanePostTarget postTarget_{};
    // Messages queued for the GUI thread check this before they touch the cycle.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace zorvane
