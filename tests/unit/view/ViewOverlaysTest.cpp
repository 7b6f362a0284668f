#include <gtest/gtest.h>

#include <cmath>

#include "view/ViewOverlays.h"

namespace zorvane {
namespace {

using Kind = OverlayPrimitive::Kind;

// A 640 × 480 sensor filling a 640 × 480 window at 1:1: screen = sensor.
ViewGeometry OneToOne() {
    ViewGeometry g;
    g.SetSensorRect({0, 0, 640, 480});
    g.SetClientSize(640, 480);
    return g;
}

TEST(ViewOverlays, SelectionAndSensorOutline) {
    ViewGeometry g = OneToOne();
    g.SetZoom(1);  // 1.5: rectangles round to the nearest pixel
    OverlayState s;
    s.selection = {300, 200, 340, 281};
    const auto list = BuildOverlays(s, g);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].kind, Kind::RectOutline);
    EXPECT_EQ(list[0].colour, (Rgb{255, 0, 0}));
    // (300 - 320) × 1.5 + 320 = 290, (281 - 240) × 1.5 + 240 + 0.5 = 302
    EXPECT_EQ(list[0].rect, (Rect{290, 180, 350, 302}));
    EXPECT_EQ(list[1].colour, (Rgb{0, 255, 0}));
    EXPECT_EQ(list[1].rect, (Rect{-160, -120, 801, 601}));

    // Nothing at all without a camera and without marks.
    EXPECT_TRUE(BuildOverlays(OverlayState{}, ViewGeometry{}).empty());
}

TEST(ViewOverlays, Reticle) {
    OverlayState s;
    s.reticle = true;
    const auto list = BuildOverlays(s, OneToOne());
    // Outline, four hair lines, eight ticks, two circles.
    ASSERT_EQ(list.size(), 15u);
    for (size_t i = 1; i < list.size(); ++i) EXPECT_EQ(list[i].colour, (Rgb{200, 100, 0}));
    // R = (-1, -1, 641, 481): centre (320, 240), h 482, gap 7, tick spacing 60.
    // The upward hair line stops one pixel short of the outline's top row.
    EXPECT_EQ(list[1].points, (std::vector<Point>{{320, 233}, {320, 0}}));
    EXPECT_EQ(list[3].points, (std::vector<Point>{{327, 240}, {640, 240}}));
    // First tick across the vertical hair line, 60 above the centre, 2g long.
    EXPECT_EQ(list[5].points, (std::vector<Point>{{313, 180}, {326, 180}}));
    EXPECT_EQ(list[6].points[0], (Point{313, 60}));

    const auto& inner = list[13];
    const auto& outer = list[14];
    EXPECT_EQ(inner.kind, Kind::Polyline);
    ASSERT_EQ(inner.points.size(), 74u);  // start point plus 0..360 degrees in 5° steps
    EXPECT_EQ(inner.points.front(), (Point{440, 240}));
    EXPECT_EQ(inner.points[1], (Point{440, 240}));
    EXPECT_EQ(inner.points[19], (Point{320, 360}));  // 90°
    EXPECT_EQ(outer.points.front(), (Point{561, 240}));
    for (const Point& p : outer.points) EXPECT_NEAR(std::hypot(p.x - 320, p.y - 240), 241, 1.5);
}

TEST(ViewOverlays, TrackedStarAndGuideTarget) {
    OverlayState s;
    s.trackedStar = {100, 50};
    s.measureRadius = 8;
    s.guideTarget = {200, 100};
    const auto list = BuildOverlays(s, OneToOne());
    ASSERT_EQ(list.size(), 7u);  // sensor, star box, target square and four arms
    EXPECT_EQ(list[1].colour, (Rgb{128, 128, 0}));
    EXPECT_EQ(list[1].rect, (Rect{92, 42, 108, 58}));
    EXPECT_EQ(list[2].colour, (Rgb{128, 0, 128}));
    EXPECT_EQ(list[2].rect, (Rect{190, 90, 210, 110}));
    // Arms reach half-way to the centre (200, 100) and stop short of it.
    EXPECT_EQ(list[3].points, (std::vector<Point>{{200, 90}, {200, 94}}));
    EXPECT_EQ(list[4].points, (std::vector<Point>{{200, 110}, {200, 106}}));
    EXPECT_EQ(list[5].points, (std::vector<Point>{{190, 100}, {194, 100}}));
    EXPECT_EQ(list[6].points, (std::vector<Point>{{210, 100}, {206, 100}}));

    s.trackedStar = {-1, -1};
    s.guideTarget = {-1000, -1000};
    EXPECT_EQ(BuildOverlays(s, OneToOne()).size(), 1u);
}

TEST(ViewOverlays, CalibrationTrack) {
    OverlayState s;
    std::vector<Point> track;
    s.calibrationTrack = &track;
    EXPECT_EQ(BuildOverlays(s, OneToOne()).size(), 1u);

    track = {{100, 100}};
    auto list = BuildOverlays(s, OneToOne());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].kind, Kind::Ellipse);
    EXPECT_EQ(list[1].rect, (Rect{94, 94, 106, 106}));

    track = {{100, 100}, {130, 100}, {130, 140}};
    list = BuildOverlays(s, OneToOne());
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list[2].kind, Kind::Line);
    EXPECT_EQ(list[2].colour, (Rgb{128, 0, 128}));
    EXPECT_EQ(list[2].points, (std::vector<Point>{{100, 100}, {129, 100}}));
    EXPECT_EQ(list[3].rect, (Rect{124, 94, 136, 106}));
    EXPECT_EQ(list[5].rect, (Rect{124, 134, 136, 146}));
}

}  // namespace
}  // namespace zorvane
