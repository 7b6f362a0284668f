#include "view/ImageFrame.h"

#include <cstring>
#include <limits>
#include <new>

namespace zorvane {

bool ImageFrame::Grow(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return false;
    const uint64_t needed = uint64_t(width) * uint64_t(height) * sizeof(uint16_t);
    if (needed > std::numeric_limits<uint32_t>::max()) return false;
    if (Capacity < needed) {
        // The old contents are about to be overwritten, so a fresh block will do. Allocate
        // before letting go of the old one: on failure the previous frame must stay usable.
        std::unique_ptr<uint16_t[]> grown(new (std::nothrow) uint16_t[needed / sizeof(uint16_t)]);
        if (!grown) return false;
        Pixels = std::move(grown);
        Capacity = static_cast<uint32_t>(needed);
    }
    return true;
}

bool ImageFrame::Assign(const uint16_t* pixels, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        Width = 0;
        Height = 0;
        return true;
    }
    if (pixels == nullptr || !Grow(width, height)) return false;
    std::memcpy(Pixels.get(), pixels, size_t(width) * size_t(height) * sizeof(uint16_t));
    Width = width;
    Height = height;
    return true;
}

// A binning of 0 only occurs before the first frame; count it as 1 rather than divide by it.
static int SafeBin(int bin) {
    return bin > 0 ? bin : 1;
}

Point ImageFrame::SensorToFrame(Point sensor) const {
    return {(sensor.x - OriginX) / SafeBin(BinX), (sensor.y - OriginY) / SafeBin(BinY)};
}

Point ImageFrame::FrameToSensor(Point frame) const {
    return {frame.x * BinX + OriginX, frame.y * BinY + OriginY};
}

bool ImageFrame::ContainsFrame(Point frame) const {
    return Pixels != nullptr && frame.x >= 0 && frame.x < Width && frame.y >= 0 && frame.y < Height;
}

}  // namespace zorvane
