#pragma once

#include "guiding/StarMeasurement.h"
#include "view/Geometry.h"
#include "view/ImageFrame.h"

namespace zorvane {

// Finds and measures one star: the brightest pixel within the search radius of the last known
// position is measured (centroid above a threshold, brightness, half-flux width) and, when it
// proves to be a star, becomes the new position, so the star is followed from frame to frame.
// Single-precision arithmetic throughout and no allocation: it runs on the GUI thread after
// every frame.
class StarTracker {
public:
    // `tracked` is the position in unbinned sensor pixels; it moves to the peak found when a
    // valid star is measured there and stays where it was otherwise, so a star hidden for a
    // few frames is found again when it comes back within the search radius.
    // Radii are in binned frame pixels. Returns true and fills `out` when a valid star was
    // measured; otherwise `out` is the failed measurement.
    static bool Measure(const ImageFrame& frame, Point& tracked, int searchRadius,
                        int measureRadius, StarMeasurement& out);

    // The thresholded flux inside the square cf±rho, rf±rho (frame coordinates, pixel i
    // centred at i + 0.5), partial pixels by their covered area.
    static float SquareFlux(const ImageFrame& frame, int threshold, float cf, float rf, float rho);
};

}  // namespace zorvane
