#pragma once

#include "view/Geometry.h"

namespace zorvane {

// What the image view needs from the main window's core: the outgoing calls of the view,
// in the main window's terms.
class ImageViewHost {
public:
    virtual ~ImageViewHost() = default;
    // The frame's dark and bright histogram points, after every display-translation update.
    virtual void AutoExposureAdjust(int low, int high) = 0;
    // The selection changed: the rectangle in sensor pixels (empty = none, the full sensor).
    virtual void SetSubframe(const Rect& sensorRect) = 0;
    // Exposure settings locked ("Lock exp"): edges cannot be grabbed, right-drag does nothing.
    virtual bool IsExposureLocked() const = 0;
    // Pixel read-out for the status bar; x < 0 means none.
    virtual void OnPixelReadout(int x, int y, int value) = 0;
    // A star was picked by double-click (before it is measured).
    virtual void OnStarPicked() = 0;
    // Measures the tracked star on the current frame; true when a valid star was measured.
    virtual bool MeasureStar() = 0;
    // Measurement radius in pixels (the tracked-star box is drawn with it).
    virtual int MeasureRadius() const = 0;
    // The camera's protocol word (the automatic Bayer table depends on it).
    virtual int CameraProtocol() const = 0;
};

}  // namespace zorvane
