#pragma once

#include <algorithm>

namespace zorvane {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// A rectangle with exclusive right and bottom edges, like a window rectangle.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }

    // The same rectangle with left <= right and top <= bottom.
    Rect Normalised() const {
        return {std::min(left, right), std::min(top, bottom), std::max(left, right),
                std::max(top, bottom)};
    }
    // The rectangle spanned by two corner points, normalised.
    static Rect Spanning(Point a, Point b) { return Rect{a.x, a.y, b.x, b.y}.Normalised(); }

    // Common part of two rectangles; an empty rectangle (all zero) when they do not overlap.
    Rect Intersect(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
               std::min(bottom, o.bottom)};
        return r.IsEmpty() ? Rect{} : r;
    }
    Rect Inflated(int d) const { return {left - d, top - d, right + d, bottom + d}; }

    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace zorvane
