#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvane {

// The guider as other programs drive and watch it: what it is doing, what they may ask of it,
// and what it tells them as it happens. Distances are guide-camera sensor pixels, times seconds
// unless a name says otherwise.

enum class GuiderState { Stopped, Selected, Calibrating, Guiding, LostLock, Paused, Looping };
const char* GuiderStateName(GuiderState s);

struct PointF {
    double x = 0, y = 0;
};

// When a guide or dither counts as done: the star within `pixels` of the lock position for
// `time` seconds without a break; failed when that has not happened after `timeout` seconds.
struct SettleSpec {
    double pixels = 1.5;
    double time = 10;
    double timeout = 60;
};

// A failed request: the protocol's code (1 for an operation that failed) and a message.
struct GuiderError {
    int code = 1;
    std::string message;
};
using GuiderStatus = std::optional<GuiderError>;  // none = done

struct Roi {
    int x = 0, y = 0, width = 0, height = 0;
};

struct StarImage {
    int frame = 0;
    int width = 0, height = 0;
    PointF star;                   // in the image's own pixels
    std::vector<uint16_t> pixels;  // row-major
};

struct Equipment {
    std::string camera;
    bool cameraConnected = false;
    std::string mount;
    bool mountConnected = false;
};

// What a client may ask. Every call answers at once; long operations (guide, dither) report
// their end through the listener (exactly one settle result each).
class GuiderApi {
public:
    virtual ~GuiderApi() = default;
    virtual GuiderState State() = 0;
    virtual std::optional<PointF> LockPosition() = 0;
    virtual std::optional<PointF> SelectedStar() = 0;
    virtual bool Calibrated() = 0;
    virtual bool Paused() = 0;

    virtual bool CameraConnected() = 0;
    virtual GuiderStatus SetConnected(bool connect) = 0;
    virtual Equipment CurrentEquipment() = 0;
    // Arc-seconds per pixel; none while the focal length or the pixel size is unknown.
    virtual std::optional<double> PixelScale() = 0;
    virtual int ExposureMs() = 0;
    virtual GuiderStatus SetExposureMs(int ms) = 0;
    virtual std::vector<int> ExposureDurations() = 0;
    virtual std::optional<std::pair<int, int>> CameraFrameSize() = 0;

    virtual GuiderStatus Loop() = 0;
    virtual void StopCapture() = 0;
    // Selects the best guide star (inside `roi` when given) and locks on it.
    virtual std::optional<PointF> FindStar(const std::optional<Roi>& roi, GuiderError& error) = 0;
    virtual GuiderStatus Guide(const SettleSpec& settle, bool recalibrate,
                               const std::optional<Roi>& roi) = 0;
    virtual GuiderStatus Dither(double amount, bool raOnly, const SettleSpec& settle) = 0;
    // Paused: frames go on (unless `full`), no pulses are sent.
    virtual GuiderStatus SetPaused(bool paused, bool full) = 0;
    virtual GuiderStatus SetLockPosition(double x, double y, bool exact) = 0;
    virtual void ClearCalibration() = 0;
    // "Off", "Auto", "North" or "South".
    virtual std::string DecGuideMode() = 0;
    virtual GuiderStatus SetDecGuideMode(const std::string& mode) = 0;
    virtual std::optional<StarImage> StarImageAround(int size) = 0;
    // The program is asked to close.
    virtual void Shutdown() = 0;
};

// ---- what the guider reports ----

struct CalibrationStepEvent {
    std::string mount;
    std::string direction;  // "North", "South", "East", "West"
    int step = 0;           // 1, 2 ... within the direction
    double dx = 0, dy = 0;  // from where the direction started
    double x = 0, y = 0;    // the star now
    double dist = 0;
    std::string state;  // what the step was ("North out", "North back", ...)
};

struct CalibrationResult {
    std::string mount;
    double xAngle = 0, xRate = 0;  // the RA (west) axis: degrees from +x, px per second
    double yAngle = 0, yRate = 0;  // the Dec (north) axis
};

struct GuidingStart {
    std::string mount;
    CalibrationResult calibration;
    std::optional<double> pixelScale;
    int binning = 1;
    double focalLength = 0;  // mm; 0 = unknown
    PointF lock;
};

struct GuideStepEvent {
    int frame = 0;
    double time = 0;  // since guiding started
    std::string mount;
    double dx = 0, dy = 0;                  // star - lock position, sensor axes
    double raRaw = 0, decRaw = 0;           // the same along the mount's axes
    double raGuide = 0, decGuide = 0;       // what the pulses sent correct, pixels
    int raDuration = 0, decDuration = 0;    // ms; 0 = no pulse
    std::string raDirection, decDirection;  // "East"/"West", "North"/"South"
    bool raLimited = false, decLimited = false;
    double starMass = 0, snr = 0, avgDist = 0;
    int errorCode = 0;
};

struct StarLostEvent {
    int frame = 0;
    double time = 0;
    double starMass = 0, snr = 0, avgDist = 0;
    int errorCode = 0;
    std::string status;
};

struct SettlingEvent {
    double distance = 0, time = 0, settleTime = 0;
    bool starLocked = false;
};

struct SettleDoneEvent {
    int status = 0;  // 0 settled, 1 failed
    std::string error;
    int totalFrames = 0, droppedFrames = 0;
};

class GuiderListener {
public:
    virtual ~GuiderListener() = default;
    virtual void OnAppState(GuiderState state) {}
    virtual void OnLoopingExposures(int frame) {}
    virtual void OnLoopingStopped() {}
    virtual void OnStarSelected(PointF star) {}
    virtual void OnLockPositionSet(PointF lock) {}
    virtual void OnLockPositionLost() {}
    virtual void OnCalibrationStarted(const std::string& mount, std::optional<double> pixelScale,
                                      int binning, double focalLength) {}
    virtual void OnCalibrating(const CalibrationStepEvent& step) {}
    virtual void OnCalibrationComplete(const CalibrationResult& result) {}
    virtual void OnCalibrationFailed(const std::string& mount, const std::string& reason) {}
    virtual void OnStartGuiding(const GuidingStart& start) {}
    virtual void OnGuideStep(const GuideStepEvent& step) {}
    virtual void OnStarLost(const StarLostEvent& lost) {}
    virtual void OnSettleBegin() {}
    virtual void OnSettling(const SettlingEvent& settling) {}
    virtual void OnSettleDone(const SettleDoneEvent& done) {}
    virtual void OnDithered(double dx, double dy, PointF newLock) {}
    virtual void OnGuidingStopped() {}
    virtual void OnPaused() {}
    virtual void OnResumed() {}
    virtual void OnAlert(const std::string& message, const std::string& type) {}
};

}  // namespace zorvane
