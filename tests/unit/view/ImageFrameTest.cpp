#include <gtest/gtest.h>

#include <vector>

#include "view/ImageFrame.h"

namespace zorvane {
namespace {

TEST(ImageFrame, GrowsOnlyWhenTooSmallAndCopiesThePixels) {
    ImageFrame f;
    EXPECT_TRUE(f.IsEmpty());
    std::vector<uint16_t> big(20 * 10, 7);
    ASSERT_TRUE(f.Assign(big.data(), 20, 10));
    EXPECT_EQ(f.Capacity, 400u);
    const uint16_t* block = f.Pixels.get();

    std::vector<uint16_t> small{1, 2, 3, 4, 5, 6};
    ASSERT_TRUE(f.Assign(small.data(), 3, 2));
    EXPECT_EQ(f.Capacity, 400u);
    EXPECT_EQ(f.Pixels.get(), block);
    EXPECT_EQ(f.Width, 3);
    EXPECT_EQ(f.At(2, 1), 6);
    small[5] = 99;  // the caller's buffer is not kept
    EXPECT_EQ(f.At(2, 1), 6);

    // A 0 × 0 frame copies nothing, keeps the allocation and counts as empty.
    ASSERT_TRUE(f.Assign(nullptr, 0, 0));
    EXPECT_EQ(f.Capacity, 400u);
    EXPECT_TRUE(f.HasPixels());
    EXPECT_TRUE(f.IsEmpty());
    EXPECT_FALSE(f.ContainsFrame({0, 0}));
}

TEST(ImageFrame, FailedGrowthKeepsThePreviousFrame) {
    ImageFrame f;
    std::vector<uint16_t> px{1, 2, 3, 4};
    ASSERT_TRUE(f.Assign(px.data(), 2, 2));
    // Over 4 GB cannot be described by Capacity, so it is refused before anything is read.
    EXPECT_FALSE(f.Assign(px.data(), 70000, 70000));
    EXPECT_FALSE(f.Assign(nullptr, 5, 5));
    EXPECT_EQ(f.Capacity, 8u);
    EXPECT_EQ(f.Width, 2);
    EXPECT_EQ(f.Height, 2);
    EXPECT_EQ(f.At(1, 1), 4);
}

TEST(ImageFrame, SensorAndFrameCoordinatesTruncateTowardZero) {
    ImageFrame f;
    std::vector<uint16_t> px(10 * 10);
    f.Assign(px.data(), 10, 10);
    f.OriginX = 100;
    f.OriginY = 50;
    f.BinX = f.BinY = 2;
    EXPECT_EQ(f.SensorToFrame({105, 53}), (Point{2, 1}));
    // Left of the origin still lands on column 0.
    EXPECT_EQ(f.SensorToFrame({99, 50}), (Point{0, 0}));
    EXPECT_TRUE(f.ContainsFrame(f.SensorToFrame({99, 50})));
    EXPECT_EQ(f.SensorToFrame({97, 50}), (Point{-1, 0}));
    EXPECT_EQ(f.FrameToSensor({2, 1}), (Point{104, 52}));
    EXPECT_FALSE(f.ContainsFrame({10, 0}));

    // Before the first frame the binning is 0; the helpers must not divide by it.
    ImageFrame blank;
    EXPECT_EQ(blank.SensorToFrame({3, 4}), (Point{3, 4}));
    EXPECT_FALSE(blank.ContainsFrame({0, 0}));
}

}  // namespace
}  // namespace zorvane
