#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "SimFixture.h"

namespace zorvane::test {
namespace {

using SimImage = SimTest;

struct Point {
    double x = 0, y = 0;
};

// Intensity-weighted centre of the light above the local background, in sensor pixels
// (pixel centres at i + 0.5), from a window around a sensor position.
Point Centroid(const Frame& f, Point near, int radius = 7) {
    const int c0 = static_cast<int>((near.x - f.x) / f.binX);
    const int r0 = static_cast<int>((near.y - f.y) / f.binY);
    std::vector<uint16_t> border;
    for (int r = r0 - radius; r <= r0 + radius; ++r) {
        for (int c = c0 - radius; c <= c0 + radius; ++c) {
            if (std::abs(r - r0) == radius || std::abs(c - c0) == radius)
                border.push_back(f.At(c, r));
        }
    }
    std::nth_element(border.begin(), border.begin() + border.size() / 2, border.end());
    const double background = border[border.size() / 2];
    double s = 0, sx = 0, sy = 0;
    for (int r = r0 - radius; r <= r0 + radius; ++r) {
        for (int c = c0 - radius; c <= c0 + radius; ++c) {
            const double w = std::max(0.0, f.At(c, r) - background);
            s += w;
            sx += w * (c + 0.5);
            sy += w * (r + 0.5);
        }
    }
    return {f.x + f.binX * sx / s, f.y + f.binY * sy / s};
}

class SimImageStars : public SimImage {
protected:
    // A bright star well inside the sensor with no bright neighbour.
    Point IsolatedBrightStar(double clearance = 20) {
        const int n = api.ZorvaneSimStarCount();
        std::vector<Point> pos(n);
        std::vector<double> flux(n);
        for (int i = 0; i < n; ++i) api.ZorvaneSimStar(i, &pos[i].x, &pos[i].y, &flux[i]);
        for (int i = 0; i < n; ++i) {
            if (flux[i] < 3000 || pos[i].x < 40 || pos[i].y < 40 || pos[i].x > 1350 ||
                pos[i].y > 1000)
                continue;
            bool crowded = false;
            for (int j = 0; j < n; ++j) {
                if (j != i && std::hypot(pos[j].x - pos[i].x, pos[j].y - pos[i].y) < clearance &&
                    flux[j] > 0.01 * flux[i])
                    crowded = true;
            }
            if (!crowded) return pos[i];
        }
        ADD_FAILURE() << "no isolated bright star among " << n;
        return {};
    }
};

TEST_F(SimImageStars, BrightStarLandsWhereReported) {
    ASSERT_TRUE(Configure(std::string(kStill) + "seed=11"));
    ZorvaneHandle h = Connect();
    EXPECT_GT(api.ZorvaneSimStarCount(), 50);
    const Point star = IsolatedBrightStar();

    Frame f = Expose(h, 1.0f);
    Point c = Centroid(f, star);
    EXPECT_NEAR(c.x, star.x, 0.1);
    EXPECT_NEAR(c.y, star.y, 0.1);

    // Binned and in a subframe, the geometry still puts it in the same place.
    api.ZorvaneBin(h, 2, 2);
    api.ZorvaneSubframePos(h, static_cast<int>(star.x) - 41, static_cast<int>(star.y) - 30);
    api.ZorvaneSubframeSize(h, 100, 80);
    f = Expose(h, 1.0f);
    c = Centroid(f, star, 5);
    EXPECT_NEAR(c.x, star.x, 0.2);
    EXPECT_NEAR(c.y, star.y, 0.2);
}

TEST_F(SimImageStars, GuidePulsesMoveTheSkyAlongTurnedAxes) {
    ASSERT_TRUE(Configure(std::string(kStill) + "seed=3;guide_rate=7.5;guide_angle=30"));
    ZorvaneHandle h = Connect();
    const Point before = IsolatedBrightStar();
    const Point frameBefore = Centroid(Expose(h, 0.5f), before);

    // North for 1 s at 7.5 px/s along (-sin 30, cos 30); half-way after half the pulse.
    api.ZorvanePulseGuide(h, ZORVANE_GUIDE_NORTH, 1000);
    Advance(500);
    double ox, oy;
    api.ZorvaneSimMountOffset(&ox, &oy);
    EXPECT_NEAR(ox, -1.875, 1e-6);
    EXPECT_NEAR(oy, 3.2476, 1e-3);
    Advance(600);
    api.ZorvaneSimMountOffset(&ox, &oy);
    EXPECT_NEAR(ox, -3.75, 1e-6);
    EXPECT_NEAR(oy, 6.4952, 1e-3);

    // The same star (same flux) is now reported moved by the offset.
    Point after{-1, -1};
    for (int i = 0; i < api.ZorvaneSimStarCount(); ++i) {
        Point p;
        double flux = 0;
        api.ZorvaneSimStar(i, &p.x, &p.y, &flux);
        if (std::hypot(p.x - before.x, p.y - before.y) < 10 && flux > 3000) after = p;
    }
    EXPECT_NEAR(after.x - before.x, -3.75, 1e-6);
    EXPECT_NEAR(after.y - before.y, 6.4952, 1e-3);
    const Point frameAfter = Centroid(Expose(h, 0.5f), after);
    EXPECT_NEAR(frameAfter.x - frameBefore.x, -3.75, 0.15);
    EXPECT_NEAR(frameAfter.y - frameBefore.y, 6.495, 0.15);

    // West and east run along (cos 30, sin 30); opposite pulses cancel.
    api.ZorvanePulseGuide(h, ZORVANE_GUIDE_WEST, 400);
    Advance(500);
    api.ZorvaneSimMountOffset(&ox, &oy);
    EXPECT_NEAR(ox, -3.75 + 2.598, 1e-3);
    EXPECT_NEAR(oy, 6.4952 + 1.5, 1e-3);
    api.ZorvanePulseGuide(h, ZORVANE_GUIDE_EAST, 400);
    Advance(500);
    api.ZorvanePulseGuide(h, ZORVANE_GUIDE_SOUTH, 1000);
    Advance(1100);
    api.ZorvaneSimMountOffset(&ox, &oy);
    EXPECT_NEAR(ox, 0.0, 1e-9);
    EXPECT_NEAR(oy, 0.0, 1e-9);
    EXPECT_EQ(api.ZorvanePulseGuide(h, 7, 100), 0);
}

TEST_F(SimImageStars, DriftTrailsStarsAroundTheMidExposurePosition) {
    ASSERT_TRUE(Configure("drift=60;drift_angle=0;pe=0;seed=4"));
    ZorvaneHandle h = Connect();
    const Point start = IsolatedBrightStar(35);
    // 1 px/s along x; light falls from 25 ms to 10.025 s after the start.
    const Frame f = Expose(h, 10.0f);
    const Point c = Centroid(f, {start.x + 5.0, start.y}, 12);
    EXPECT_NEAR(c.x, start.x + 5.025, 0.15);
    EXPECT_NEAR(c.y, start.y, 0.15);

    // The trail is long in x and as narrow as ever in y.
    double s = 0, sxx = 0, syy = 0;
    const int c0 = static_cast<int>(c.x), r0 = static_cast<int>(c.y);
    for (int r = r0 - 12; r <= r0 + 12; ++r) {
        for (int col = c0 - 12; col <= c0 + 12; ++col) {
            const double w = std::max(0.0, f.At(col, r) - 1160.0);  // bias, sky and dark
            s += w;
            sxx += w * (col + 0.5 - c.x) * (col + 0.5 - c.x);
            syy += w * (r + 0.5 - c.y) * (r + 0.5 - c.y);
        }
    }
    EXPECT_GT(std::sqrt(sxx / s), 2.5);  // a 10 px line: about 2.9 px rms
    EXPECT_LT(std::sqrt(syy / s), 1.4);  // the star itself: about 1.1 px rms
}

TEST_F(SimImage, DriftAndPeriodicErrorMoveTheSky) {
    ASSERT_TRUE(Configure("drift=6;drift_angle=0;pe=0"));
    Advance(10000);
    double ox, oy;
    api.ZorvaneSimMountOffset(&ox, &oy);
    EXPECT_NEAR(ox, 1.0, 1e-9);
    EXPECT_NEAR(oy, 0.0, 1e-9);

    // A quarter period in: the full amplitude along the east-west axis.
    ASSERT_TRUE(Configure("drift=0;pe=2;pe_period=40;guide_angle=30"));
    Advance(10000);
    api.ZorvaneSimMountOffset(&ox, &oy);
    EXPECT_NEAR(ox, 1.7321, 1e-4);
    EXPECT_NEAR(oy, 1.0, 1e-4);
}

// A flat field of 20000 e- per pixel through the filters, bias 1000, no read noise.
constexpr const char* kFlat = "stars=0;hot_pixels=0;sky=20000;read_noise=0;dark_current=0;";

TEST_F(SimImage, ColourMosaicHasTheReportedPhase) {
    ASSERT_TRUE(Configure(std::string(kFlat) + "sensor=rggb"));
    ZorvaneHandle h = Connect();
    int32_t type, nx, ny, px, py;
    api.ZorvaneColourProperties(h, &type, &nx, &ny, &px, &py);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(nx, 0);
    EXPECT_EQ(ny, 0);
    EXPECT_EQ(px, 1);
    EXPECT_EQ(py, 0);

    // Normal offsets (0,0): sensor pixel (0,0) is red, then green, green, blue.
    Frame f = Expose(h, 1.0f);
    EXPECT_NEAR(f.MeanOfSite(0, 2, 0, 2), 15400, 30);  // red
    EXPECT_NEAR(f.MeanOfSite(1, 2, 0, 2), 21000, 30);  // green in a red row
    EXPECT_NEAR(f.MeanOfSite(0, 2, 1, 2), 21000, 30);  // green in a blue row
    EXPECT_NEAR(f.MeanOfSite(1, 2, 1, 2), 12600, 30);  // blue

    // Preview offsets (1,0): the read-out starts on green.
    api.ZorvaneSetPreview(h, 1);
    f = Expose(h, 1.0f);
    EXPECT_NEAR(f.MeanOfSite(0, 2, 0, 2), 21000, 30);
    EXPECT_NEAR(f.MeanOfSite(1, 2, 0, 2), 15400, 30);
    EXPECT_NEAR(f.MeanOfSite(1, 2, 1, 2), 21000, 30);
    api.ZorvaneSetPreview(h, 0);

    // A subframe starting at an odd column starts on green as well.
    api.ZorvaneSubframePos(h, 1, 0);
    api.ZorvaneSubframeSize(h, 200, 200);
    f = Expose(h, 1.0f);
    EXPECT_NEAR(f.MeanOfSite(0, 2, 0, 2), 21000, 60);
    EXPECT_NEAR(f.MeanOfSite(0, 2, 1, 2), 12600, 60);
}

TEST_F(SimImage, FourRowSensorHasTheComplementaryPattern) {
    ASSERT_TRUE(Configure(std::string(kFlat) + "sensor=fourrow"));
    ZorvaneHandle h = Connect();
    int32_t type = -1, nx, ny, px, py;
    api.ZorvaneColourProperties(h, &type, &nx, &ny, &px, &py);
    EXPECT_EQ(type, 0);
    Frame f = Expose(h, 1.0f);
    ASSERT_EQ(f.width, 752);
    // Rows from the top: cyan/yellow, green/magenta, cyan/yellow, magenta/green.
    EXPECT_NEAR(f.MeanOfSite(0, 2, 0, 4), 19400, 40);
    EXPECT_NEAR(f.MeanOfSite(1, 2, 0, 4), 20400, 40);
    EXPECT_NEAR(f.MeanOfSite(0, 2, 1, 4), 13400, 40);
    EXPECT_NEAR(f.MeanOfSite(1, 2, 1, 4), 16600, 40);
    EXPECT_NEAR(f.MeanOfSite(0, 2, 2, 4), 19400, 40);
    EXPECT_NEAR(f.MeanOfSite(0, 2, 3, 4), 16600, 40);
    EXPECT_NEAR(f.MeanOfSite(1, 2, 3, 4), 13400, 40);
}

TEST_F(SimImage, SignalScalesWithTimeAndBinningSumsCharge) {
    ASSERT_TRUE(Configure("stars=0;hot_pixels=0;read_noise=0;dark_current=0;sky=1000"));
    ZorvaneHandle h = Connect();
    EXPECT_NEAR(Expose(h, 1.0f).Mean(), 2000, 2);
    EXPECT_NEAR(Expose(h, 10.0f).Mean(), 11000, 3);
    api.ZorvaneBin(h, 2, 2);
    EXPECT_NEAR(Expose(h, 10.0f).Mean(), 41000, 5);
    // 90000 e- per binned pixel does not fit in 16 bits.
    api.ZorvaneBin(h, 3, 3);
    const Frame f = Expose(h, 10.0f);
    EXPECT_TRUE(
        std::all_of(f.pixels.begin(), f.pixels.end(), [](uint16_t p) { return p == 65535; }));
}

TEST_F(SimImage, ACloudDimsTheSkyOfItsFramesOnly) {
    // Frames 1 and 2 under a cloud letting a quarter of the light through.
    ASSERT_TRUE(Configure(std::string(kStill) +
                          "hot_pixels=0;read_noise=0;dark_current=0;sky=1000;cloud=1:2:0.25"));
    ZorvaneHandle h = Connect();
    std::vector<Frame> frames;
    for (int i = 0; i < 4; ++i) frames.push_back(Expose(h, 1.0f));
    // Light above the bias of 1000 ADU: the sky's mean and the brightest star's peak.
    const auto light = [&](int i) {
        const Frame& f = frames[i];
        return std::pair{f.Mean() - 1000,
                         *std::max_element(f.pixels.begin(), f.pixels.end()) - 1000.0};
    };
    const auto [sky, peak] = light(0);
    EXPECT_NEAR(light(3).first, sky, 1);
    for (int i : {1, 2}) {
        EXPECT_NEAR(light(i).first / sky, 0.25, 0.002) << i;
        EXPECT_NEAR(light(i).second / peak, 0.25, 0.02) << i;
    }
    EXPECT_FALSE(Configure("cloud=3"));
}

TEST_F(SimImage, DarkCurrentFollowsTheSensorTemperature) {
    ASSERT_TRUE(Configure("stars=0;hot_pixels=0;read_noise=0;dark_current=100;sky=500"));
    ZorvaneHandle h = Connect();
    api.ZorvaneSetDarkMode(h, 1);
    EXPECT_NEAR(Expose(h, 10.0f, 50).Mean(), 2000, 3);  // no light, 1000 e- of dark

    // Two doublings colder (12 degrees): a quarter of the dark current.
    api.ZorvaneSetCooling(h, 800);
    Advance(30000);
    EXPECT_NEAR(Expose(h, 10.0f, 50).Mean(), 1250, 3);

    api.ZorvaneSetDarkMode(h, 0);
    EXPECT_NEAR(Expose(h, 2.0f).Mean(), 2050, 3);  // 1000 e- of sky, 50 e- of dark
}

TEST_F(SimImage, HotPixelsStayPutAndNoiseHasTheRightSize) {
    ASSERT_TRUE(Configure("stars=0;hot_pixels=5;read_noise=10;dark_current=1;sky=0"));
    ZorvaneHandle h = Connect();
    api.ZorvaneSetDarkMode(h, 1);
    auto hotSpots = [](const Frame& f) {
        std::vector<size_t> at;
        for (size_t i = 0; i < f.pixels.size(); ++i) {
            if (f.pixels[i] > 2000) at.push_back(i);
        }
        return at;
    };
    const Frame a = Expose(h, 10.0f, 50);
    const Frame b = Expose(h, 10.0f, 50);
    EXPECT_EQ(hotSpots(a).size(), 5u);
    EXPECT_EQ(hotSpots(a), hotSpots(b));

    // Read noise 10 e- and 10 e- of dark shot noise: sqrt(110) ADU rms.
    double sum = 0, sumSq = 0;
    size_t n = 0;
    for (uint16_t p : a.pixels) {
        if (p > 2000) continue;
        sum += p;
        sumSq += static_cast<double>(p) * p;
        ++n;
    }
    const double mean = sum / n;
    EXPECT_NEAR(mean, 1010, 0.5);
    EXPECT_NEAR(std::sqrt(sumSq / n - mean * mean), std::sqrt(110.0), 0.2);
}

TEST_F(SimImage, SameSeedSameFramesOtherSeedOtherSky) {
    ASSERT_TRUE(Configure("seed=5"));
    ZorvaneHandle h = Connect();
    const Frame a = Expose(h, 1.0f);
    double x5, y5, f5;
    api.ZorvaneSimStar(0, &x5, &y5, &f5);

    ASSERT_TRUE(Configure("seed=5"));
    h = Connect();
    EXPECT_EQ(Expose(h, 1.0f).pixels, a.pixels);

    ASSERT_TRUE(Configure("seed=6"));
    Connect();
    double x6, y6, f6;
    api.ZorvaneSimStar(0, &x6, &y6, &f6);
    EXPECT_FALSE(x5 == x6 && y5 == y6);
}

}  // namespace
}  // namespace zorvane::test
