#pragma once

#include <optional>

namespace zorvane {

// What one guided frame did: the offset as measured and the pulses sent for it.
struct GuideStepReport {
    float dx = 0, dy = 0;          // star - guide target, sensor pixels
    float ra = 0, dec = 0;         // the same resolved along the WE and NS axes, before any limit
    unsigned raMs = 0, decMs = 0;  // pulses sent (0: none)
    int raDirection = -1, decDirection = -1;     // guide direction codes of the pulses sent
    bool raLimited = false, decLimited = false;  // cut to 5 px or to the longest pulse
};

// The RMS figures of the guiding run shown in the tracking dialog (camera pixels, and
// arc-seconds when the image scale is known).
struct GuideFigures {
    int frames = 0;
    double ra = 0, dec = 0, total = 0;
    std::optional<double> scale;  // arc-seconds per pixel
};

// Who follows guiding as it happens (the guider's control for other programs and its log).
class GuidingObserver {
public:
    virtual ~GuidingObserver() = default;
    // A frame is on show and its star measured (before autoguiding acts on it).
    virtual void OnFrameShown() {}
    virtual void OnGuided(const GuideStepReport& step) {}
    // Autoguiding had a frame without the star.
    virtual void OnGuideStarLost() {}
    virtual void OnCalibrationStarted() {}
    // A calibration pulse of `direction` (out, or back when `returning`) moved the star to
    // (x, y); the direction's legs started at (x0, y0).
    virtual void OnCalibrationStep(int direction, bool returning, float x, float y, float x0,
                                   float y0) {}
    virtual void OnCalibrationEnded() {}
};

}  // namespace zorvane
