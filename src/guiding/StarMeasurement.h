#pragma once

namespace zorvane {

// One measurement of the tracked star. Column and row are the centroid in unbinned sensor
// pixels, brightness is peak minus background in frame counts, width the half-flux diameter
// in binned frame pixels. A failed measurement is column and row -1000, brightness and width 0.
struct StarMeasurement {
    static constexpr float kNoStar = -1000.0f;
    float column = kNoStar;
    float row = kNoStar;
    float brightness = 0.0f;
    float width = 0.0f;

    bool Found() const { return column >= 0.0f; }
};

}  // namespace zorvane
