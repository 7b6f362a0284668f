#include <gtest/gtest.h>

#include <vector>

#include "FakeViewHost.h"
#include "view/ImageView.h"
#include "view/ViewInteraction.h"

namespace zorvane {
namespace {

// A 1000 × 800 sensor in a 1000 × 800 window at 1:1, so screen and sensor pixels coincide.
struct InteractionTest : ::testing::Test {
    test::FakeViewHost host;
    test::FakeViewObserver observer;
    ImageView view{host};
    ViewInteraction& mouse = view.Interaction();

    InteractionTest() {
        view.SetObserver(&observer);
        view.SetSensorSize(1000, 800);
        view.SetClientSize(1000, 800);
    }
    void Drag(Point from, Point to) {
        mouse.LeftDown(from);
        mouse.MouseMove(to);
        mouse.LeftUp(to);
    }
};

TEST_F(InteractionTest, LeftDragWithoutSelectionPans) {
    EXPECT_TRUE(mouse.LeftDown({100, 100}));
    EXPECT_EQ(mouse.DragKind(), ViewInteraction::kPan);
    mouse.MouseMove({130, 120});
    mouse.MouseMove({140, 125});
    EXPECT_EQ(view.PanX(), 40);
    EXPECT_EQ(view.PanY(), 25);
    EXPECT_EQ(view.ScrollBars().horizontal.position, -540);
    EXPECT_EQ(view.ScrollBars().vertical.position, -425);
    EXPECT_TRUE(mouse.LeftUp({140, 125}));
    EXPECT_FALSE(mouse.Dragging());
    EXPECT_TRUE(host.subframes.empty());
    EXPECT_TRUE(host.readouts.empty());  // no read-out while dragging
}

TEST_F(InteractionTest, CornerGrabMovesTwoEdgesAndCommitsOnRelease) {
    view.SetSelection({200, 200}, {400, 300});
    mouse.LeftDown({199, 199});
    EXPECT_EQ(mouse.DragKind(), ViewInteraction::kLeft | ViewInteraction::kTop);
    mouse.MouseMove({189, 209});
    EXPECT_EQ(view.Selection(), (Rect{190, 210, 400, 300}));
    EXPECT_EQ(host.subframes.size(), 1u);  // only the initial SetSelection so far
    mouse.LeftUp({189, 209});
    ASSERT_EQ(host.subframes.size(), 2u);
    EXPECT_EQ(host.subframes.back(), (Rect{190, 210, 400, 300}));
}

TEST_F(InteractionTest, EdgeDraggedAcrossItsOppositeKeepsFollowingTheCursor) {
    view.SetSelection({200, 200}, {400, 300});
    mouse.LeftDown({401, 250});
    EXPECT_EQ(mouse.DragKind(), ViewInteraction::kRight);
    mouse.MouseMove({150, 250});
    EXPECT_EQ(mouse.DragKind(), ViewInteraction::kLeft);
    EXPECT_EQ(view.Selection(), (Rect{149, 200, 200, 300}));
    mouse.MouseMove({120, 250});
    EXPECT_EQ(view.Selection(), (Rect{119, 200, 200, 300}));
    // Vertically too: the top edge dragged below the bottom becomes the bottom.
    mouse.LeftUp({120, 250});
    mouse.LeftDown({150, 199});
    EXPECT_EQ(mouse.DragKind(), ViewInteraction::kTop);
    mouse.MouseMove({150, 350});
    EXPECT_EQ(mouse.DragKind(), ViewInteraction::kBottom);
    EXPECT_EQ(view.Selection(), (Rect{119, 300, 200, 351}));
}

TEST_F(InteractionTest, PressInsideMovesTheWholeRectangle) {
    view.SetSelection({200, 200}, {400, 300});
    mouse.LeftDown({300, 250});
    EXPECT_EQ(mouse.DragKind(), 0);
    mouse.MouseMove({310, 260});
    mouse.MouseMove({320, 240});
    EXPECT_EQ(view.Selection(), (Rect{220, 190, 420, 290}));
    EXPECT_EQ(host.subframes.size(), 1u);
    mouse.LeftUp({320, 240});
    EXPECT_EQ(host.subframes.back(), (Rect{220, 190, 420, 290}));
    EXPECT_EQ(view.PanX(), 0);
}

TEST_F(InteractionTest, NewSelectionByDefineModeOrRightDrag) {
    view.SetDefineMode(true);
    mouse.LeftDown({100, 100});
    EXPECT_FALSE(view.DefineMode());
    mouse.MouseMove({150, 120});
    mouse.MouseMove({160, 130});
    EXPECT_EQ(host.subframes.size(), 2u);  // told on every move
    mouse.LeftUp({160, 130});
    EXPECT_EQ(host.subframes.back(), (Rect{100, 100, 160, 130}));

    // A right drag draws a new one even over the old rectangle's edges, in any direction.
    EXPECT_TRUE(mouse.RightDown({160, 130}));
    mouse.MouseMove({20, 10});
    EXPECT_TRUE(mouse.RightUp({20, 10}));
    EXPECT_EQ(host.subframes.back(), (Rect{20, 10, 160, 130}));
    // A right release during a left drag does nothing.
    mouse.LeftDown({500, 500});
    EXPECT_FALSE(mouse.RightUp({500, 500}));
    EXPECT_TRUE(mouse.Dragging());
}

TEST_F(InteractionTest, LockedExposureSettingsProtectTheSelection) {
    view.SetSelection({200, 200}, {400, 300});
    host.locked = true;
    EXPECT_EQ(mouse.HitTest({300, 250}), -1);
    EXPECT_FALSE(mouse.RightDown({10, 10}));
    Drag({199, 199}, {209, 189});  // pans instead
    EXPECT_EQ(view.Selection(), (Rect{200, 200, 400, 300}));
    EXPECT_EQ(view.PanX(), 10);
    // Define mode still draws (the image is panned by (10, -10) now).
    view.SetDefineMode(true);
    Drag({10, 10}, {50, 40});
    EXPECT_EQ(view.Selection(), (Rect{0, 20, 40, 50}));
}

TEST_F(InteractionTest, CursorShapes) {
    view.SetSelection({200, 200}, {400, 300});  // grab area 198..402 × 198..302
    EXPECT_EQ(mouse.CursorAt({50, 50}), ViewCursor::Arrow);
    EXPECT_EQ(mouse.CursorAt({199, 250}), ViewCursor::SizeWE);
    EXPECT_EQ(mouse.CursorAt({397, 250}), ViewCursor::SizeWE);
    EXPECT_EQ(mouse.CursorAt({300, 301}), ViewCursor::SizeNS);
    EXPECT_EQ(mouse.CursorAt({199, 199}), ViewCursor::SizeNWSE);
    EXPECT_EQ(mouse.CursorAt({401, 301}), ViewCursor::SizeNWSE);
    EXPECT_EQ(mouse.CursorAt({401, 199}), ViewCursor::SizeNESW);
    EXPECT_EQ(mouse.CursorAt({300, 250}), ViewCursor::SizeAll);
    EXPECT_EQ(mouse.CursorAt({402, 250}), ViewCursor::Arrow);  // right edge is outside
    view.SetDefineMode(true);
    EXPECT_EQ(mouse.CursorAt({50, 50}), ViewCursor::Cross);
}

TEST_F(InteractionTest, WheelZoomsAboutTheCursor) {
    const Point cursor{700, 300};
    const Point star = view.Geometry().ScreenToSensor(cursor);
    view.SetDisplayDialogExists(true);
    mouse.Wheel(cursor, 120);
    EXPECT_EQ(view.ZoomLevel(), 1);
    EXPECT_EQ(view.Geometry().SensorToScreen(star), cursor);
    EXPECT_EQ(observer.dialogZooms, std::vector<int>{1});
    EXPECT_EQ(view.DialogModel().controls.zoomTrack, 1);

    mouse.Wheel(cursor, 60);  // less than a notch
    EXPECT_EQ(view.ZoomLevel(), 1);
    mouse.Wheel(cursor, -120 * 30);
    EXPECT_EQ(view.ZoomLevel(), -18);
}

TEST_F(InteractionTest, ReadoutReportsOriginPlusColumnAndRow) {
    std::vector<uint16_t> px(20 * 20);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint16_t(i);
    view.SetFrame(px.data(), 100, 50, 20, 20, 2, 2, false, false);
    mouse.MouseMove({110, 60});
    ASSERT_EQ(host.readouts.size(), 1u);
    EXPECT_EQ(host.readouts[0].x, 105);
    EXPECT_EQ(host.readouts[0].y, 55);
    EXPECT_EQ(host.readouts[0].value, 5 * 20 + 5);
    // Just left of the origin truncates to column 0 and still reads.
    mouse.MouseMove({99, 50});
    EXPECT_EQ(host.readouts[1].value, 0);
    mouse.MouseMove({10, 10});
    EXPECT_EQ(host.readouts[2].value, -1);
}

TEST_F(InteractionTest, ReadoutBeforeAnyFrameIsSafeAndFollowsTheNextFrame) {
    view.SetFrame(nullptr, 0, 0, 0, 0, 1, 1, false, false);
    EXPECT_TRUE(host.readouts.empty()) << "no read-out before the mouse was over the view";
    mouse.MouseMove({110, 60});
    ASSERT_EQ(host.readouts.size(), 1u);
    EXPECT_EQ(host.readouts[0].value, -1);
    // The frame arrives under a mouse that does not move.
    std::vector<uint16_t> px(20 * 20, 321);
    view.SetFrame(px.data(), 100, 50, 20, 20, 2, 2, false, false);
    ASSERT_EQ(host.readouts.size(), 2u);
    EXPECT_EQ(host.readouts[1].value, 321);
    EXPECT_EQ(host.readouts[1].x, 105);
}

TEST_F(InteractionTest, DoubleClickPicksTheStar) {
    mouse.LeftDoubleClick({300, 200});
    EXPECT_EQ(host.starPicks, 1);
    EXPECT_EQ(view.TrackedStar(), (Point{300, 200}));
    host.measureResult = false;
    mouse.LeftDoubleClick({600, 400});
    EXPECT_EQ(view.TrackedStar(), (Point{-1, -1}));
    EXPECT_EQ(host.measures, 2);
    // No box for a failed pick.
    for (const auto& p : view.Overlays()) EXPECT_NE(p.colour, OverlayColours::kTrackedStar);
}

}  // namespace
}  // namespace zorvane
