#pragma once

#include <array>
#include <string>

#include "SimOptions.h"

namespace zorvane::sim {

// A sensor's geometry and its colour filter layout. The filter under sensor pixel (x, y) of the
// full unbinned sensor, in the camera's own read-out order, belongs to column class
// (x + offsetX) mod classesX and row class (y + offsetY) mod classesY; `response` gives the
// share of white light each class passes.
struct SensorModel {
    int width = 0;
    int height = 0;
    float pixelWidth = 0.0f;
    float pixelHeight = 0.0f;
    std::string model;
    int colourType = 0;
    // Offsets reported to the program (colour type 2 only) and used for the layout.
    int normalOffsetX = 0, normalOffsetY = 0;
    int previewOffsetX = 0, previewOffsetY = 0;
    int classesX = 1;
    int classesY = 1;
    // response[cy][cx]
    std::array<std::array<float, 2>, 4> response{};

    // The layout's offsets for a normal or a preview read-out.
    int OffsetX(bool preview) const;
    int OffsetY(bool preview) const;

    static SensorModel From(const SimOptions& options);
};

}  // namespace zorvane::sim
