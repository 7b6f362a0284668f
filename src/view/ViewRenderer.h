#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "view/ImageFrame.h"
#include "view/ViewGeometry.h"

namespace zorvane {

// The picture of the view's client area: 24 bits per pixel, top row first, bytes blue, green,
// red, each row padded to a multiple of 4 bytes.
class ViewBitmap {
  public:
    static int StrideFor(int width) { return (width * 3 + 3) & ~3; }

    // Makes room for width × height; false (and no picture) when that memory is not available.
    bool Allocate(int width, int height);
    void Release();

    bool Valid() const { return bits_ != nullptr; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Stride() const { return stride_; }
    uint8_t* Bits() { return bits_.get(); }
    const uint8_t* Bits() const { return bits_.get(); }
    const uint8_t* Row(int y) const { return bits_.get() + size_t(y) * stride_; }

  private:
    std::unique_ptr<uint8_t[]> bits_;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
};

// Everything one render reads.
struct RenderSource {
    const ImageFrame* frame = nullptr;
    const uint8_t* lut = nullptr;            // 65536 grey levels
    const uint16_t* colourBuffer = nullptr;  // B,G,R per pixel, or nullptr for grey
    bool luminance = false;                  // show the colour buffer as grey
    bool nightVision = false;                // draw in the red channel only
};

// Draws the frame into the bitmap with nearest-neighbour sampling at any zoom; everything
// outside the frame is black. Row and column index tables are reused between renders.
class ViewRenderer {
  public:
    void Render(const RenderSource& source, const ViewGeometry& geometry, ViewBitmap& bitmap);

  private:
    std::vector<int> columns_;  // frame column of each painted screen column
    std::vector<int> rows_;     // frame row of each painted screen row
};

}  // namespace zorvane
