#pragma once

#include <cstdint>
#include <vector>

#include "MountModel.h"
#include "SensorModel.h"
#include "SimOptions.h"
#include "StarField.h"

namespace zorvane::sim {

// Everything a finished exposure needs to be turned into pixels, fixed when the exposure ends.
struct FramePlan {
    int originX = 0;  // unbinned sensor pixels
    int originY = 0;
    int width = 0;  // output pixels
    int height = 0;
    int binX = 1;  // charge binning
    int binY = 1;
    int stepX = 1;  // sensor pixels per output pixel (twice the binning when subsampled)
    int stepY = 1;
    bool preview = false;
    bool dark = false;
    double exposureS = 0.0;
    double transmission = 1.0;  // of the sky's light (stars and background); less under a cloud
    std::vector<Vec2> mountOffsets;  // sampled evenly over the exposure
    std::vector<double> temperatures;
    uint64_t noiseSeed = 0;
};

struct HotPixel {
    int x = 0;
    int y = 0;
    double factor = 1.0;  // times the normal dark current
};

// Renders frames: sky background through the colour filters, stars as pixel-integrated
// Gaussians (smeared along the mount's path when it moved during the exposure), dark current
// following the sensor temperature, hot pixels, shot and read noise, bias, 16-bit clipping.
class FrameRenderer {
public:
    FrameRenderer() = default;
    FrameRenderer(const SimOptions& options, const SensorModel& sensor, const StarField* stars,
                  std::vector<HotPixel> hotPixels);

    // `out` holds plan.width * plan.height pixels, row after row.
    void Render(const FramePlan& plan, uint16_t* out) const;

    const std::vector<HotPixel>& HotPixels() const { return hotPixels_; }

private:
    struct Patch {
        int row0, col0, rows, cols;
        size_t offset;  // into the patch pool
    };
    void BuildStarPatches(const FramePlan& plan, std::vector<Patch>& patches,
                          std::vector<float>& pool) const;

    SimOptions options_;
    SensorModel sensor_;
    const StarField* stars_ = nullptr;
    std::vector<HotPixel> hotPixels_;
};

}  // namespace zorvane::sim
