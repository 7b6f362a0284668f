#include "view/ViewGeometry.h"

#include <algorithm>

namespace zorvane {

float ViewGeometry::FactorForLevel(int level) {
    return level >= 0 ? static_cast<float>(1 + 0.5 * level)
                      : static_cast<float>(1 / (1 - 0.5 * level));
}

void ViewGeometry::SetZoom(int level) {
    zoomLevel_ = std::clamp(level, kMinZoom, kMaxZoom);
    zoomFactor_ = FactorForLevel(zoomLevel_);
}

void ViewGeometry::SetPixelSize(float pixelWidth, float pixelHeight) {
    // A camera that reports no pixel size gets square pixels rather than a division by zero.
    if (!(pixelWidth > 0.0f) || !(pixelHeight > 0.0f)) {
        aspectX_ = aspectY_ = 1.0f;
        return;
    }
    if (pixelWidth <= pixelHeight) {
        aspectX_ = 1.0f;
        aspectY_ = pixelHeight / pixelWidth;
    } else {
        aspectY_ = 1.0f;
        aspectX_ = pixelWidth / pixelHeight;
    }
}

Rect ViewGeometry::SensorToScreen(const Rect& s) const {
    const float zx = ZoomX(), zy = ZoomY();
    const int cx = CentreX(), cy = CentreY();
    const int hw = clientWidth_ / 2, hh = clientHeight_ / 2;
    return {static_cast<int>((s.left - cx) * zx + panX_ + hw + 0.5),
            static_cast<int>((s.top - cy) * zy + panY_ + hh + 0.5),
            static_cast<int>((s.right - cx) * zx + panX_ + hw + 0.5),
            static_cast<int>((s.bottom - cy) * zy + panY_ + hh + 0.5)};
}

Point ViewGeometry::SensorToScreen(Point s) const {
    const int hw = clientWidth_ / 2, hh = clientHeight_ / 2;
    return {static_cast<int>((s.x - CentreX()) * ZoomX() + panX_ + hw),
            static_cast<int>((s.y - CentreY()) * ZoomY() + panY_ + hh)};
}

Point ViewGeometry::ScreenToSensor(Point p) const {
    const int hw = clientWidth_ / 2, hh = clientHeight_ / 2;
    return {static_cast<int>((p.x - panX_ - hw) / ZoomX() + CentreX()),
            static_cast<int>((p.y - panY_ - hh) / ZoomY() + CentreY())};
}

Rect ViewGeometry::ScreenToSensor(const Rect& r) const {
    const Point a = ScreenToSensor(Point{r.left, r.top});
    const Point b = ScreenToSensor(Point{r.right, r.bottom});
    return {a.x, a.y, b.x, b.y};
}

namespace {
// One bar: the sensor spans `span` screen pixels in a window `client` pixels long.
ScrollBarState BarFor(int client, int span, int& pan) {
    const int limit = (client + span) >> 1;
    pan = std::clamp(pan, -limit, limit);
    const int half = client / 2;
    ScrollBarState bar;
    bar.min = -(half + span);
    bar.max = half + span;
    bar.page = span;
    bar.position = -pan - (span >> 1);
    // Nothing scrolls when the whole range fits in the page.
    bar.enabled = bar.max > bar.min && bar.page <= bar.max - bar.min;
    return bar;
}
}  // namespace

ViewGeometry::ScrollBars ViewGeometry::UpdateScrollBars() {
    const int sw = static_cast<int>(sensor_.Width() * ZoomX());
    const int sh = static_cast<int>(sensor_.Height() * ZoomY());
    ScrollBars bars;
    bars.horizontal = BarFor(clientWidth_, sw, panX_);
    bars.vertical = BarFor(clientHeight_, sh, panY_);
    return bars;
}

void ViewGeometry::OnHorizontalThumb(int position) {
    panX_ = -position - (static_cast<int>(sensor_.Width() * ZoomX()) >> 1);
}

void ViewGeometry::OnVerticalThumb(int position) {
    panY_ = -position - (static_cast<int>(sensor_.Height() * ZoomY()) >> 1);
}

void ViewGeometry::ZoomAbout(Point sensorPoint, int level) {
    const Point before = SensorToScreen(sensorPoint);
    SetZoom(level);
    const Point after = SensorToScreen(sensorPoint);
    AddPan(before.x - after.x, before.y - after.y);
}

}  // namespace zorvane
