#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "view/DisplayTranslator.h"

namespace zorvane {
namespace {

ImageFrame Frame(int w, int h, uint16_t value) {
    ImageFrame f;
    std::vector<uint16_t> px(size_t(w) * h, value);
    f.Assign(px.data(), w, h);
    f.BinX = f.BinY = 1;
    return f;
}

void Put(ImageFrame& f, int c, int r, uint16_t v) {
    f.Pixels[size_t(r) * f.Width + c] = v;
}

TEST(DisplayTranslator, TinyAndEmptyFramesGiveZeroOne) {
    DisplayTranslator t;
    ImageFrame six = Frame(6, 6, 1234);  // interior 4 × 4 = 16 pixels: too few
    EXPECT_EQ(t.Update(six), (DisplayTranslator::Levels{0, 1}));
    EXPECT_EQ(t.BlackLevel(), 0);
    EXPECT_EQ(t.WhiteLevel(), 1);

    // The frame after a disconnect still has its allocation: same result.
    t.SetLevels(300, 400);
    six.Assign(nullptr, 0, 0);
    EXPECT_EQ(t.Update(six), (DisplayTranslator::Levels{0, 1}));
    EXPECT_EQ(t.WhiteLevel(), 1);

    // Without any pixel array the levels are left as the user set them.
    DisplayTranslator fresh;
    fresh.SetLevels(300, 400);
    EXPECT_EQ(fresh.Update(ImageFrame{}), (DisplayTranslator::Levels{0, 1}));
    EXPECT_EQ(fresh.BlackLevel(), 300);
    EXPECT_EQ(fresh.WhiteLevel(), 400);
}

TEST(DisplayTranslator, PercentilesOfTheInteriorOnly) {
    // 1000 × 1000: n = 998 × 998 = 996004, so t = 973.
    ImageFrame f = Frame(1000, 1000, 30000);
    for (int c = 0; c < 1000; ++c) {  // a border that must not count
        Put(f, c, 0, 0);
        Put(f, c, 999, 65535);
    }
    int placed = 0;
    for (int r = 1; r < 999 && placed < 972; ++r)
        for (int c = 1; c < 999 && placed < 972; ++c, ++placed) {
            Put(f, c, r, 10);
            Put(f, c, 999 - r, 60000);
        }
    Put(f, 500, 500, 20);     // the 973rd smallest
    Put(f, 501, 500, 50000);  // the 973rd largest
    DisplayTranslator t;
    EXPECT_EQ(t.Update(f), (DisplayTranslator::Levels{20, 50000}));
    EXPECT_EQ(t.BlackLevel(), 20);
    EXPECT_EQ(t.WhiteLevel(), 50000);
    EXPECT_EQ(t.Histogram()[10], 972u);
    EXPECT_EQ(t.Histogram()[0], 0u);

    // Auto stretch off: the levels stay, the histogram points are still reported.
    t.SetAutoStretch(false);
    t.SetLevels(5, 6);
    EXPECT_EQ(t.Update(f), (DisplayTranslator::Levels{20, 50000}));
    EXPECT_EQ(t.BlackLevel(), 5);
}

TEST(DisplayTranslator, ConstantFramesAreRepairedToAStep) {
    DisplayTranslator t;
    EXPECT_EQ(t.Update(Frame(20, 20, 500)), (DisplayTranslator::Levels{500, 501}));
    EXPECT_EQ(t.Lut()[500], 0);
    EXPECT_EQ(t.Lut()[501], 255);
    EXPECT_EQ(t.Update(Frame(20, 20, 65535)), (DisplayTranslator::Levels{65534, 65535}));
}

TEST(DisplayTranslator, GammaTable) {
    DisplayTranslator t;
    EXPECT_EQ(t.GammaTableExponent(), -1.0f);
    t.Update(ImageFrame{});
    EXPECT_EQ(t.GammaTableExponent(), 1.0f);
    for (int k = 0; k < 4096; ++k) ASSERT_EQ(t.GammaTable()[k], k / 16) << k;
    EXPECT_EQ(t.GammaTable()[4096], 255);

    ASSERT_TRUE(t.SetGamma(2.0f));  // exponent 0.5
    t.Update(ImageFrame{});
    EXPECT_EQ(t.GammaTableExponent(), 0.5f);
    EXPECT_EQ(t.GammaTable()[0], 0);
    EXPECT_EQ(t.GammaTable()[1024], 128);  // sqrt(1/4) × 256
    EXPECT_EQ(t.GammaTable()[16], 16);     // sqrt(1/256) × 256
    EXPECT_EQ(t.GammaTable()[4096], 255);

    EXPECT_FALSE(t.SetGamma(0.0f));
    EXPECT_FALSE(t.SetGamma(-2.0f));
    EXPECT_EQ(t.Gamma(), 2.0f);
}

TEST(DisplayTranslator, LookupTableRamps) {
    DisplayTranslator t;
    t.SetAutoStretch(false);
    t.SetLevels(0, 1000);
    t.Update(ImageFrame{});
    EXPECT_EQ(t.Lut()[0], 0);
    EXPECT_EQ(t.Lut()[500], 127);  // k = 2047, one step short of half because of the 0.0001
    EXPECT_EQ(t.Lut()[1000], 255);
    EXPECT_EQ(t.Lut()[65535], 255);

    t.SetNegative(true);
    t.SetLevels(0, 65535);
    t.Update(ImageFrame{});
    EXPECT_EQ(t.Lut()[0], 255);
    EXPECT_EQ(t.Lut()[65535], 0);

    // White below black: a falling ramp between them.
    t.SetNegative(false);
    t.SetLevels(4096, 0);
    t.Update(ImageFrame{});
    EXPECT_EQ(t.Lut()[0], 255);
    EXPECT_EQ(t.Lut()[4096], 0);
    EXPECT_GT(t.Lut()[1000], t.Lut()[3000]);
}

// The counting keeps its histograms zero outside the values a frame used and splits large
// frames over two threads; from frame to frame the result must still be a plain count.
TEST(DisplayTranslator, EachFrameIsCountedAfreshAtAnySize) {
    std::mt19937 rng(3);
    auto frame = [&](int w, int h, int lo, int hi) {
        ImageFrame f = Frame(w, h, 0);
        std::uniform_int_distribution<int> value(lo, hi);
        for (int i = 0; i < w * h; ++i) f.Pixels[i] = uint16_t(value(rng));
        return f;
    };
    std::vector<ImageFrame> frames;
    frames.push_back(frame(300, 200, 0, 65535));
    frames.push_back(frame(120, 90, 1000, 1010));
    frames.push_back(frame(2200, 2000, 900, 1100));  // two threads
    Put(frames.back(), 3, 2, 65535);                 // a lone hot pixel in the first rows
    Put(frames.back(), 2100, 1990, 7);               // and a cold one in the last
    frames.push_back(frame(300, 200, 40000, 40001));
    frames.push_back(frame(6, 6, 5, 6));  // too few pixels: an empty histogram

    DisplayTranslator t, c;
    for (const ImageFrame& f : frames) {
        std::vector<uint32_t> want(65536, 0);
        for (int r = 1; r < f.Height - 1; ++r)
            for (int c = 1; c < f.Width - 1; ++c) ++want[f.At(c, r)];
        if (f.Width <= 6) std::fill(want.begin(), want.end(), 0);
        DisplayTranslator::Levels levels{0, 1};
        const uint64_t n = uint64_t(f.Width - 2) * (f.Height - 2), limit = (n >> 10) + 1;
        if (f.Width > 6) {
            uint64_t sum = 0;
            for (levels.low = 0; (sum += want[levels.low]) < limit;) ++levels.low;
            sum = 0;
            for (levels.high = 65535; (sum += want[levels.high]) < limit;) --levels.high;
        }
        ASSERT_EQ(t.Update(f), levels) << f.Width;
        ASSERT_TRUE(std::equal(want.begin(), want.end(), t.Histogram())) << f.Width;

        // The same count made while the frame is copied, as the view does with a new frame.
        std::vector<uint16_t> copy(size_t(f.Width) * f.Height, 0xDEAD);
        const bool counted = c.CopyAndCount(copy.data(), f.Pixels.get(), f.Width, f.Height);
        ASSERT_EQ(c.Update(f, counted), levels) << f.Width;
        ASSERT_TRUE(std::equal(want.begin(), want.end(), c.Histogram())) << f.Width;
        ASSERT_TRUE(std::equal(copy.begin(), copy.end(), f.Pixels.get())) << f.Width;
    }
}

// The table is only worked out between the levels; everything must still follow the formula.
TEST(DisplayTranslator, LookupTableFollowsTheFormulaEverywhere) {
    struct Case {
        int black, white;
        float gamma;
        bool negative;
    };
    DisplayTranslator t;
    t.SetAutoStretch(false);
    for (const Case& c :
         {Case{0, 1, 1.0f, false}, Case{1000, 1010, 2.0f, false}, Case{1000, 1010, 2.0f, true},
          Case{30000, 64000, 0.4f, true}, Case{65534, 65535, 1.0f, false},
          Case{0, 65535, 1.5f, false}, Case{5000, 200, 1.0f, false}, Case{5000, 200, 1.0f, true}}) {
        t.SetLevels(c.black, c.white);
        t.SetGamma(c.gamma);
        t.SetNegative(c.negative);
        t.Update(ImageFrame{});
        const float s = static_cast<float>(4096.0 / ((c.white - c.black) + 0.0001));
        for (int v = 0; v < 65536; ++v) {
            int k = std::clamp(static_cast<int>(float(v - c.black) * s), 0, 4096);
            if (c.negative) k = 4096 - k;
            ASSERT_EQ(t.Lut()[v], t.GammaTable()[k]) << c.black << "-" << c.white << " at " << v;
        }
    }

    // White equal to black: a step at the level, white above it however far above.
    t.SetGamma(1.0f);
    t.SetNegative(false);
    t.SetLevels(1000, 1000);
    t.Update(ImageFrame{});
    EXPECT_EQ(t.Lut()[1000], 0);
    EXPECT_EQ(t.Lut()[1001], 255);
    EXPECT_EQ(t.Lut()[1053], 255);
    EXPECT_EQ(t.Lut()[65535], 255);
}

TEST(DisplayTranslator, InitialTableIsTheHighByte) {
    DisplayTranslator t;
    EXPECT_EQ(t.Lut()[0x1234], 0x12);
    EXPECT_EQ(t.Lut()[65535], 255);
}

TEST(DisplayTranslator, LogValueAndGamma) {
    EXPECT_FLOAT_EQ(DisplayTranslator::LogValueFromGamma(2.0f), 1.0f);
    EXPECT_FLOAT_EQ(DisplayTranslator::LogValueFromGamma(0.5f), -1.0f);
    EXPECT_FLOAT_EQ(DisplayTranslator::LogValueFromGamma(1.0f), 0.0f);
    EXPECT_FLOAT_EQ(DisplayTranslator::GammaFromLogValue(1.0f), 2.0f);
    EXPECT_FLOAT_EQ(DisplayTranslator::GammaFromLogValue(-1.0f), 0.5f);
    EXPECT_FLOAT_EQ(DisplayTranslator::GammaFromLogValue(-10.0f), 1.0f / 11.0f);
}

}  // namespace
}  // namespace zorvane
