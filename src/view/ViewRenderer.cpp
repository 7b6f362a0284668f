#include "view/ViewRenderer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zorvane {

bool ViewBitmap::Allocate(int width, int height) {
    Release();
    if (width <= 0 || height <= 0) return false;
    const int stride = StrideFor(width);
    bits_.reset(new (std::nothrow) uint8_t[size_t(stride) * height]);
    if (!bits_) return false;
    width_ = width;
    height_ = height;
    stride_ = stride;
    return true;
}

void ViewBitmap::Release() {
    bits_.reset();
    width_ = height_ = stride_ = 0;
}

namespace {

// Black outside the painted span: rows above and below, and the margins beside it.
void ClearOutside(ViewBitmap& bmp, int x0, int x1, int y0, int y1) {
    uint8_t* bits = bmp.Bits();
    const int stride = bmp.Stride();
    if (x0 >= x1 || y0 >= y1) {
        std::memset(bits, 0, size_t(stride) * bmp.Height());
        return;
    }
    std::memset(bits, 0, size_t(stride) * y0);
    std::memset(bits + size_t(stride) * y1, 0, size_t(stride) * (bmp.Height() - y1));
    for (int y = y0; y < y1; ++y) {
        uint8_t* row = bits + size_t(stride) * y;
        std::memset(row, 0, size_t(x0) * 3);
        std::memset(row + size_t(x1) * 3, 0, stride - size_t(x1) * 3);
    }
}

// One screen row of grey pixels. Writes four bytes per pixel where the next pixel's first byte
// follows anyway, which lets the compiler store whole words.
inline void GreyRow(uint8_t* out, const uint16_t* src, const int* cols, int count,
                    const uint8_t* lut, bool night) {
    int i = 0;
    if (!night) {
        for (; i + 1 < count; ++i) {
            const uint32_t g = lut[src[cols[i]]];
            const uint32_t word = g * 0x010101u;
            std::memcpy(out + size_t(i) * 3, &word, 4);
        }
        for (; i < count; ++i) {
            const uint8_t g = lut[src[cols[i]]];
            out[i * 3] = out[i * 3 + 1] = out[i * 3 + 2] = g;
        }
    } else {
        for (; i + 1 < count; ++i) {
            const uint32_t word = uint32_t(lut[src[cols[i]]]) << 16;
            std::memcpy(out + size_t(i) * 3, &word, 4);
        }
        for (; i < count; ++i) {
            out[i * 3] = out[i * 3 + 1] = 0;
            out[i * 3 + 2] = lut[src[cols[i]]];
        }
    }
}

// The same for a run of neighbouring frame pixels (1:1): eight pixels make three whole words.
inline void GreyRunRow(uint8_t* out, const uint16_t* src, int count, const uint8_t* lut,
                       bool night) {
    auto put = [](uint8_t* at, uint64_t word) { std::memcpy(at, &word, 8); };
    int i = 0;
    for (; i + 8 <= count; i += 8, out += 24) {
        const uint64_t g0 = lut[src[i]], g1 = lut[src[i + 1]], g2 = lut[src[i + 2]],
                       g3 = lut[src[i + 3]], g4 = lut[src[i + 4]], g5 = lut[src[i + 5]],
                       g6 = lut[src[i + 6]], g7 = lut[src[i + 7]];
        if (!night) {
            // g0 g0 g0 g1 g1 g1 g2 g2 | g2 g3 g3 g3 g4 g4 g4 g5 | g5 g5 g6 g6 g6 g7 g7 g7
            put(out, g0 * 0x010101u | g1 * 0x010101000000ull | g2 * 0x0101000000000000ull);
            put(out + 8, g2 | g3 * 0x01010100ull | g4 * 0x0001010100000000ull | g5 << 56);
            put(out + 16, g5 * 0x0101u | g6 * 0x0000000101010000ull | g7 * 0x0101010000000000ull);
        } else {
            // 0 0 g0 0 0 g1 0 0 | g2 0 0 g3 0 0 g4 0 | 0 g5 0 0 g6 0 0 g7
            put(out, g0 << 16 | g1 << 40);
            put(out + 8, g2 | g3 << 24 | g4 << 48);
            put(out + 16, g5 << 8 | g6 << 32 | g7 << 56);
        }
    }
    for (; i < count; ++i, out += 3) {
        const uint8_t g = lut[src[i]];
        out[0] = out[1] = night ? 0 : g;
        out[2] = g;
    }
}

inline void ColourRow(uint8_t* out, const uint16_t* src, const int* cols, int count,
                      const uint8_t* lut, bool grey, bool night) {
    for (int i = 0; i < count; ++i) {
        const uint16_t* p = src + size_t(cols[i]) * 3;
        uint8_t b = lut[p[0]], g = lut[p[1]], r = lut[p[2]];
        if (grey || night) b = g = r = static_cast<uint8_t>((r + 2 * g + b) >> 2);
        out[i * 3] = night ? 0 : b;
        out[i * 3 + 1] = night ? 0 : g;
        out[i * 3 + 2] = r;
    }
}

}  // namespace

void ViewRenderer::Render(const RenderSource& src, const ViewGeometry& geo, ViewBitmap& bmp) {
    if (!bmp.Valid()) return;
    const ImageFrame& f = *src.frame;
    const int bw = bmp.Width(), bh = bmp.Height();
    if (f.IsEmpty() || f.BinX <= 0 || f.BinY <= 0 || src.lut == nullptr) {
        ClearOutside(bmp, 0, 0, 0, 0);
        return;
    }

    const float zx = geo.ZoomX(), zy = geo.ZoomY();
    const int cx = geo.CentreX(), cy = geo.CentreY();
    const int hw = bw / 2, hh = bh / 2;
    const int panX = geo.PanX(), panY = geo.PanY();

    // The frame's span on the screen, clipped to the bitmap.
    const int left = static_cast<int>((f.OriginX - cx) * zx + panX + hw);
    const int right = static_cast<int>(left + f.Width * f.BinX * zx);
    const int top = static_cast<int>((f.OriginY - cy) * zy + panY + hh);
    const int bottom = static_cast<int>(top + f.Height * f.BinY * zy);
    const int x0 = std::max(0, left), x1 = std::min(bw, right);
    const int y0 = std::max(0, top), y1 = std::min(bh, bottom);
    ClearOutside(bmp, x0, x1, y0, y1);
    if (x0 >= x1 || y0 >= y1) return;

    // Screen position → frame index, worked out once per column and once per row.
    const float rzx = 1.0f / zx, rzy = 1.0f / zy;
    const float rbx = 1.0f / f.BinX, rby = 1.0f / f.BinY;
    columns_.resize(size_t(x1 - x0));
    for (int x = x0; x < x1; ++x) {
        const int c = static_cast<int>(((x - panX - hw) * rzx - f.OriginX + cx) * rbx);
        columns_[x - x0] = std::clamp(c, 0, f.Width - 1);
    }
    rows_.resize(size_t(y1 - y0));
    for (int y = y0; y < y1; ++y) {
        const int r = static_cast<int>(((y - panY - hh) * rzy - f.OriginY + cy) * rby);
        rows_[y - y0] = std::clamp(r, 0, f.Height - 1);
    }

    const int count = x1 - x0;
    const bool colour = src.colourBuffer != nullptr;
    // At 1:1 the columns are one run of neighbours and need no table.
    bool run = true;
    for (int i = 1; i < count && run; ++i) run = columns_[i] == columns_[0] + i;
    uint8_t* bits = bmp.Bits();
    const size_t stride = size_t(bmp.Stride());
    const size_t rowBytes = size_t(count) * 3;
    int lastRow = -1;
    for (int y = y0; y < y1; ++y) {
        uint8_t* out = bits + stride * y + size_t(x0) * 3;
        const int r = rows_[y - y0];
        if (r == lastRow) {
            // Zoomed in: this screen row shows the same frame row as the one above.
            std::memcpy(out, out - stride, rowBytes);
            continue;
        }
        lastRow = r;
        if (colour)
            ColourRow(out, src.colourBuffer + size_t(r) * f.Width * 3, columns_.data(), count,
                      src.lut, src.luminance, src.nightVision);
        else if (run)
            GreyRunRow(out, f.Pixels.get() + size_t(r) * f.Width + columns_[0], count, src.lut,
                       src.nightVision);
        else
            GreyRow(out, f.Pixels.get() + size_t(r) * f.Width, columns_.data(), count, src.lut,
                    src.nightVision);
    }
}

}  // namespace zorvane
