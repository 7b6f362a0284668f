// Star measurement against the simulated camera's own record of where it put each star, and
// the search rules on small hand-made frames.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "guiding/StarTracker.h"
#include "support/SimHarness.h"

using namespace zorvane;
using namespace zorvane::test;

namespace {

struct TrueStar {
    double x, y, flux;
};

// A camera on a still mount, without hot pixels (a hot pixel beside a star is a different
// question from where the star's light falls).
class SimStars : public ::testing::Test {
protected:
    void Start(const std::string& extra) {
        bench_ = std::make_unique<SimBench>(
            "size=900x700;stars=300;star_flux=400000;drift=0;pe=0;hot_pixels=0;seed=5;" + extra);
        ASSERT_TRUE(bench_->Connect());
    }

    // One exposure of the given binning and subframe, as the camera reads it out.
    ImageFrame Expose(int bin, int x, int y, int w, int h, float seconds) {
        CameraLibrary& lib = bench_->lib;
        ZorvaneHandle cam = bench_->camera.handle;
        lib.ZorvaneBin(cam, bin, bin);
        lib.ZorvaneSubframePos(cam, x, y);
        lib.ZorvaneSubframeSize(cam, w, h);
        lib.ZorvaneStartExposure(cam, seconds);
        EXPECT_TRUE(bench_->loop.RunUntil([&] { return lib.ZorvaneImageReady(cam) != 0; }, 60000));
        int32_t ox = 0, oy = 0, fw = 0, fh = 0, bx = 0, by = 0;
        lib.ZorvaneGetImageData(cam, &ox, &oy, &fw, &fh, &bx, &by);
        ImageFrame f;
        EXPECT_TRUE(f.Assign(lib.ZorvaneImageBuffer(cam), fw, fh));
        f.OriginX = ox;
        f.OriginY = oy;
        f.BinX = bx;
        f.BinY = by;
        return f;
    }

    // Stars of the given flux (ADU/s) at least 24 px inside the frame with no neighbour worth 1 %
    // of their light within 24 px.
    std::vector<TrueStar> IsolatedStars(const ImageFrame& f, double minFlux, double maxFlux) {
        std::vector<TrueStar> all, picked;
        for (int i = 0; i < bench_->sim.StarCount(); ++i) {
            TrueStar s{};
            bench_->sim.Star(i, s.x, s.y, s.flux);
            all.push_back(s);
        }
        const double x0 = f.OriginX + 24, y0 = f.OriginY + 24;
        const double x1 = f.OriginX + f.Width * f.BinX - 24,
                     y1 = f.OriginY + f.Height * f.BinY - 24;
        for (const TrueStar& s : all) {
            if (s.flux < minFlux || s.flux > maxFlux || s.x < x0 || s.y < y0 || s.x > x1 ||
                s.y > y1)
                continue;
            bool crowded = false;
            for (const TrueStar& o : all)
                if (&o != &s && std::hypot(o.x - s.x, o.y - s.y) < 24 && o.flux > 0.01 * s.flux)
                    crowded = true;
            if (!crowded) picked.push_back(s);
        }
        return picked;
    }

    std::unique_ptr<SimBench> bench_;
};

// Measures the star picked (as a user would) within a pixel of its true place.
StarMeasurement MeasureAt(const ImageFrame& f, const TrueStar& s, Point* followed = nullptr) {
    Point p{static_cast<int>(s.x), static_cast<int>(s.y)};
    StarMeasurement m;
    EXPECT_TRUE(StarTracker::Measure(f, p, 15, 8, m)) << "star at " << s.x << ", " << s.y;
    if (followed) *followed = p;
    return m;
}

}  // namespace

TEST_F(SimStars, CentroidLiesOnTheTrueStarAtBinningOneAndTwoInASubframe) {
    Start("");
    struct Case {
        int bin;
        float seconds;
    };
    for (const Case c : {Case{1, 4.0f}, Case{2, 2.0f}}) {
        SCOPED_TRACE(c.bin);
        const ImageFrame f = Expose(c.bin, 120, 90, 700, 560, c.seconds);
        ASSERT_EQ(f.OriginX, 120);
        ASSERT_EQ(f.BinX, c.bin);
        // Bright enough for a good signal (10^4 electrons and more), faint enough not to clip
        // at 16 bits.
        const std::vector<TrueStar> stars = IsolatedStars(f, 5000, 50000);
        ASSERT_GE(stars.size(), 3u);
        for (const TrueStar& s : stars) {
            Point followed;
            const StarMeasurement m = MeasureAt(f, s, &followed);
            EXPECT_NEAR(m.column, s.x, 0.05) << "flux " << s.flux;
            EXPECT_NEAR(m.row, s.y, 0.05) << "flux " << s.flux;
            EXPECT_GT(m.brightness, 200.0f);
            // The position is the peak pixel's corner on the sensor, within a bin of the star.
            EXPECT_EQ((followed.x - f.OriginX) % c.bin, 0);
            EXPECT_LE(std::abs(followed.x - s.x), c.bin + 0.5);
            EXPECT_LE(std::abs(followed.y - s.y), c.bin + 0.5);
        }
    }
}

TEST_F(SimStars, WidthGrowsInProportionToTheStar) {
    // The same field drawn with stars of twice the width (the simulator's option fwhm).
    auto meanWidth = [this](const char* fwhm, float seconds) {
        Start(fwhm);
        const ImageFrame f = Expose(1, 0, 0, 900, 700, seconds);
        double sum = 0;
        int n = 0;
        // Stars whose wide image still stands well above the sky's noise.
        for (const TrueStar& s : IsolatedStars(f, 6000, 25000)) {
            sum += MeasureAt(f, s).width;
            ++n;
        }
        EXPECT_GE(n, 3);
        return n ? sum / n : 0.0;
    };
    const double narrow = meanWidth("fwhm=2.5", 4.0f);
    const double wide = meanWidth("fwhm=5", 4.0f);
    EXPECT_GT(narrow, 1.0);
    EXPECT_NEAR(wide / narrow, 2.0, 0.1);
}

// ---------------------------------------------------------------------------------------------
// Hand-made frames

namespace {

ImageFrame Flat(int w, int h, uint16_t value, int ox = 0, int oy = 0, int bin = 1) {
    std::vector<uint16_t> px(static_cast<size_t>(w) * h, value);
    ImageFrame f;
    f.Assign(px.data(), w, h);
    f.OriginX = ox;
    f.OriginY = oy;
    f.BinX = f.BinY = bin;
    return f;
}

void Put(ImageFrame& f, int c, int r, uint16_t v) {
    f.Pixels[static_cast<size_t>(r) * f.Width + c] = v;
}

}  // namespace

TEST(StarTracker, SearchRulesTiesFlatWindowsAndFrameEdges) {
    // Equal maxima: the lower row wins, then the lower column.
    ImageFrame f = Flat(40, 40, 1000);
    Put(f, 25, 22, 5000);
    Put(f, 21, 22, 5000);
    Put(f, 18, 24, 5000);
    Point p{20, 20};
    StarMeasurement m;
    StarTracker::Measure(f, p, 15, 8, m);
    EXPECT_EQ(p, (Point{21, 22}));

    // A flat window: valid, no brightness, no width, the peak pixel itself (first in reading
    // order of the window).
    ImageFrame flat = Flat(40, 40, 1000);
    p = {20, 20};
    EXPECT_TRUE(StarTracker::Measure(flat, p, 5, 8, m));
    EXPECT_EQ(p, (Point{15, 15}));
    EXPECT_EQ(m.brightness, 0.0f);
    EXPECT_EQ(m.width, 0.0f);
    EXPECT_EQ(m.column, 15.0f);
    EXPECT_EQ(m.row, 15.0f);

    // A star in the last row and column: the window keeps its in-frame part.
    ImageFrame corner = Flat(40, 30, 1000);
    Put(corner, 39, 29, 9000);
    Put(corner, 38, 29, 3000);
    Put(corner, 39, 28, 3000);
    p = {39, 29};
    EXPECT_TRUE(StarTracker::Measure(corner, p, 15, 8, m));
    EXPECT_EQ(p, (Point{39, 29}));
    EXPECT_GT(m.column, 39.0f);
    EXPECT_LT(m.column, 39.5f);
    EXPECT_GT(m.width, 0.0f);

    // Off the frame (the failed-pick and no-star markers included): nothing moves.
    for (Point off : {Point{-1, -1}, Point{-1000, -1000}, Point{40, 5}, Point{5, 30}}) {
        Point q = off;
        EXPECT_FALSE(StarTracker::Measure(corner, q, 15, 8, m));
        EXPECT_EQ(q, off);
        EXPECT_EQ(m.column, -1000.0f);
        EXPECT_EQ(m.width, 0.0f);
    }
}

TEST(StarTracker, AFailedMeasurementLeavesThePositionWhereTheStarWasLastSeen) {
    // A broad plateau: its half-flux radius is far beyond half the measurement radius of 4.
    ImageFrame f = Flat(60, 60, 1000);
    for (int r = 20; r < 40; ++r)
        for (int c = 20; c < 40; ++c) Put(f, c, r, 4000);
    Put(f, 31, 30, 4100);
    Point p{26, 26};
    StarMeasurement m;
    EXPECT_FALSE(StarTracker::Measure(f, p, 15, 4, m));
    EXPECT_EQ(p, (Point{26, 26}));
    EXPECT_EQ(m.column, -1000.0f);
    EXPECT_EQ(m.brightness, 0.0f);

    // Radii from a damaged settings file: no overflow, no endless walk; the whole frame is
    // searched.
    StarTracker::Measure(f, p, 2147483647, 2147483647, m);
    EXPECT_EQ(p, (Point{31, 30}));

    // A cloud: frames of noise alone. The position waits where the star was, and the star,
    // back a few pixels further on, is found again.
    std::mt19937 noise(7);
    std::normal_distribution<float> deviate(1000, 20);
    const auto star = [](int c, int r) {
        ImageFrame s = Flat(60, 60, 1000);
        Put(s, c, r, 9000);
        for (const Point n : {Point{c - 1, r}, Point{c + 1, r}, Point{c, r - 1}, Point{c, r + 1}})
            Put(s, n.x, n.y, 4000);
        return s;
    };
    p = {30, 30};
    ASSERT_TRUE(StarTracker::Measure(star(30, 30), p, 6, 4, m));
    for (int i = 0; i < 20; ++i) {
        ImageFrame cloud = Flat(60, 60, 0);
        for (size_t k = 0; k < 3600; ++k) cloud.Pixels[k] = static_cast<uint16_t>(deviate(noise));
        EXPECT_FALSE(StarTracker::Measure(cloud, p, 6, 4, m));
        ASSERT_EQ(p, (Point{30, 30})) << "frame " << i;
    }
    EXPECT_TRUE(StarTracker::Measure(star(34, 27), p, 6, 4, m));
    EXPECT_EQ(p, (Point{34, 27}));
}

TEST(StarTracker, BinnedSubframeCentroidInSensorPixels) {
    // Binning 2, origin (100, 50); thresholded weights 100, 200 / 0, 100 in columns 9-10 and
    // rows 4-5 put the centroid at frame (10.25, 4.75).
    ImageFrame f = Flat(30, 20, 1000, 100, 50, 2);
    Put(f, 9, 4, 1110);
    Put(f, 10, 4, 1210);
    Put(f, 10, 5, 1110);
    Point p{121, 59};  // frame (10, 4)
    StarMeasurement m;
    ASSERT_TRUE(StarTracker::Measure(f, p, 15, 8, m));
    EXPECT_EQ(p, (Point{120, 58}));
    EXPECT_FLOAT_EQ(m.column, 120.5f);
    EXPECT_FLOAT_EQ(m.row, 59.5f);
    EXPECT_FLOAT_EQ(m.brightness, 210.0f);
}
