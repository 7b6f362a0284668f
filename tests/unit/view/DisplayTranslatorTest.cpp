#include <gtest/gtest.h>

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
