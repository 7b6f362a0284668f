#pragma once

#include "view/Geometry.h"

namespace zorvane {

// One scroll bar in the window system's terms: the whole range min..max, the page (the part in
// view), the position of the page's start, and whether anything can scroll at all.
struct ScrollBarState {
    int min = 0;
    int max = 0;
    int page = 0;
    int position = 0;
    bool enabled = false;
    friend bool operator==(const ScrollBarState&, const ScrollBarState&) = default;
};

// Where the sensor sits in the view's window: zoom, pixel aspect, pan and the window size, and
// the mappings between sensor and screen pixels. The sensor centre sits at the window centre
// shifted by the pan.
class ViewGeometry {
  public:
    static constexpr int kMinZoom = -18;
    static constexpr int kMaxZoom = 18;

    // Level clamped to -18..18; factor 1 + level/2 when zooming in, 1 / (1 - level/2) when out.
    void SetZoom(int level);
    int ZoomLevel() const { return zoomLevel_; }
    float ZoomFactor() const { return zoomFactor_; }
    static float FactorForLevel(int level);

    // The longer pixel side is stretched so the image keeps the sky's proportions.
    void SetPixelSize(float pixelWidth, float pixelHeight);
    float AspectX() const { return aspectX_; }
    float AspectY() const { return aspectY_; }
    bool AspectCorrection() const { return aspectOn_; }
    void SetAspectCorrection(bool on) { aspectOn_ = on; }
    // Effective screen pixels per sensor pixel along each axis.
    float ZoomX() const { return aspectOn_ ? zoomFactor_ * aspectX_ : zoomFactor_; }
    float ZoomY() const { return aspectOn_ ? zoomFactor_ * aspectY_ : zoomFactor_; }

    int PanX() const { return panX_; }
    int PanY() const { return panY_; }
    void SetPan(int x, int y) {
        panX_ = x;
        panY_ = y;
    }
    void AddPan(int dx, int dy) {
        panX_ += dx;
        panY_ += dy;
    }

    void SetSensorRect(const Rect& sensor) { sensor_ = sensor; }
    const Rect& SensorRect() const { return sensor_; }
    int CentreX() const { return sensor_.Width() / 2; }
    int CentreY() const { return sensor_.Height() / 2; }

    // The window's client size in pixels (the size of the rendered picture).
    void SetClientSize(int width, int height) {
        clientWidth_ = width;
        clientHeight_ = height;
    }
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }

    // Sensor rectangle to screen, each edge rounded to the nearest pixel.
    Rect SensorToScreen(const Rect& sensor) const;
    // Sensor point to screen, truncated.
    Point SensorToScreen(Point sensor) const;
    Point ScreenToSensor(Point screen) const;
    Rect ScreenToSensor(const Rect& screen) const;

    // Keeps the pan within reach of the scroll bars and returns both bars' state.
    struct ScrollBars {
        ScrollBarState horizontal;
        ScrollBarState vertical;
    };
    ScrollBars UpdateScrollBars();
    // The user dragged a scroll bar's thumb to position.
    void OnHorizontalThumb(int position);
    void OnVerticalThumb(int position);

    // Changes the zoom while keeping the given sensor point at the same place on the screen.
    void ZoomAbout(Point sensorPoint, int level);

  private:
    int zoomLevel_ = 0;
    float zoomFactor_ = 1.0f;
    bool aspectOn_ = true;
    float aspectX_ = 1.0f;
    float aspectY_ = 1.0f;
    int panX_ = 0;
    int panY_ = 0;
    Rect sensor_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
};

}  // namespace zorvane
