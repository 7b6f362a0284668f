#pragma once

#include <cstdint>
#include <memory>

namespace zorvane {

// The histogram of a frame's interior (every pixel but the one-pixel border), counted while
// the frame is copied so that its pixels are read only once. It knows the range of values it
// holds: clearing, merging and the scans for the percentiles cover only what a frame used, so a
// small frame does not pay for all 65,536 values. Large frames are counted by two threads,
// both finished before a count returns.
class FrameHistogram {
public:
    static constexpr int kValues = 65536;

    FrameHistogram();
    FrameHistogram(const FrameHistogram&) = delete;
    FrameHistogram& operator=(const FrameHistogram&) = delete;

    // Copies width × height pixels from source to dest, turned by 180° (the whole array
    // reversed) when `turn`, and counts the copy's interior. False when the interior is 16
    // pixels or fewer: nothing is counted then, but the copy is made all the same.
    bool CopyAndCount(uint16_t* dest, const uint16_t* source, int width, int height, bool turn);
    // Counts the interior of pixels where they are; false as above.
    bool Count(const uint16_t* pixels, int width, int height);

    // 65,536 counts, zero outside [Lowest(), Highest()].
    const uint32_t* Counts() const { return lanes_.get(); }
    // Bounds of the values counted (the border pixels of the counted rows may widen them);
    // Lowest() > Highest() when nothing was counted.
    int Lowest() const { return low_; }
    int Highest() const { return high_; }
    // What the last count returned.
    bool Counted() const { return counted_; }

    void Swap(FrameHistogram& other) noexcept;

private:
    bool CountRows(const uint16_t* source, uint16_t* dest, int width, int height, bool turn);

    // The result, then the histograms counted side by side (zero between counts).
    std::unique_ptr<uint32_t[]> lanes_;
    int low_ = kValues;
    int high_ = -1;
    bool counted_ = false;
};

}  // namespace zorvane
