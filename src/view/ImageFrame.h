#pragma once

#include <cstdint>
#include <memory>

#include "view/Geometry.h"

namespace zorvane {

// The frame the image view shows: a private copy of the last downloaded frame with its place on
// the sensor. Three coordinate systems meet here: sensor (unbinned pixels from the sensor's
// top-left), frame (column and row of Pixels) and screen (see ViewGeometry).
struct ImageFrame {
    std::unique_ptr<uint16_t[]> Pixels;  // row-major, Width values per row, no padding
    uint32_t Capacity = 0;               // bytes allocated for Pixels; only grows
    int32_t Width = 0;                   // binned pixels
    int32_t Height = 0;
    int32_t OriginX = 0;                 // top-left on the sensor, unbinned pixels
    int32_t OriginY = 0;
    int32_t BinX = 0;
    int32_t BinY = 0;
    bool Rotated = false;                // turned by 180° before it was handed over
    bool Preview = false;                // read out in the camera's preview mode

    bool HasPixels() const { return Pixels != nullptr; }
    // Nothing to show: no array or no pixels in it.
    bool IsEmpty() const { return !Pixels || Width <= 0 || Height <= 0; }
    uint16_t At(int c, int r) const { return Pixels[static_cast<size_t>(r) * Width + c]; }

    // Copies width × height pixels, growing the allocation when it is too small (never
    // shrinking). When the allocation fails the previous frame stays as it was and false is
    // returned. width or height of 0 copies nothing and keeps the allocation.
    bool Assign(const uint16_t* pixels, int32_t width, int32_t height);
    // Makes room for width × height pixels (at least one of each) the way Assign does, without
    // copying anything or changing the size; false when that memory is not available.
    bool Grow(int32_t width, int32_t height);

    // Sensor point → frame column/row, truncating toward zero. A point left of or above the
    // origin can still map to column or row 0; use ContainsSensorPoint where that matters.
    Point SensorToFrame(Point sensor) const;
    Point FrameToSensor(Point frame) const;
    // Frame column/row inside the pixel array.
    bool ContainsFrame(Point frame) const;
};

}  // namespace zorvane
