#include <gtest/gtest.h>

#include "view/NightVisionColours.h"

namespace zorvane {
namespace {

TEST(NightVisionColours, DimRedFromTheRedPart) {
    EXPECT_EQ(NightVisionColours::Dimmed({255, 255, 255}), (Rgb{192, 0, 0}));
    EXPECT_EQ(NightVisionColours::Dimmed({100, 7, 250}), (Rgb{75, 0, 0}));
    EXPECT_EQ(NightVisionColours::Dimmed({3, 200, 200}), (Rgb{3, 0, 0}));
    EXPECT_EQ(NightVisionColours::Dimmed({0, 255, 255}), (Rgb{0, 0, 0}));
}

TEST(NightVisionColours, OnTwiceOffOnceRestores) {
    NightVisionColours nv;
    const std::vector<Rgb> desktop{{255, 255, 255}, {10, 20, 30}};
    EXPECT_FALSE(nv.SwitchOff().has_value());
    auto red = nv.SwitchOn(desktop);
    ASSERT_TRUE(red.has_value());
    EXPECT_EQ(*red, (std::vector<Rgb>{{192, 0, 0}, {8, 0, 0}}));
    // Switching on again must not save the red colours as the originals.
    EXPECT_FALSE(nv.SwitchOn(*red).has_value());
    auto restored = nv.SwitchOff();
    ASSERT_TRUE(restored.has_value());
    EXPECT_EQ(*restored, desktop);
    EXPECT_FALSE(nv.IsOn());
    EXPECT_FALSE(nv.SwitchOff().has_value());
}

}  // namespace
}  // namespace zorvane
