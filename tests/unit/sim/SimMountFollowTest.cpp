#include <cmath>

#include "SimFixture.h"
#include "SkyShift.h"

namespace zorvane::test {
namespace {

using sim::SkyShift;

TEST(SkyShift, WestAndNorthTurnWithTheCameraAndRaShrinksWithCosDec) {
    // 0.0002 h of RA is 10.8 arcsec at the equator; a falling RA is a move to the west.
    auto s = SkyShift(5.0, 0.0, 5.0 - 0.0002, 0.0, 1.0, 0.0);
    EXPECT_NEAR(s.x, 10.8, 1e-6);
    EXPECT_NEAR(s.y, 0.0, 1e-9);
    // At Dec 60 the same RA step is half as far on the sky; at 2 arcsec/px half as many pixels.
    s = SkyShift(5.0, 60.0, 5.0 - 0.0002, 60.0, 2.0, 0.0);
    EXPECT_NEAR(s.x, 2.7, 1e-6);
    // North, 10 arcsec at 2 arcsec/px, with the west axis at 90 degrees: north points to -x.
    s = SkyShift(5.0, 30.0, 5.0, 30.0 + 10.0 / 3600.0, 2.0, 90.0);
    EXPECT_NEAR(s.x, -5.0, 1e-6);
    EXPECT_NEAR(s.y, 0.0, 1e-6);
    // West at 120 degrees lies along (cos 120, sin 120).
    s = SkyShift(5.0, 0.0, 5.0 - 0.0002, 0.0, 1.0, 120.0);
    EXPECT_NEAR(s.x, -5.4, 1e-6);
    EXPECT_NEAR(s.y, 10.8 * std::sin(120.0 * M_PI / 180.0), 1e-6);
}

TEST(SkyShift, RaTakesTheShortWayRoundMidnight) {
    // 23h59m59.64s to 0h00m00.36s is 0.72 s of time east, not 24 h west.
    const double before = 24.0 - 0.0001, after = 0.0001;
    auto s = SkyShift(before, 0.0, after, 0.0, 1.0, 0.0);
    EXPECT_NEAR(s.x, -10.8, 1e-6);
    s = SkyShift(after, 0.0, before, 0.0, 1.0, 0.0);
    EXPECT_NEAR(s.x, 10.8, 1e-6);
}

using SimMountFollow = SimTest;

TEST_F(SimMountFollow, ANamedMountTakesPulsesAwayAndAnAbsentOneHangsNothing) {
    EXPECT_FALSE(Configure("mount=tcp:Telescope@localhost"));
    EXPECT_FALSE(Configure("mount=indi:Telescope Simulator@localhost:99999"));
    // Port 1 refuses at once: the follower says so on stderr and keeps trying in the background.
    ASSERT_TRUE(
        Configure("flush_ms=0;wait_ms=0;drift=0;pe=0;scale=1.5;"
                  "mount=indi:Telescope Simulator@127.0.0.1:1"));
    ZorvaneHandle h = Connect();
    // The sky moves only through the mount's server now, so a camera-port pulse does nothing.
    ASSERT_EQ(api.ZorvanePulseGuide(h, ZORVANE_GUIDE_WEST, 400), 1);
    EXPECT_EQ(api.ZorvanePulseGuide(h, 7, 100), 0);
    const Frame f = Expose(h, 0.1f);
    EXPECT_GT(f.width, 0);
    double x = 1, y = 1;
    api.ZorvaneSimMountOffset(&x, &y);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, 0.0);

    // Without the mount the same pulse moves the sky again.
    ASSERT_TRUE(Configure("flush_ms=0;wait_ms=0;drift=0;pe=0;mount=none"));
    h = Connect();
    api.ZorvanePulseGuide(h, ZORVANE_GUIDE_WEST, 400);
    Expose(h, 0.5f);
    api.ZorvaneSimMountOffset(&x, &y);
    EXPECT_GT(std::hypot(x, y), 1.0);
}

}  // namespace
}  // namespace zorvane::test
