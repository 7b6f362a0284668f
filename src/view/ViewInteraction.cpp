#include "view/ViewInteraction.h"

#include <cstdlib>

#include "view/ImageView.h"

namespace zorvane {

namespace {
constexpr int kEdgeReach = 6;  // screen pixels from an edge that still grab it
}

int ViewInteraction::HitTest(Point cursor) const {
    const Rect& sel = view_.Selection();
    if (sel.IsEmpty() || view_.Host().IsExposureLocked()) return -1;
    const Rect r = view_.Geometry().SensorToScreen(sel).Inflated(2);
    if (cursor.x < r.left || cursor.x >= r.right || cursor.y < r.top || cursor.y >= r.bottom)
        return -1;
    int mask = 0;
    if (std::abs(cursor.x - r.left) < kEdgeReach) mask |= kLeft;
    if (std::abs(cursor.x - r.right) < kEdgeReach) mask |= kRight;
    if (std::abs(cursor.y - r.top) < kEdgeReach) mask |= kTop;
    if (std::abs(cursor.y - r.bottom) < kEdgeReach) mask |= kBottom;
    return mask;
}

ViewCursor ViewInteraction::CursorAt(Point cursor) const {
    if (defineMode_) return ViewCursor::Cross;
    switch (HitTest(cursor)) {
        case -1:
            return ViewCursor::Arrow;
        case kLeft:
        case kRight:
            return ViewCursor::SizeWE;
        case kTop:
        case kBottom:
            return ViewCursor::SizeNS;
        case kLeft | kTop:
        case kRight | kBottom:
            return ViewCursor::SizeNWSE;
        case kTop | kRight:
        case kLeft | kBottom:
            return ViewCursor::SizeNESW;
        default:
            return ViewCursor::SizeAll;
    }
}

bool ViewInteraction::LeftDown(Point p) {
    if (dragging_) return false;
    if (defineMode_) {
        defineMode_ = false;  // one drag per arming
        p1_ = p2_ = view_.Geometry().ScreenToSensor(p);
        kind_ = kDrawSelection;
    } else {
        p1_ = p2_ = p;
        kind_ = HitTest(p);
    }
    dragging_ = true;
    return true;
}

bool ViewInteraction::RightDown(Point p) {
    if (dragging_ || view_.Host().IsExposureLocked()) return false;
    defineMode_ = false;
    p1_ = p2_ = view_.Geometry().ScreenToSensor(p);
    kind_ = kDrawSelection;
    dragging_ = true;
    return true;
}

void ViewInteraction::MouseMove(Point p) {
    if (!dragging_) {
        Readout(p);
        return;
    }
    if (kind_ == kDrawSelection) {
        p2_ = view_.Geometry().ScreenToSensor(p);
        view_.SetSelection(p1_, p2_);
    } else if (kind_ == kPan) {
        view_.SetPan(view_.PanX() + p.x - p1_.x, view_.PanY() + p.y - p1_.y);
        p1_ = p;
        view_.UpdateScrollBars();
        view_.Invalidate(false);
    } else {
        MoveEdges(p);
    }
}

// Moves the grabbed edges by the cursor's travel in sensor pixels. An edge dragged across its
// opposite takes over the opposite's role, so the edge under the cursor keeps following it.
void ViewInteraction::MoveEdges(Point p) {
    const Point now = view_.Geometry().ScreenToSensor(p);
    const Point before = view_.Geometry().ScreenToSensor(p1_);
    const int dx = now.x - before.x, dy = now.y - before.y;
    p1_ = p;
    const int mask = kind_ == 0 ? (kLeft | kTop | kRight | kBottom) : kind_;
    Rect r = view_.Selection();
    if (mask & kLeft) r.left += dx;
    if (mask & kRight) r.right += dx;
    if (mask & kTop) r.top += dy;
    if (mask & kBottom) r.bottom += dy;
    if (r.left > r.right) kind_ ^= kLeft | kRight;
    if (r.top > r.bottom) kind_ ^= kTop | kBottom;
    view_.MoveSelection(r);
    view_.Invalidate(false);
}

bool ViewInteraction::LeftUp(Point) {
    if (!dragging_) return false;
    if (kind_ == kDrawSelection) {
        view_.SetSelection(p1_, p2_);
    } else if (kind_ != kPan) {
        const Rect& r = view_.Selection();
        view_.SetSelection({r.left, r.top}, {r.right, r.bottom});  // commit the edited edges
    }
    dragging_ = false;
    return true;
}

bool ViewInteraction::RightUp(Point) {
    if (!dragging_ || kind_ != kDrawSelection) return false;
    view_.SetSelection(p1_, p2_);
    dragging_ = false;
    return true;
}

void ViewInteraction::LeftDoubleClick(Point p) {
    p1_ = p2_ = Point{0, 0};
    view_.SetTrackedStar(view_.Geometry().ScreenToSensor(p));
    view_.Host().OnStarPicked();
    if (!view_.Host().MeasureStar()) view_.SetTrackedStar({-1, -1});
    view_.Invalidate(false);
}

void ViewInteraction::Wheel(Point cursor, int delta) {
    const Point fixed = view_.Geometry().ScreenToSensor(cursor);
    view_.SetZoom(view_.ZoomLevel() + delta / 120);
    const Point moved = view_.Geometry().SensorToScreen(fixed);
    view_.SetPan(view_.PanX() + cursor.x - moved.x, view_.PanY() + cursor.y - moved.y);
    view_.OnWheelZoomed();
    view_.UpdateScrollBars();
    view_.Invalidate(false);
}

// Reports the frame pixel under the cursor: its place as frame origin plus column and row,
// and its value (-1 when the cursor is not over the frame).
void ViewInteraction::RefreshReadout() {
    if (hasReadout_) Readout(readoutPoint_);
}

void ViewInteraction::Readout(Point p) {
    hasReadout_ = true;
    readoutPoint_ = p;
    const ImageFrame& f = view_.Frame();
    const Point c = f.SensorToFrame(view_.Geometry().ScreenToSensor(p));
    const int value = f.ContainsFrame(c) ? f.At(c.x, c.y) : -1;
    view_.Host().OnPixelReadout(f.OriginX + c.x, f.OriginY + c.y, value);
}

}  // namespace zorvane
