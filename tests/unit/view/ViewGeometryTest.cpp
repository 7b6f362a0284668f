#include <gtest/gtest.h>

#include "view/ViewGeometry.h"

namespace zorvane {
namespace {

ViewGeometry Geo(int level = 0) {
    ViewGeometry g;
    g.SetSensorRect({0, 0, 1000, 800});
    g.SetClientSize(640, 480);
    g.SetZoom(level);
    return g;
}

TEST(ViewGeometry, ZoomStepsAndLimits) {
    ViewGeometry g;
    EXPECT_EQ(g.ZoomFactor(), 1.0f);
    g.SetZoom(1);
    EXPECT_EQ(g.ZoomFactor(), 1.5f);
    g.SetZoom(-1);
    EXPECT_FLOAT_EQ(g.ZoomFactor(), 0.6666667f);
    g.SetZoom(4);
    EXPECT_EQ(g.ZoomFactor(), 3.0f);
    g.SetZoom(25);
    EXPECT_EQ(g.ZoomLevel(), 18);
    EXPECT_EQ(g.ZoomFactor(), 10.0f);
    g.SetZoom(-25);
    EXPECT_EQ(g.ZoomLevel(), -18);
    EXPECT_FLOAT_EQ(g.ZoomFactor(), 0.1f);
}

TEST(ViewGeometry, SensorCentreStaysAtWindowCentreWithoutPan) {
    for (int level : {-18, -5, -1, 0, 1, 7, 18}) {
        ViewGeometry g = Geo(level);
        EXPECT_EQ(g.SensorToScreen(Point{500, 400}), (Point{320, 240})) << level;
        EXPECT_EQ(g.ScreenToSensor(Point{320, 240}), (Point{500, 400})) << level;
    }
}

TEST(ViewGeometry, MappingsTruncateTowardZero) {
    ViewGeometry g = Geo(1);
    g.SetPan(10, -5);
    EXPECT_EQ(g.SensorToScreen(Point{0, 0}), (Point{-420, -365}));
    // Rectangles add a half before truncating: -419.5 becomes -419, 1080.5 becomes 1080.
    EXPECT_EQ(g.SensorToScreen(Rect{0, 0, 1000, 800}), (Rect{-419, -364, 1080, 835}));
    EXPECT_EQ(g.ScreenToSensor(Point{0, 0}), (Point{280, 243}));
    // -253.33 becomes -253, not -254.
    EXPECT_EQ(g.ScreenToSensor(Point{-800, 0}).x, -253);
}

TEST(ViewGeometry, AspectCorrectionStretchesTheLongerPixelSide) {
    ViewGeometry g = Geo();
    g.SetPixelSize(8.6f, 8.3f);
    EXPECT_FLOAT_EQ(g.AspectX(), 8.6f / 8.3f);
    EXPECT_EQ(g.AspectY(), 1.0f);
    const Rect on = g.SensorToScreen(g.SensorRect());
    g.SetAspectCorrection(false);
    const Rect off = g.SensorToScreen(g.SensorRect());
    // -179.5 .. 820.5 and -197.57 .. 838.57, truncated toward zero.
    EXPECT_EQ(off.Width(), 999);
    EXPECT_EQ(on.Width(), 1035);
    EXPECT_EQ(on.Height(), off.Height());

    g.SetPixelSize(5.0f, 10.0f);
    EXPECT_EQ(g.AspectX(), 1.0f);
    EXPECT_EQ(g.AspectY(), 2.0f);
    g.SetPixelSize(6.0f, 6.0f);
    EXPECT_EQ(g.AspectX(), 1.0f);
    EXPECT_EQ(g.AspectY(), 1.0f);
    g.SetPixelSize(0.0f, 6.0f);  // no size reported: square
    EXPECT_EQ(g.AspectY(), 1.0f);
}

TEST(ViewGeometry, ScrollBarsClampThePan) {
    ViewGeometry g = Geo();
    ViewGeometry::ScrollBars b = g.UpdateScrollBars();
    EXPECT_EQ(b.horizontal, (ScrollBarState{-1320, 1320, 1000, -500, true}));
    EXPECT_EQ(b.vertical, (ScrollBarState{-1040, 1040, 800, -400, true}));

    g.SetPan(900, -2000);
    b = g.UpdateScrollBars();
    EXPECT_EQ(g.PanX(), 820);  // (640 + 1000) / 2
    EXPECT_EQ(g.PanY(), -640);
    EXPECT_EQ(b.horizontal.position, -1320);
    EXPECT_EQ(b.vertical.position, 240);

    // Dragging the thumb sets the pan back from the position.
    g.OnHorizontalThumb(-1000);
    EXPECT_EQ(g.PanX(), 500);
    g.OnVerticalThumb(0);
    EXPECT_EQ(g.PanY(), -400);

    ViewGeometry none;
    EXPECT_FALSE(none.UpdateScrollBars().horizontal.enabled);
}

TEST(ViewGeometry, ZoomAboutKeepsThePointOnScreen) {
    ViewGeometry g = Geo();
    g.SetPan(-37, 12);
    const Point star{123, 654};
    const Point before = g.SensorToScreen(star);
    g.ZoomAbout(star, 5);
    EXPECT_EQ(g.ZoomLevel(), 5);
    EXPECT_EQ(g.SensorToScreen(star), before);
}

}  // namespace
}  // namespace zorvane
