#include <gtest/gtest.h>

#include <cmath>

#include "guiding/Ditherer.h"

namespace zorvane {

// Calibrated axes are never quite square; the amount still bounds the move on the sensor.
TEST(Ditherer, NoMoveIsLongerThanTheAmountOnSkewedAxes) {
    Ditherer d(7);
    const double s = std::sin(1.2), c = std::cos(1.2);  // axes 69 degrees apart
    const GuideCalibration skewed(float(c), float(s), 1.0f, 0.0f, 5.0f, 5.0f);
    double longest = 0, along = 0;
    for (int i = 0; i < 2000; ++i) {
        const PointF m = d.Offset(5.0, false, skewed);
        longest = std::max(longest, std::hypot(m.x, m.y));
        const PointF r = d.Offset(5.0, true, skewed);
        along = std::max(along, std::fabs(r.y));
    }
    EXPECT_LE(longest, 5.0);
    EXPECT_GT(longest, 4.5);
    EXPECT_EQ(along, 0.0);  // RA only stays on the RA axis, here the sensor's x
}

}  // namespace zorvane
