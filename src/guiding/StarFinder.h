#pragma once

#include <optional>

#include "view/Geometry.h"
#include "view/ImageFrame.h"

namespace zorvane {

// Picks a guide star on a frame without the user: the brightest star that is not saturated,
// not a hot pixel (a peak with no light in the pixels around it) and far enough from the edges
// for calibration to move it about (1.5 search radii).
struct StarFinderOptions {
    int searchRadius = 15;  // binned frame pixels
    int measureRadius = 8;
    // A peak at or above this is taken as saturated.
    int saturation = 62000;
    // A peak must stand this many background deviations above the background.
    double minSigma = 8.0;
    // Limits the search to this part of the sensor (sensor pixels); empty = the whole frame.
    Rect region{};
    // The sensor, for the edge margin calibration needs (empty = the frame's own edges only).
    Rect sensor{};
};

struct FoundStar {
    Point peak;                 // sensor pixels of the brightest pixel
    float column = 0, row = 0;  // centroid, sensor pixels
    float brightness = 0;
};

std::optional<FoundStar> FindGuideStar(const ImageFrame& frame, const StarFinderOptions& options);

// Total light above the background within `radius` frame pixels of a sensor position, and how
// far the peak stands above the background's noise.
struct StarFigures {
    double mass = 0;
    double snr = 0;
};
StarFigures MeasureStarFigures(const ImageFrame& frame, float column, float row, int radius);

}  // namespace zorvane
