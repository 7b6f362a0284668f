#pragma once

// One INDI camera device behind the camera interface. The camera keeps one server connection
// (shared with the device scan). Settings are kept here and sent when an exposure starts; the
// exposure's life is read from CCD_EXPOSURE (Busy while the light is collected, Ok or Alert
// when it ends) and its frame arrives as the FITS BLOB of CCD1, decoded on the client's
// listener thread. A watch thread notices a failed exposure (the driver's Alert, a lost server,
// an answer that never comes) and ends it as a failed frame; no call here waits unbounded.

#include <zorvane/camera_api.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FitsFrame.h"
#include "indi/CameraChoice.h"
#include "indi/IndiClient.h"

namespace zorvane::indicam {

class IndiCamera {
public:
    static constexpr int kServerTimeoutMs = 500;    // an unreachable host
    static constexpr int kDeviceTimeoutMs = 3000;   // the server shows its devices
    static constexpr int kConnectTimeoutMs = 5000;  // the driver connects its camera
    static constexpr int kAnswerTimeoutMs = 10000;  // the driver takes up an exposure
    static constexpr int kDownloadTimeoutMs = 120000;

    explicit IndiCamera(indi::CameraAddress address);
    ~IndiCamera();
    IndiCamera(const IndiCamera&) = delete;
    IndiCamera& operator=(const IndiCamera&) = delete;

    // The camera devices the server offers: the named one, or every device whose driver says it
    // is a camera, by name. Connects to the server when needed (a failed attempt is not repeated
    // for two seconds, so a scan of sixteen indices costs one attempt).
    std::vector<std::string> Cameras();

    bool Connect(int device);
    bool Disconnect();
    bool IsConnected();
    const std::string& DeviceName() const { return device_; }
    // Why the last connect or exposure failed, naming the server and the device, when it was
    // not the frame itself that was wrong; empty otherwise.
    std::string LastError() const;

    void Properties(CameraProperties* props);
    void ColourProperties(int32_t* type, int32_t* nx, int32_t* ny, int32_t* px, int32_t* py);
    void GetBin(int32_t* x, int32_t* y);
    void GetMaxBin(int32_t* x, int32_t* y);
    void GetSubframe(int32_t* x, int32_t* y, int32_t* w, int32_t* h);
    void SetSubframePos(int32_t x, int32_t y);
    void SetSubframeSize(int32_t w, int32_t h);
    void SetBin(int32_t x, int32_t y);

    void SetPostTarget(const ZorvanePostTarget* target, uint32_t message, uintptr_t w, intptr_t l);
    bool StartExposure(float seconds);
    // INDI has no way to end an exposure early and keep it: the exposure is aborted, and the
    // result says so (false).
    bool StopExposure();
    bool AbortExposure();
    bool ImageReady();
    int32_t State();
    float ExposureTimeRemaining();
    int32_t DownloadPercent();
    float LastExposureDuration();
    const char* LastStartTime();
    int32_t LastStartTimeMilliseconds();
    bool ImageData(int32_t* x, int32_t* y, int32_t* w, int32_t* h, int32_t* bx, int32_t* by);
    const uint16_t* ImageBuffer();

    bool PulseGuide(int32_t direction, int32_t ms);
    bool TemperatureSensor(int32_t sensor, int32_t* value);
    bool CoolingInfo(int32_t* flags, int32_t* level, int32_t* minLevel, int32_t* maxLevel,
                     int32_t* setpoint);
    bool SetCooling(int32_t value);
    bool WarmUp();

private:
    enum class Phase { Idle, Flushing, Waiting, Exposing, Downloading };
    using Clock = std::chrono::steady_clock;

    struct Geometry {
        int x = 0, y = 0, w = 0, h = 0, binX = 1, binY = 1;
    };
    struct Post {
        ZorvanePostTarget target;
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
    };

    bool ServerUp();
    bool Has(const char* property) const;
    std::optional<indi::PropertySnapshot> Get(const char* property) const;
    double Number(const char* property, const char* element, double fallback) const;
    // Brings the exposure's phase up to what the driver last said; true when it just failed.
    bool Advance();
    // Ends the exposure as a failed one; `why` is kept for LastError unless the frame itself
    // could not be read.
    void Fail(const char* why, bool frameUnreadable = false);
    // "INDI camera "name" on host:port", or the first camera on it when none was named.
    std::string Describe() const;
    bool FailConnect(const std::string& why);
    void OnBlob(const indi::BlobView& blob);
    void PostFrameReady();
    void Watch();
    void StopWatch();
    void SetStartText(std::chrono::system_clock::time_point t);

    indi::CameraAddress address_;
    indi::IndiClient client_;
    Clock::time_point lastServerAttempt_{};
    bool serverFailed_ = false;

    std::string device_;
    bool connected_ = false;
    int sensorW_ = 0, sensorH_ = 0;
    float pixelW_ = 0, pixelH_ = 0;
    int bits_ = 16;
    int maxBinX_ = 1, maxBinY_ = 1;
    std::string model_, manufacturer_;

    // The exposure, shared with the listener and the watch thread.
    mutable std::mutex mutex_;
    Geometry settings_;  // what the next exposure uses (unbinned origin and size)
    Geometry running_;   // what the running one used
    Phase phase_ = Phase::Idle;
    float requested_ = 0;
    Clock::time_point phaseStart_{};
    uint64_t exposureUpdates_ = 0, frameUpdates_ = 0, binUpdates_ = 0;
    bool waitFrame_ = false, waitBin_ = false;
    std::vector<uint16_t> spare_, arrived_, taken_;
    Geometry arrivedGeometry_, takenGeometry_;
    bool frameArrived_ = false;  // a newer frame waits in arrived_
    bool ready_ = false;         // ImageReady: a frame (or a failed one) waits to be taken
    bool failed_ = false;        // the waiting frame is a failed one: no pixels
    bool hasTaken_ = false;
    float lastDuration_ = 0;
    char startText_[64] = "";
    int32_t startMs_ = 0;
    std::string lastError_;

    // Cooling as the camera interface sees it.
    bool coolerOn_ = false;
    bool warming_ = false;
    int32_t setpoint_ = 0;  // hundredths of a degree, or the on/off value
    double warmTarget_ = 20.0;

    std::mutex postMutex_;  // held while posting, so a cancel waits for a post in progress
    std::optional<Post> post_;

    std::mutex watchMutex_;
    std::condition_variable watchWake_;
    bool watchStop_ = false;
    std::thread watch_;
};

}  // namespace zorvane::indicam
