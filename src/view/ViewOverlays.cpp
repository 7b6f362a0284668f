#include "view/ViewOverlays.h"

#include <cmath>

namespace zorvane {

namespace {

class Builder {
  public:
    explicit Builder(std::vector<OverlayPrimitive>& out) : out_(out) {}

    void Outline(Rgb colour, const Rect& r) {
        out_.push_back({OverlayPrimitive::Kind::RectOutline, colour, {}, r});
    }
    void Ellipse(Rgb colour, const Rect& r) {
        out_.push_back({OverlayPrimitive::Kind::Ellipse, colour, {}, r});
    }
    void Polyline(Rgb colour, std::vector<Point> points) {
        out_.push_back({OverlayPrimitive::Kind::Polyline, colour, std::move(points), {}});
    }
    // A pen stroke from a towards b that stops one pixel short of b, the way a line-to leaves
    // its end point for the next segment.
    void Stroke(Rgb colour, Point a, Point b) {
        if (a == b) return;
        Point end = b;
        const int dx = b.x - a.x, dy = b.y - a.y;
        if (std::abs(dx) >= std::abs(dy))
            end.x -= dx > 0 ? 1 : -1;
        else
            end.y -= dy > 0 ? 1 : -1;
        out_.push_back({OverlayPrimitive::Kind::Line, colour, {a, end}, {}});
    }

  private:
    std::vector<OverlayPrimitive>& out_;
};

std::vector<Point> Circle(int x0, int y0, int radius) {
    std::vector<Point> pts;
    pts.reserve(74);
    pts.push_back({x0 + radius, y0});
    for (int deg = 0; deg <= 360; deg += 5) {
        const double a = deg * 3.1415927 / 180.0;
        const float c = static_cast<float>(std::cos(a));
        const float s = static_cast<float>(std::sin(a));
        pts.push_back({static_cast<int>(x0 + radius * c), static_cast<int>(y0 + radius * s)});
    }
    return pts;
}

void Reticle(Builder& b, const Rect& r) {
    const Rgb col = OverlayColours::kReticle;
    const int x0 = (r.left + r.right) >> 1, y0 = (r.top + r.bottom) >> 1;
    const int h = r.bottom - r.top;
    const int g = h >> 6, t = h >> 3;
    // Hair lines, leaving the centre open.
    b.Stroke(col, {x0, y0 - g}, {x0, r.top});
    b.Stroke(col, {x0, y0 + g}, {x0, r.bottom});
    b.Stroke(col, {x0 + g, y0}, {r.right, y0});
    b.Stroke(col, {x0 - g, y0}, {r.left, y0});
    // Ticks across them at one and three eighths of the height.
    for (int d : {-t, -3 * t, t, 3 * t}) b.Stroke(col, {x0 - g, y0 + d}, {x0 + g, y0 + d});
    for (int d : {-t, -3 * t, t, 3 * t}) b.Stroke(col, {x0 + d, y0 - g}, {x0 + d, y0 + g});
    b.Polyline(col, Circle(x0, y0, h >> 2));
    b.Polyline(col, Circle(x0, y0, h >> 1));
}

void GuideTarget(Builder& b, const ViewGeometry& geo, Point target) {
    const Rgb col = OverlayColours::kGuide;
    const Rect r =
        geo.SensorToScreen(Rect{target.x - 10, target.y - 10, target.x + 10, target.y + 10});
    b.Outline(col, r);
    const int x0 = (r.left + r.right) >> 1, y0 = (r.top + r.bottom) >> 1;
    b.Stroke(col, {x0, r.top}, {x0, (r.top + y0) >> 1});
    b.Stroke(col, {x0, r.bottom}, {x0, (r.bottom + y0) >> 1});
    b.Stroke(col, {r.left, y0}, {(r.left + x0) >> 1, y0});
    b.Stroke(col, {r.right, y0}, {(r.right + x0) >> 1, y0});
}

void CalibrationTrack(Builder& b, const ViewGeometry& geo, const std::vector<Point>& track) {
    const Rgb col = OverlayColours::kGuide;
    Point prev{};
    for (size_t i = 0; i < track.size(); ++i) {
        const Point p = geo.SensorToScreen(track[i]);
        if (i > 0) b.Stroke(col, prev, p);
        b.Ellipse(col, Rect{p.x - 6, p.y - 6, p.x + 6, p.y + 6});
        prev = p;
    }
}

}  // namespace

std::vector<OverlayPrimitive> BuildOverlays(const OverlayState& s, const ViewGeometry& geo) {
    std::vector<OverlayPrimitive> out;
    Builder b(out);
    if (!s.selection.IsEmpty())
        b.Outline(OverlayColours::kSelection, geo.SensorToScreen(s.selection));
    if (!geo.SensorRect().IsEmpty()) {
        const Rect r = geo.SensorToScreen(geo.SensorRect()).Inflated(1);
        b.Outline(OverlayColours::kSensor, r);
        if (s.reticle) Reticle(b, r);
    }
    if (s.trackedStar.x >= 0) {
        const int m = s.measureRadius;
        const Point t = s.trackedStar;
        b.Outline(OverlayColours::kTrackedStar,
                  geo.SensorToScreen(Rect{t.x - m, t.y - m, t.x + m, t.y + m}));
    }
    if (s.guideTarget.x >= 0) GuideTarget(b, geo, s.guideTarget);
    if (s.calibrationTrack && !s.calibrationTrack->empty())
        CalibrationTrack(b, geo, *s.calibrationTrack);
    return out;
}

}  // namespace zorvane
