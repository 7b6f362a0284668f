#pragma once

#include <cstddef>
#include <cstdint>

namespace zorvane {

// The fills behind the colour preview. Each reads a width × height mosaic (row-major, no
// padding) and writes width × height × 3 values to out, blue, green and red per pixel. The
// phase (offsetX 0..1, offsetY 0..1, or 0..3 for the four-row pattern) says which filter
// the top-left pixel sits under. src and out must not overlap.

// Red-green-green-blue matrix, bilinear, with mirrored neighbours at the edges.
void FillRggb(const uint16_t* src, int width, int height, int offsetX, int offsetY, uint16_t* out);

// 2 × 4 complementary pattern of an unbinned frame.
void FillFourRow(const uint16_t* src, int width, int height, int offsetX, int offsetY,
                 uint16_t* out);

// Every channel takes the pixel's own value.
void FillGrey(const uint16_t* src, int width, int height, uint16_t* out);

}  // namespace zorvane
