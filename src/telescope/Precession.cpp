#include "telescope/Precession.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zorvane {

double CenturiesSinceJ2000(double unixSeconds) {
    const double julianDay = unixSeconds / 86400.0 + 2440587.5;
    return (julianDay - 2451545.0) / 36525.0;
}

Equatorial PrecessToJ2000(Equatorial ofDate, double t) {
    constexpr double kRad = std::numbers::pi / 180.0;
    constexpr double kArcsec = kRad / 3600.0;
    // The angles that take J2000 to the date; undone here in the opposite order.
    const double zeta = (2306.2181 * t + 0.30188 * t * t + 0.017998 * t * t * t) * kArcsec;
    const double z = (2306.2181 * t + 1.09468 * t * t + 0.018203 * t * t * t) * kArcsec;
    const double theta = (2004.3109 * t - 0.42665 * t * t - 0.041833 * t * t * t) * kArcsec;
    const double ra = ofDate.raDegrees * kRad - z;
    const double dec = ofDate.decDegrees * kRad;
    const double a = std::cos(dec) * std::sin(ra);
    const double b =
        std::cos(theta) * std::cos(dec) * std::cos(ra) + std::sin(theta) * std::sin(dec);
    const double c =
        -std::sin(theta) * std::cos(dec) * std::cos(ra) + std::cos(theta) * std::sin(dec);
    double ra0 = (std::atan2(a, b) - zeta) / kRad;
    ra0 = std::fmod(ra0, 360.0);
    if (ra0 < 0) ra0 += 360.0;
    return {ra0, std::asin(std::clamp(c, -1.0, 1.0)) / kRad};
}

}  // namespace zorvane
