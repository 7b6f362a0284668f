#pragma once

// The sky's shift on the sensor for a mount that moved from one pointing to another: pure
// arithmetic, shared by the simulated camera and its tests.

#include <cmath>

namespace zorvane::sim {

struct SkyShiftPx {
    double x = 0.0;
    double y = 0.0;
};

// RA in hours, Dec in degrees; scale in arcsec per pixel; angle = the west axis on the sensor,
// degrees from +x toward +y. A mount moving west (RA falling) moves the sky along
// (cos a, sin a), north (Dec rising) along (-sin a, cos a): the same directions as a guide
// pulse of the camera's own model. The RA difference is taken the short way round 0/24 h and
// shrinks with cos Dec (at the mean Dec of the two pointings).
inline SkyShiftPx SkyShift(double ra0Hours, double dec0Deg, double raHours, double decDeg,
                           double arcsecPerPx, double angleDeg) {
    constexpr double kDegToRad = M_PI / 180.0;
    double dRa = std::fmod(raHours - ra0Hours, 24.0);
    if (dRa >= 12.0) dRa -= 24.0;
    if (dRa < -12.0) dRa += 24.0;
    const double meanDec = 0.5 * (dec0Deg + decDeg) * kDegToRad;
    const double westPx = -dRa * 15.0 * 3600.0 * std::cos(meanDec) / arcsecPerPx;
    const double northPx = (decDeg - dec0Deg) * 3600.0 / arcsecPerPx;
    const double a = angleDeg * kDegToRad;
    return {westPx * std::cos(a) - northPx * std::sin(a),
            westPx * std::sin(a) + northPx * std::cos(a)};
}

}  // namespace zorvane::sim
