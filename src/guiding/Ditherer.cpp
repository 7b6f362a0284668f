#include "guiding/Ditherer.h"

#include <cmath>

namespace zorvane {

PointF Ditherer::Offset(double amount, bool raOnly, const GuideCalibration& c) {
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    double ra = amount * uniform(random_);
    double dec = raOnly ? 0.0 : amount * uniform(random_);
    const double length = std::hypot(ra, dec);
    if (length > amount && length > 0) {
        ra *= amount / length;
        dec *= amount / length;
    }
    double raX = 1, raY = 0, decX = 0, decY = 1;
    if (c.Valid()) {
        raX = c.axisWEX;
        raY = c.axisWEY;
        decX = c.axisNSX;
        decY = c.axisNSY;
    }
    return PointF{ra * raX + dec * decX, ra * raY + dec * decY};
}

}  // namespace zorvane
