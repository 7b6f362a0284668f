#pragma once

#include "view/Geometry.h"

namespace zorvane {

class ImageView;

// Cursor shapes the view asks for.
enum class ViewCursor { Arrow, Cross, SizeWE, SizeNS, SizeNWSE, SizeNESW, SizeAll };

// The mouse rules of the image view: drawing a new selection, grabbing its edges, panning,
// zooming with the wheel, picking a star and reading out the pixel under the cursor. Points
// are client (screen) pixels of the view.
class ViewInteraction {
  public:
    // Drag kinds: a new selection, a pan, or a mask of the selection's edges being moved.
    static constexpr int kDrawSelection = 100;
    static constexpr int kPan = -1;
    static constexpr int kLeft = 1, kTop = 2, kRight = 4, kBottom = 8;

    explicit ViewInteraction(ImageView& view) : view_(view) {}

    void SetDefineMode(bool on) { defineMode_ = on; }
    bool DefineMode() const { return defineMode_; }
    bool Dragging() const { return dragging_; }
    int DragKind() const { return kind_; }

    // What a left press at `cursor` would grab: -1 (nothing, so a pan) when there is no
    // selection, the exposure settings are locked or the cursor is not on the selection;
    // otherwise the mask of edges within reach (0 = inside, away from the edges).
    int HitTest(Point cursor) const;
    ViewCursor CursorAt(Point cursor) const;

    // Each returns true when it started or ended a drag (the window captures or releases the
    // mouse accordingly).
    bool LeftDown(Point p);
    bool RightDown(Point p);
    bool LeftUp(Point p);
    bool RightUp(Point p);
    void MouseMove(Point p);
    void LeftDoubleClick(Point p);
    void Wheel(Point cursor, int delta);
    // A new frame is on show: the read-out of the last point the mouse rested on is given
    // again with the new pixel under it (nothing when the mouse never moved over the view).
    void RefreshReadout();

  private:
    void MoveEdges(Point p);
    void Readout(Point p);

    ImageView& view_;
    bool defineMode_ = false;
    bool dragging_ = false;
    int kind_ = kPan;
    Point p1_;
    Point p2_;
    bool hasReadout_ = false;
    Point readoutPoint_;
};

}  // namespace zorvane
