#include "frame/FrameHistogram.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/SplitWork.h"

namespace zorvane {

namespace {
constexpr int kValues = FrameHistogram::kValues;
constexpr int kLanes = 4;                     // histograms one thread counts into side by side
constexpr int kAllLanes = 2 * kLanes;         // two threads' worth; the first is the result
constexpr size_t kTwoThreadPixels = 1 << 19;  // interiors this large are counted by two threads

// Bounds of the values met; every counted value lies within them (the border may widen them).
struct Range {
    unsigned low = kValues;
    unsigned high = 0;
};

#if defined(__SSE2__)
// Unsigned 16-bit values with the top bit flipped order like signed ones, which SSE2 compares.
inline __m128i Flip(__m128i v) {
    return _mm_xor_si128(v, _mm_set1_epi16(int16_t(0x8000)));
}
inline __m128i Reverse8(__m128i v) {
    v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    return _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2));
}
#endif

// Copies a row of n pixels to dst (reversed when turn) when there is a dst, and widens range to
// its values on the way: the copy waits on memory, so the comparisons come almost free.
inline void CopyRow(const uint16_t* src, uint16_t* dst, size_t n, bool turn, Range& range) {
    size_t c = 0;
    unsigned low = range.low, high = range.high;
#if defined(__SSE2__)
    // Two of each so that the comparisons do not wait on one another.
    __m128i lo0 = _mm_set1_epi16(32767), lo1 = lo0, hi0 = _mm_set1_epi16(-32768), hi1 = hi0;
    for (; c + 16 <= n; c += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + c));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + c + 8));
        if (dst && turn) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - c - 8), Reverse8(a));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + n - c - 16), Reverse8(b));
        } else if (dst) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + c), a);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + c + 8), b);
        }
        const __m128i fa = Flip(a), fb = Flip(b);
        lo0 = _mm_min_epi16(lo0, fa);
        hi0 = _mm_max_epi16(hi0, fa);
        lo1 = _mm_min_epi16(lo1, fb);
        hi1 = _mm_max_epi16(hi1, fb);
    }
    alignas(16) uint16_t lows[8], highs[8];
    _mm_store_si128(reinterpret_cast<__m128i*>(lows), Flip(_mm_min_epi16(lo0, lo1)));
    _mm_store_si128(reinterpret_cast<__m128i*>(highs), Flip(_mm_max_epi16(hi0, hi1)));
    if (c > 0)
        for (int k = 0; k < 8; ++k) {
            low = std::min(low, unsigned(lows[k]));
            high = std::max(high, unsigned(highs[k]));
        }
#endif
    for (; c < n; ++c) {
        const uint16_t v = src[c];
        if (dst) dst[turn ? n - 1 - c : c] = v;
        low = std::min(low, unsigned(v));
        high = std::max(high, unsigned(v));
    }
    range.low = low;
    range.high = high;
}

// Counts n pixels into four histograms, four abreast so that runs of equal values do not wait
// on one another. Meanwhile the next row (next, nextBytes long) is fetched into the cache, so
// that its copy does not wait on memory.
inline void CountPixels(const uint16_t* p, size_t n, uint32_t* const* h, const char* next,
                        size_t nextBytes) {
    uint32_t *h0 = h[0], *h1 = h[1], *h2 = h[2], *h3 = h[3];
    constexpr size_t kLine = 64;
    size_t c = 0, fetched = 0;
    for (; c + 32 <= n; c += 32) {
        if (fetched < nextBytes) {
            __builtin_prefetch(next + fetched);
            fetched += kLine;
        }
        for (size_t k = c; k < c + 32; k += 4) {
            ++h0[p[k]];
            ++h1[p[k + 1]];
            ++h2[p[k + 2]];
            ++h3[p[k + 3]];
        }
    }
    for (; c < n; ++c) ++h0[p[c]];
    for (; fetched < nextBytes; fetched += kLine) __builtin_prefetch(next + fetched);
}

// Adds the side histograms h[1..3] into h[0] over [low, high] and clears them.
inline void MergeLanes(uint32_t* const* h, unsigned low, unsigned high) {
    uint32_t *h0 = h[0], *h1 = h[1], *h2 = h[2], *h3 = h[3];
    for (unsigned v = low; v <= high; ++v) {
        h0[v] += h1[v] + h2[v] + h3[v];
        h1[v] = h2[v] = h3[v] = 0;
    }
}
}  // namespace

FrameHistogram::FrameHistogram() : lanes_(new uint32_t[size_t(kAllLanes) * kValues]()) {}

void FrameHistogram::Swap(FrameHistogram& other) noexcept {
    std::swap(lanes_, other.lanes_);
    std::swap(low_, other.low_);
    std::swap(high_, other.high_);
    std::swap(counted_, other.counted_);
}

bool FrameHistogram::Count(const uint16_t* pixels, int width, int height) {
    return CountRows(pixels, nullptr, width, height, false);
}

bool FrameHistogram::CopyAndCount(uint16_t* dest, const uint16_t* source, int width, int height,
                                  bool turn) {
    return CountRows(source, dest, width, height, turn);
}

// Row by row: each row is copied first when there is a destination (reversed when turning, which
// turns the whole frame), then counted while it is in the cache. Two threads take half the rows
// each, with four histograms of their own that each gathers into its first; those two are
// merged here.
bool FrameHistogram::CountRows(const uint16_t* source, uint16_t* dest, int width, int height,
                               bool turn) {
    uint32_t* h[kAllLanes];
    for (int i = 0; i < kAllLanes; ++i) h[i] = lanes_.get() + size_t(i) * kValues;
    // Only the result holds counts, and only in the range of the last frame.
    if (low_ <= high_) std::memset(h[0] + low_, 0, sizeof(uint32_t) * size_t(high_ - low_ + 1));
    low_ = kValues;
    high_ = -1;
    const int64_t n = int64_t(width - 2) * int64_t(height - 2);
    counted_ = width > 2 && height > 2 && n > 16;
    if (!counted_ && !dest) return false;

    const size_t w = size_t(std::max(width, 0)), rows = size_t(std::max(height, 0));
    Range ranges[2];
    bool split = false;
    SplitInTwo(
        rows, counted_ && size_t(n) >= kTwoThreadPixels, [&](int part, size_t begin, size_t end) {
            if (part == 1) split = true;
            uint32_t* const* lanes = h + part * kLanes;
            Range range, border;
            for (size_t r = begin; r < end; ++r) {
                // The interior rows of the copy are the interior rows of the source.
                const uint16_t* row = source + (turn ? rows - 1 - r : r) * w;
                const bool interior = counted_ && r >= 1 && r + 1 < rows;
                if (dest || interior)
                    CopyRow(row, dest ? dest + r * w : nullptr, w, turn, interior ? range : border);
                // Counted from the source row, which the copy has just brought into the cache;
                // the order within a row does not change a count.
                if (interior) {
                    const bool more = r + 1 < end;
                    const uint16_t* next = source + (turn ? rows - 2 - r : r + 1) * w;
                    CountPixels(row + 1, w - 2, lanes, reinterpret_cast<const char*>(next),
                                more ? w * 2 : 0);
                }
            }
            // Each thread gathers its own histograms into its first.
            if (range.low <= range.high) MergeLanes(lanes, range.low, range.high);
            ranges[part] = range;
        });
    if (!counted_) return false;

    low_ = int(std::min(ranges[0].low, ranges[1].low));
    high_ = int(std::max(ranges[0].high, ranges[1].high));
    if (split && ranges[1].low <= ranges[1].high) {
        uint32_t *h0 = h[0], *h4 = h[kLanes];
        for (unsigned v = ranges[1].low; v <= ranges[1].high; ++v) {
            h0[v] += h4[v];
            h4[v] = 0;
        }
    }
    return true;
}

}  // namespace zorvane
