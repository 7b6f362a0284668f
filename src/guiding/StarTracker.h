#pragma once

#include "guiding/StarMeasurement.h"
#include "view/Geometry.h"
#include "view/ImageFrame.h"

namespace zorvane {

// Finds and measures one star: the brightest pixel within the search radius of the last known
// position becomes the new position (so the star is followed from frame to frame), then the
// centroid above a threshold, the brightness and the half-flux width are measured around it.
// Single-precision arithmetic throughout and no allocation: it runs on the GUI thread after
// every frame.
class StarTracker {
public:
    // `tracked` is the position in unbinned sensor pixels; it moves to the peak found (also
    // when the star then proves too wide) and is left alone when the search cannot start.
    // Radii are in binned frame pixels. Returns true and fills `out` when a valid star was
    // measured; otherwise `out` is the failed measurement.
    static bool Measure(const ImageFrame& frame, Point& tracked, int searchRadius,
                        int measureRadius, StarMeasurement& out);

    // The thresholded flux inside the square cf±rho, rf±rho (frame coordinates, pixel i
    // centred at i + 0.5), partial pixels by their covered area.
    static float SquareFlux(const ImageFrame& frame, int threshold, float cf, float rf, float rho);
};

}  // namespace zorvane
