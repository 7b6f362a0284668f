#include "guiding/Ditherer.h"

#include <cmath>

namespace zorvane {

PointF Ditherer::Offset(double amount, bool raOnly, const GuideCalibration& c) {
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const double ra = amount * uniform(random_);
    const double dec = raOnly ? 0.0 : amount * uniform(random_);
    double raX = 1, raY = 0, decX = 0, decY = 1;
    if (c.Valid()) {
        raX = c.axisWEX;
        raY = c.axisWEY;
        decX = c.axisNSX;
        decY = c.axisNSY;
    }
    // The calibrated axes are seldom exactly square to each other, so the
    // amount limits the move on the sensor, not the length along the axes.
    PointF move{ra * raX + dec * decX, ra * raY + dec * decY};
    const double length = std::hypot(move.x, move.y);
    if (length > amount && length > 0) {
        // Rounding may leave the scaled move a hair over the amount: shave until it is not.
        double scale = amount / length;
        while (scale > 0 && std::hypot(move.x * scale, move.y * scale) > amount)
            scale = std::nextafter(scale, 0.0);
        move.x *= scale;
        move.y *= scale;
    }
    return move;
}

}  // namespace zorvane
