#pragma once

// The frame an INDI camera sends: a FITS file whose primary image is turned into the 16-bit
// pixels the camera interface hands out. Pixels keep the file's order (NAXIS1 along a row, the
// first stored row first), which is the driver's read-out order: row 0 is the first row the
// driver read, and CCD_FRAME's X and Y count from there, as the subframe origins do.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorvane::indicam {

enum class FitsResult {
    Ok,
    NotFits,      // no SIMPLE = T header, or no END card
    Unsupported,  // not a two-dimensional image (a colour cube, a table), or an unknown BITPIX
    TooLarge,     // more pixels than any camera has
    Truncated,    // the header promises more data than arrived
};

const char* FitsResultText(FitsResult r);

// The largest frame accepted: 32768 pixels a side and 2^28 pixels (a 256 MP sensor).
inline constexpr int kMaxFitsSide = 32768;
inline constexpr int64_t kMaxFitsPixels = int64_t{1} << 28;

struct FitsFrame {
    int width = 0;
    int height = 0;
};

// Decodes the primary image into `pixels` (resized to width x height; left as it was on
// failure). Unsigned 16-bit data (BITPIX 16, BZERO 32768) is copied exactly; other data is
// scaled by BSCALE and BZERO, rounded and clamped to 0..65535.
FitsResult DecodeFits(const void* data, size_t size, std::vector<uint16_t>& pixels,
                      FitsFrame& frame);

}  // namespace zorvane::indicam
