#pragma once

#include <cstdint>
#include <vector>

#include "view/Geometry.h"
#include "view/ViewGeometry.h"

namespace zorvane {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// One thing drawn over the picture with a one-pixel pen, in screen pixels.
//  - Line: points[0] to points[1], both ends painted (a line that would paint nothing is
//    left out of the list).
//  - Polyline: through all points, every point painted.
//  - RectOutline: the outline through the four corners (left, top) .. (right, bottom), all
//    painted, so it covers right - left + 1 columns.
//  - Ellipse: the hollow ellipse inscribed in rect, whose right and bottom are exclusive.
struct OverlayPrimitive {
    enum class Kind { Line, Polyline, RectOutline, Ellipse };
    Kind kind = Kind::Line;
    Rgb colour;
    std::vector<Point> points;
    Rect rect;
};

struct OverlayColours {
    static constexpr Rgb kSelection{255, 0, 0};
    static constexpr Rgb kSensor{0, 255, 0};
    static constexpr Rgb kReticle{200, 100, 0};
    static constexpr Rgb kTrackedStar{128, 128, 0};
    static constexpr Rgb kGuide{128, 0, 128};
};

// What the overlays are drawn from.
struct OverlayState {
    Rect selection;  // sensor pixels; empty = none
    bool reticle = false;
    Point trackedStar{-1000, -1000};  // x < 0 = none
    int measureRadius = 0;
    Point guideTarget{-1000, -1000};  // x < 0 = none
    const std::vector<Point>* calibrationTrack = nullptr;
};

// The overlays in drawing order: selection, sensor outline and reticle, tracked-star box, guide
// target, calibration track.
std::vector<OverlayPrimitive> BuildOverlays(const OverlayState& state, const ViewGeometry& geo);

}  // namespace zorvane
