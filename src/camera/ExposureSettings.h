#pragma once

#include <cstdint>

namespace zorvane {

// What the next exposure will be: time, binning, subframe and read-out modes. Edited by the
// exposure dialog; reaches the camera through PrepareToExpose (dark mode excepted).
struct ExposureSettings {
    float exposure = 0.01f;  // seconds; never below 0.001 after an apply
    float delay = 0.0f;      // seconds between looped exposures
    int32_t binX = 1;
    int32_t binY = 0;        // 0 = same as binX
    int32_t maxBinX = 8;     // the camera's maximum, never above 8
    int32_t maxBinY = 8;
    int32_t subX = 0;        // subframe in unbinned sensor pixels
    int32_t subY = 0;
    int32_t subWidth = 0;
    int32_t subHeight = 0;
    bool amplifier = true;   // "Amp off during exposure"
    bool triggered = false;
    bool dark = false;
    bool preview = false;
    bool subSample = false;
    int32_t prechargeMode = 1;  // 0 none, 1 in-camera subtraction, 2 without subtraction
    bool fifo = true;           // only kept on with precharge mode 1
    bool highPriority = false;
    bool autoExposure = false;
    bool vbe = false;           // processing bit 1
    bool lockExposure = false;
    bool rotate180 = false;     // on: frames are kept as the camera delivers them

    // Binning actually sent for Y.
    int32_t EffectiveBinY() const { return binY == 0 ? binX : binY; }
};

// Where the last frame came from: origin in unbinned sensor pixels (after turning), size in
// binned pixels, binning.
struct FrameGeometry {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t binX = 1;
    int32_t binY = 1;
};

}  // namespace zorvane
