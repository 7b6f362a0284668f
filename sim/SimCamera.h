#pragma once

#include <zorvane/camera_api.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "CoolerModel.h"
#include "FrameRenderer.h"
#include "MountFollower.h"
#include "MountModel.h"
#include "SensorModel.h"
#include "SimOptions.h"
#include "StarField.h"

namespace zorvane::sim {

// A frame-ready message the library owes the program.
struct PostRequest {
    int device = 0;
    ZorvanePostTarget target{};
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// A star as the sensor sees it right now.
struct VisibleStar {
    double x = 0.0;  // unbinned pixels in the camera's read-out order, pixel c spans [c, c+1)
    double y = 0.0;
    double flux = 0.0;  // ADU per second over the whole star, before any colour filter
};

// One simulated camera: its settings, the exposure state machine (flushing, waiting,
// exposing, downloading), the frame it holds, and its sky, mount and cooler. Time is in
// microseconds of the library's clock; state moves only through Advance(), so the same calls
// at the same times always give the same frames. Not thread-safe: the library serialises.
class SimCamera {
public:
    static constexpr int64_t kNever = std::numeric_limits<int64_t>::max();

    SimCamera() = default;
    SimCamera(const SimCamera&) = delete;
    SimCamera& operator=(const SimCamera&) = delete;

    // Back to power-on: disconnected, cooler off at ambient, mount at its origin, no frame.
    // With a followed INDI mount the sky moves with `follower` instead of the guide pulses.
    void Configure(int index, const SimOptions& options, int64_t nowUs,
                   std::shared_ptr<MountFollower> follower = nullptr);

    int Index() const { return index_; }
    bool Connected() const { return connected_; }
    // wallOffsetUs: wall-clock microseconds since 1970 minus the library clock.
    bool Connect(int64_t nowUs, int64_t wallOffsetUs);
    bool Disconnect();

    // Runs every state change due by nowUs, in order; frame-ready messages go to `posts`.
    void Advance(int64_t nowUs, int64_t wallOffsetUs, std::vector<PostRequest>& posts);
    // When the next state change falls due (kNever when idle).
    int64_t NextEventUs() const;
    bool WantsPosts() const { return postTarget_.has_value(); }
    void SetPostTarget(const ZorvanePostTarget* target, uint32_t message, uintptr_t wParam,
                       intptr_t lParam);

    void Properties(CameraProperties* props) const;
    void ColourProperties(int32_t* type, int32_t* nx, int32_t* ny, int32_t* px, int32_t* py) const;
    const SensorModel& Sensor() const { return sensor_; }

    // Read-out settings.
    void GetBin(int32_t* x, int32_t* y) const;
    void GetMaxBin(int32_t* x, int32_t* y) const;
    void SetBin(int32_t x, int32_t y);
    void GetSubframe(int32_t* x, int32_t* y, int32_t* w, int32_t* h) const;
    void SetSubframePos(int32_t x, int32_t y);
    void SetSubframeSize(int32_t w, int32_t h);
    void SetPreview(bool on) { settings_.preview = on; }
    void SetSubSample(bool on) { settings_.subsample = on; }
    void SetDarkMode(bool on) { settings_.dark = on; }
    void SetTriggered(bool on) { settings_.triggered = on; }

    // Settings the camera keeps and reports back but that do not change its frames.
    struct Stored {
        bool amplifier = true;
        int32_t prechargeMode = 1;
        bool fifo = true;
        bool highPriority = false;
        int32_t processing = 0;
        bool autoBlackLevel = false;
    };
    Stored stored;

    // Exposures.
    void StartExposure(float seconds, int64_t nowUs);
    void StopExposure(int64_t nowUs);
    void AbortExposure();
    int32_t State() const;
    float ExposureTimeRemaining(int64_t nowUs) const;
    int32_t DownloadPercent(int64_t nowUs) const;
    bool ImageReady() const { return ready_; }
    bool ImageData(int32_t* x, int32_t* y, int32_t* w, int32_t* h, int32_t* bx, int32_t* by) const;
    const uint16_t* ImageBuffer();
    float LastExposureDuration() const { return lastDuration_; }
    const char* LastStartTime() const { return lastStartText_; }
    int32_t LastStartTimeMilliseconds() const { return lastStartMs_; }
    bool UsbError() const { return usbError_; }

    // Guiding and cooling.
    bool PulseGuide(int32_t direction, int32_t ms, int64_t nowUs);
    Vec2 MountOffset(int64_t nowUs) const { return mount_.Offset(nowUs); }
    bool TemperatureSensor(int32_t sensor, int32_t* value, int64_t nowUs) const;
    CoolerModel::Info CoolingInfo(int64_t nowUs) const { return cooler_.Query(nowUs); }
    void SetCooling(int32_t value, int64_t nowUs) { cooler_.SetCooling(nowUs, value); }
    void WarmUp(int64_t nowUs) { cooler_.WarmUp(nowUs); }
    double Temperature(int64_t nowUs) const { return cooler_.Temperature(nowUs); }

    // The stars now on the sensor, brightest first.
    std::vector<VisibleStar> StarsOnSensor(int64_t nowUs) const;
    const std::vector<HotPixel>& HotPixels() const { return renderer_.HotPixels(); }

private:
    enum class Phase { Idle, Flushing, Waiting, Exposing, Downloading };
    struct Readout {
        int binX = 1, binY = 1;
        int subX = 0, subY = 0, subW = 0, subH = 0;
        bool preview = false, subsample = false, dark = false, triggered = false;
    };
    void ResetSettings();
    void EndExposure(int64_t t);
    void Finish(int64_t t, int64_t wallOffsetUs, std::vector<PostRequest>& posts);
    void Drop();
    void SetStartText(int64_t wallUs);

    int index_ = 0;
    SimOptions options_;
    SensorModel sensor_;
    StarField stars_;
    FrameRenderer renderer_;
    MountModel mount_;
    std::shared_ptr<MountFollower> follower_;
    CoolerModel cooler_;

    bool connected_ = false;
    int connectAttempts_ = 0;
    int framesSinceConnect_ = 0;
    uint64_t frameSerial_ = 0;
    bool usbError_ = false;
    Readout settings_;
    struct PostTarget {
        ZorvanePostTarget target;
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
    };
    std::optional<PostTarget> postTarget_;

    // The running exposure.
    Phase phase_ = Phase::Idle;
    Readout running_;
    int64_t requestedUs_ = 0;
    int64_t phaseStartUs_ = 0;
    int64_t phaseEndUs_ = 0;
    int64_t exposureStartUs_ = 0;
    int64_t dropAtUs_ = -1;
    FramePlan pending_;

    // The last finished frame.
    bool hasFrame_ = false;
    bool ready_ = false;
    bool rendered_ = false;
    FramePlan frame_;
    std::vector<uint16_t> pixels_;
    float lastDuration_ = 0.0f;
    char lastStartText_[64] = "";
    int32_t lastStartMs_ = 0;
};

}  // namespace zorvane::sim
