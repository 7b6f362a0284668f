#include "camera/ExposureCycle.h"

#include <algorithm>
#include <memory>
#include <string>

#include "core/TimerIds.h"

namespace zorvane {

namespace {
// Long exposures: below this remaining time the camera's vertical registers are left alone.
constexpr float kClearVRegsAbove = 15.0f;
constexpr int kPollsPerWakeCheck = 512;
constexpr unsigned kResumeAfterAbortMs = 500;
// A library whose ready flag never drops and whose state never shows the camera at work is
// trusted again once this much longer than the exposure has passed (in 1-ms poll ticks).
constexpr double kTrustReadyAfterMs = 10000.0;
// A high-speed loop waits for the library's messages, not on the poll; the poll timer then only
// checks this often that the camera is still there.
constexpr unsigned kHighSpeedWatchMs = 500;

bool CameraBusy(int32_t state) {
    return state == ZORVANE_STATE_WAITING || state == ZORVANE_STATE_EXPOSING ||
           state == ZORVANE_STATE_DOWNLOADING || state == ZORVANE_STATE_FLUSHING;
}
}  // namespace

ExposureCycle::ExposureCycle(CameraLibrary& lib, CameraConnection& camera,
                             ExposureSettings& settings, TimerService& timers, EventPoster& poster,
                             Prompts& prompts, ExposureHost& host, CameraOwner& owner)
    : lib_(lib),
      camera_(camera),
      settings_(settings),
      timers_(timers),
      poster_(poster),
      prompts_(prompts),
      host_(host),
      owner_(owner) {
    postTarget_.post = &ExposureCycle::PostFromLibrary;
    postTarget_.context = this;
}

ExposureCycle::~ExposureCycle() {
    // The library must not post to a target that is going away.
    if (camera_.handle) lib_.ZorvaneExposureReadyCallback(camera_.handle, nullptr, 0, 0, 0);
    *alive_ = false;
}

void ExposureCycle::ResetState() {
    exposing_ = false;
    resumeAfterReconnect_ = false;
    looping_ = false;
    highSpeed_ = false;
    stopRequested_ = false;
    settingsChanged_ = false;
    guideStepRunning_ = false;
    pollCount_ = 0;
}

void ExposureCycle::FreeFrame() {
    download_.Free();
}

// Runs on the library's thread: only queue the message for the GUI thread.
void ExposureCycle::PostFromLibrary(void* context, uint32_t message, uintptr_t, intptr_t) {
    auto* self = static_cast<ExposureCycle*>(context);
    if (message != ZORVANE_MSG_FRAME_READY) return;
    std::weak_ptr<bool> alive = self->alive_;
    self->poster_.PostToGuiThread([self, alive] {
        auto token = alive.lock();
        if (token && *token) self->OnFrameReadyMessage();
    });
}

void ExposureCycle::RequestFrameMessage(bool on) {
    if (on)
        lib_.ZorvaneExposureReadyCallback(camera_.handle, &postTarget_, ZORVANE_MSG_FRAME_READY, 0,
                                          0);
    else
        lib_.ZorvaneExposureReadyCallback(camera_.handle, nullptr, 0, 0, 0);
}

void ExposureCycle::PrepareToExpose() {
    stopRequested_ = false;
    PrepareCamera(settings_.binX, settings_.EffectiveBinY(), settings_.exposure);
}

void ExposureCycle::PrepareCamera(int32_t binX, int32_t binY, float exposure) {
    ZorvaneHandle h = camera_.handle;
    const CameraProperties& p = camera_.properties;

    // While the program turns frames, the camera's subframe is the mirror of the one the user
    // sees.
    if (!settings_.rotate180)
        lib_.ZorvaneSubframePos(h, p.pixelsX - settings_.subX - settings_.subWidth,
                                p.pixelsY - settings_.subY - settings_.subHeight);
    else
        lib_.ZorvaneSubframePos(h, settings_.subX, settings_.subY);
    lib_.ZorvaneSubframeSize(h, settings_.subWidth, settings_.subHeight);

    lib_.ZorvaneBin(h, binX, binY);
    lib_.ZorvaneSetAmplifierSwitched(h, exposure > 2.5f && !settings_.preview);
    lib_.ZorvanePrechargeMode(h, settings_.prechargeMode);
    lib_.ZorvaneFIFO(h, settings_.fifo);
    lib_.ZorvaneHighPriority(h, settings_.highPriority);

    int32_t processing = lib_.ZorvaneGetProcessing(h) & ~2;
    if (settings_.vbe) processing |= 2;
    lib_.ZorvaneSetProcessing(h, processing);

    lib_.ZorvaneTriggeredExposure(h, settings_.triggered);
    lib_.ZorvaneSetPreview(h, settings_.preview);
    lib_.ZorvaneSetSubSample(h, settings_.subSample);
    RequestFrameMessage(highSpeed_);
}

void ExposureCycle::StartExposure() {
    if (!looping_) PrepareToExpose();
    StartExposureOf(settings_.exposure);
}

void ExposureCycle::StartFreshExposure(float seconds) {
    // A frame left in the camera from an earlier exposure must not be taken for this one.
    if (lib_.ZorvaneImageReady(camera_.handle)) lib_.ZorvaneImageBuffer(camera_.handle);
    StartExposureOf(seconds);
}

void ExposureCycle::StartExposureOf(float seconds) {
    exposing_ = true;
    previewAtStart_ = settings_.preview;
    exposureSeconds_ = seconds;
    lib_.ZorvaneStartExposure(camera_.handle, seconds);
    // A ready flag that is down now can only rise for this exposure. One that is up may still be
    // about an earlier frame until the camera shows it has taken this exposure up.
    freshness_ = lib_.ZorvaneImageReady(camera_.handle) ? Freshness::Unknown : Freshness::SeenLow;
    UpdateAwake();
}

bool ExposureCycle::SettingsGiveAFrame() const {
    return GivesAFrame(settings_.binX, settings_.EffectiveBinY());
}

bool ExposureCycle::GivesAFrame(int32_t binX, int32_t binY) const {
    const int32_t step = settings_.subSample ? 2 : 1;
    const int32_t stepX = std::max(binX, 1) * step;
    const int32_t stepY = std::max(binY, 1) * step;
    return settings_.subWidth / stepX >= 1 && settings_.subHeight / stepY >= 1;
}

void ExposureCycle::Stop() {
    const bool wasLooping = looping_;
    timers_.KillTimer(kTimerLoopNext);
    KillPoll();
    if (wasLooping) host_.RestoreThreadPriority(savedPriority_);
    if (camera_.handle && (exposing_ || wasLooping)) {
        lib_.ZorvaneAbortExposure(camera_.handle);
        if (highSpeed_) RequestFrameMessage(false);
    }
    looping_ = false;
    highSpeed_ = false;
    exposing_ = false;
    stopRequested_ = false;
    guideStepRunning_ = false;
    UpdateAwake();
    host_.EnableSequencerRun(true);
}

void ExposureCycle::StopWithMessage(const std::string& text) {
    Stop();
    prompts_.MessageBox(text, kMessageCaption, MessageButtons::Ok, MessageIcon::Exclamation);
}

void ExposureCycle::OnCameraLost() {
    const bool wasLooping = looping_;
    const bool ours = owner_.Holds(CameraActivity::Exposures);
    Stop();
    // A frame taken for another activity: that activity ends and says so in its own words.
    if (!ours) return owner_.TakeAway(CameraLoss::Lost);
    resumeAfterReconnect_ = wasLooping;
    prompts_.Beep(BeepKind::Exclamation);
    prompts_.MessageBox(wasLooping ? kCameraLostInLoopText : kCameraLostText, kMessageCaption,
                        MessageButtons::Ok, MessageIcon::Exclamation);
}

void ExposureCycle::ResumeAfterReconnect() {
    if (!resumeAfterReconnect_) return;
    resumeAfterReconnect_ = false;
    if (!looping_ && !exposing_) ToggleLoop();
}

void ExposureCycle::GuideStepEnded() {
    if (!guideStepRunning_) return;
    guideStepRunning_ = false;
    if (looping_ && !exposing_) timers_.SetTimer(kTimerLoopNext, nextDelayMs_);
}

void ExposureCycle::ClearLooping() {
    if (looping_) host_.RestoreThreadPriority(savedPriority_);
    if (highSpeed_) {
        // The exposure still running ends through the poll, as a single exposure does.
        RequestFrameMessage(false);
        KillPoll();
        if (exposing_) timers_.SetTimer(kTimerPoll, 1);
    }
    looping_ = false;
    highSpeed_ = false;
    resumeAfterReconnect_ = false;
    UpdateAwake();
}

void ExposureCycle::UpdateAwake() {
    const bool busy = exposing_ || looping_;
    // The camera stays the exposures' until they have all ended.
    if (!busy) owner_.Release(CameraActivity::Exposures);
    if (busy == awake_) return;
    awake_ = busy;
    host_.KeepSystemAwake(busy);
}

void ExposureCycle::BeginExposure(bool keepFinishedFrame) {
    if (!SettingsGiveAFrame()) {
        StopWithMessage(kEmptyFrameText);
        return;
    }
    // A frame the camera finished for an exposure that was aborted or whose loop was switched
    // off would otherwise be taken for the new one. Only the frame a quick restart is about to
    // fetch stays.
    if (!keepFinishedFrame && lib_.ZorvaneImageReady(camera_.handle))
        lib_.ZorvaneImageBuffer(camera_.handle);
    host_.EnableSequencerRun(false);
    StartExposure();
    if (!highSpeed_) {
        watchingOnly_ = false;
        timers_.SetTimer(kTimerPoll, 1);
    } else if (!watchingOnly_) {
        // Set once per loop: setting it again for every frame would keep it from ever firing.
        timers_.SetTimer(kTimerPoll, kHighSpeedWatchMs);
        watchingOnly_ = true;
    }
}

void ExposureCycle::KillPoll() {
    timers_.KillTimer(kTimerPoll);
    watchingOnly_ = false;
}

void ExposureCycle::SnapshotFor(CameraActivity who) {
    if (!owner_.MayUseOrTell(who, prompts_)) return;
    if (exposing_) {
        if (!prompts_.IsShiftHeld()) {
            exposing_ = false;
            KillPoll();
            lib_.ZorvaneAbortExposure(camera_.handle);
            if (looping_) timers_.SetTimer(kTimerLoopNext, kResumeAfterAbortMs);
        } else {
            // Ends the exposure early; its frame is read out and arrives as usual.
            lib_.ZorvaneStopExposure(camera_.handle);
        }
        UpdateAwake();
        host_.EnableSequencerRun(true);
        return;
    }
    resumeAfterReconnect_ = false;
    owner_.Acquire(who);
    BeginExposure(false);
}

void ExposureCycle::ToggleLoop() {
    if (!looping_ && !owner_.MayUseOrTell(CameraActivity::Exposures, prompts_)) return;
    looping_ = !looping_;
    highSpeed_ = looping_ && settings_.preview && settings_.exposure < 0.1f;
    resumeAfterReconnect_ = false;
    if (looping_) {
        owner_.Acquire(CameraActivity::Exposures);
        stopRequested_ = false;
        savedPriority_ = host_.RaiseThreadPriority();
        if (exposing_) {
            // A snapshot is running: the loop goes on from its frame. The settings go to the
            // camera once that frame is in, not in the middle of its exposure.
            settingsChanged_ = true;
        } else {
            PrepareToExpose();
            timers_.SetTimer(kTimerLoopNext, 1);
        }
    } else {
        stopRequested_ = true;
        host_.RestoreThreadPriority(savedPriority_);
        timers_.KillTimer(kTimerLoopNext);
        KillPoll();
        lib_.ZorvaneAbortExposure(camera_.handle);
        RequestFrameMessage(false);
        exposing_ = false;
    }
    UpdateAwake();
    host_.EnableSequencerRun(!looping_);
}

bool ExposureCycle::OnTimer(int id) {
    switch (id) {
        case kTimerLoopNext:
            timers_.KillTimer(kTimerLoopNext);
            pollCount_ = 0;
            Snapshot();
            return true;
        case kTimerPoll:
            Poll();
            return true;
        default:
            return false;
    }
}

bool ExposureCycle::ReadyFrameIsFresh() {
    if (freshness_ == Freshness::SeenLow) return true;
    // The flag has been up since the start: it counts only once the camera has been seen at
    // work on this exposure and has finished it.
    if (CameraBusy(lib_.ZorvaneCameraState(camera_.handle))) {
        freshness_ = Freshness::SeenBusy;
        return false;
    }
    if (freshness_ == Freshness::SeenBusy) return true;
    return pollCount_ > exposureSeconds_ * 1000.0 + kTrustReadyAfterMs;
}

void ExposureCycle::Poll() {
    if (watchingOnly_) {
        if (!camera_.IsConnected(lib_)) OnCameraLost();
        return;
    }
    const bool ready = lib_.ZorvaneImageReady(camera_.handle) != 0;
    if (ready && ReadyFrameIsFresh()) {
        KillPoll();
        EndShot();
        return;
    }
    if (!ready) {
        freshness_ = Freshness::SeenLow;
        // A camera that dropped off the bus never reports a frame: stop instead of waiting.
        if (!camera_.IsConnected(lib_)) {
            OnCameraLost();
            return;
        }
    }
    CountPollTick();
}

bool ExposureCycle::PollFreshFrame() {
    const bool ready = lib_.ZorvaneImageReady(camera_.handle) != 0;
    if (ready && ReadyFrameIsFresh()) return true;
    if (!ready) freshness_ = Freshness::SeenLow;
    CountPollTick();
    return false;
}

void ExposureCycle::CountPollTick() {
    ++pollCount_;
    if (pollCount_ % kPollsPerWakeCheck == 0) {
        if (lib_.ZorvaneExposureTimeRemaining(camera_.handle) > kClearVRegsAbove)
            lib_.ZorvaneClearVRegs(camera_.handle);
    }
}

void ExposureCycle::OnFrameReadyMessage() {
    // A message can still be queued from before the loop was stopped or the request
    // cancelled; only a frame a high-speed loop is waiting for is taken (a single exposure
    // started meanwhile waits on the poll, and the message would hand it the old frame).
    if (!exposing_ || !highSpeed_) return;
    EndShot();
}

bool ExposureCycle::DownloadFrame() {
    ZorvaneHandle h = camera_.handle;
    frameUnusable_ = false;
    int32_t x = 0, y = 0, width = 0, height = 0, binX = 0, binY = 0;
    lib_.ZorvaneGetImageData(h, &x, &y, &width, &height, &binX, &binY);
    // Geometry is input from the library: refuse what cannot be a frame rather than copy it.
    // The frame is still taken from the library, so that its ready flag does not stay up.
    const int64_t count = int64_t{width} * height;
    if (width <= 0 || height <= 0 || binX <= 0 || binY <= 0 || width > kMaxFrameSide ||
        height > kMaxFrameSide || count > kMaxFramePixels) {
        lib_.ZorvaneImageBuffer(h);
        frameUnusable_ = true;
        return false;
    }

    // The frame on show stays whole (pixels and geometry) whatever happens here: this one goes
    // into the spare buffer, which changes hands only once it holds the whole frame.
    const uint16_t* source = lib_.ZorvaneImageBuffer(h);
    if (!source) return false;
    if (!download_.Reserve(static_cast<size_t>(count))) return false;

    // Reversing the whole array turns the frame by 180°; the histogram for the display is
    // counted during the same pass.
    downloadTurned_ = !settings_.rotate180;
    counts_.CopyAndCount(download_.Data(), source, width, height, downloadTurned_);
    if (downloadTurned_) {
        // The origin moves to where the turned frame lies on the turned sensor.
        x = camera_.properties.pixelsX - x - width * binX;
        y = camera_.properties.pixelsY - y - height * binY;
    }
    downloaded_ = FrameGeometry{x, y, width, height, binX, binY};
    return true;
}

bool ExposureCycle::DownloadAndShowFrame() {
    frameIsPreview_ = previewAtStart_;
    if (!DownloadFrame()) return false;
    ShowFrame();
    return true;
}

void ExposureCycle::ShowFrame() {
    host_.SetFrame(download_, counts_, downloaded_, downloadTurned_, frameIsPreview_);
    geometry_ = downloaded_;
    frameTurned_ = downloadTurned_;
}

void ExposureCycle::EndShot() {
    WaitCursor wait(prompts_);
    exposing_ = false;
    host_.MakeExposureTimeText();
    frameIsPreview_ = previewAtStart_;
    const bool autoguideOn = host_.IsAutoguideOn();
    const int delayMs = static_cast<int>(settings_.delay * 1000.0f);
    const bool quickRestart = looping_ && delayMs < 1 && !autoguideOn && !settingsChanged_;

    if (stopRequested_) {
        stopRequested_ = false;
        return;
    }
    if (quickRestart) {
        // The next exposure runs while this frame is fetched; the library keeps it meanwhile.
        pollCount_ = 0;
        BeginExposure(true);
    }

    const bool downloaded = DownloadFrame();
    // The next exposure was started before this frame was taken: a flag that is down now
    // belongs to it.
    if (quickRestart && exposing_ && !lib_.ZorvaneImageReady(camera_.handle))
        freshness_ = Freshness::SeenLow;
    if (downloaded) {
        ShowFrame();
        host_.OnNewFrameShown();
        if (host_.AutosaveEnabled()) host_.AutosaveImage();
        guideStepRunning_ = autoguideOn && !host_.GuideStep();
    } else if (!camera_.IsConnected(lib_)) {
        // No frame because the camera has gone (its server died): say that, not "unusable".
        OnCameraLost();
        return;
    } else if (frameUnusable_) {
        // No frame because the camera went away, or failed in a way its library can name, is
        // no fault of the settings; otherwise starting again would only give the same frame, a
        // thousand times a second.
        if (!camera_.IsConnected(lib_)) {
            OnCameraLost();
            return;
        }
        const std::string why = lib_.LastErrorText();
        StopWithMessage(why.empty() ? kUnusableFrameText : kNoFrameText + ("\n" + why));
        return;
    }

    if (looping_ && !quickRestart) {
        if (settingsChanged_) {
            settingsChanged_ = false;
            PrepareToExpose();
        }
        nextDelayMs_ = static_cast<unsigned>(std::max(delayMs, 0));
        if (!guideStepRunning_) timers_.SetTimer(kTimerLoopNext, nextDelayMs_);
    }
    UpdateAwake();
    host_.EnableSequencerRun(!looping_);
}

void ExposureCycle::AutoExposureAdjust(int low, int high) {
    (void)low;
    if (!settings_.autoExposure) return;
    const float last = lib_.ZorvaneLastExposureDuration(camera_.handle);
    if (!(last > 0.0f)) return;

    constexpr double target = 40000.0;
    double factor = 1.0;
    if (high < 0.5 * target)
        factor = 2.0;
    else if (high < 0.9 * target)
        factor = target / high;
    else if (high > 1.1 * target)
        factor = target / high;

    double exposure = last * factor;
    // Round down to a step that suits the length of the exposure.
    const double scale = exposure >= 1.0 ? 10.0 : exposure >= 0.1 ? 100.0 : 1000.0;
    exposure = static_cast<double>(static_cast<int64_t>(exposure * scale)) / scale;
    settings_.exposure = static_cast<float>(exposure);
    host_.ShowAutoExposure(settings_.exposure);
}

void ExposureCycle::ApplyExposureSettings(const ExposureSettings& edited) {
    const bool darkBefore = settings_.dark;
    settings_ = edited;
    if (settings_.dark != darkBefore) lib_.ZorvaneSetDarkMode(camera_.handle, settings_.dark);
    settings_.binX = std::clamp(settings_.binX, 1, std::max(1, settings_.maxBinX));
    settings_.binY = std::clamp(settings_.binY, 0, std::max(1, settings_.maxBinY));
    if (settings_.prechargeMode != 1) settings_.fifo = false;
    if (settings_.exposure < 0.000999f) settings_.exposure = 0.001f;
    settingsChanged_ = true;
}

void ExposureCycle::SetSubframe(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    const CameraProperties& p = camera_.properties;
    settings_.subX = 0;
    settings_.subY = 0;
    settings_.subWidth = p.pixelsX;
    settings_.subHeight = p.pixelsY;
    const int32_t l = std::max(left, 0), t = std::max(top, 0);
    const int32_t r = std::min(right, p.pixelsX), b = std::min(bottom, p.pixelsY);
    if (r > l && b > t) {
        settings_.subX = l;
        settings_.subY = t;
        settings_.subWidth = r - l;
        settings_.subHeight = b - t;
    }
}

}  // namespace zorvane
