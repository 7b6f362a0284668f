#pragma once

#include <cstdint>
#include <random>

#include "guiding/GuiderInterface.h"
#include "guiding/GuidingSettings.h"

namespace zorvane {

// Random moves of the guide target between exposures, so that the sky falls on other pixels
// in each light frame: up to `amount` pixels along the mount's RA axis and, unless RA only,
// its Dec axis (the calibrated axes; the sensor's without a calibration), never more than
// `amount` in all.
class Ditherer {
public:
    explicit Ditherer(uint64_t seed = std::random_device{}()) : random_(seed) {}
    PointF Offset(double amount, bool raOnly, const GuideCalibration& calibration);

private:
    std::mt19937_64 random_;
};

}  // namespace zorvane
