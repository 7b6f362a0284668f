#include "view/BayerFill.h"

#include <algorithm>
#include <cstring>

#include "core/SplitWork.h"

namespace zorvane {

namespace {

// Frames from this size on are filled by two threads, each taking half the rows.
constexpr int64_t kTwoThreadPixels = int64_t{1} << 20;
inline bool IsLarge(int width, int height) {
    return int64_t{width} * height >= kTwoThreadPixels;
}

// Neighbour index before and after i in a line of n, mirrored at the ends. A line of one has no
// neighbour at all, so the pixel stands in for it.
inline int Before(int i, int n) {
    return i > 0 ? i - 1 : (n > 1 ? 1 : 0);
}
inline int After(int i, int n) {
    return i < n - 1 ? i + 1 : (n > 1 ? i - 1 : i);
}

// In a mosaic row the non-green sites carry the row's own colour (red in a red row, blue in a
// blue row); rowCh is that colour's channel, 2 - rowCh the colour of the rows above and below.
inline void RggbPixel(const uint16_t* up, const uint16_t* cur, const uint16_t* dn, int c, int l,
                      int r, bool nonGreen, int rowCh, uint16_t* o) {
    if (nonGreen) {
        o[rowCh] = cur[c];
        o[1] = static_cast<uint16_t>((up[c] + dn[c] + cur[l] + cur[r]) >> 2);
        o[2 - rowCh] = static_cast<uint16_t>((up[l] + dn[l] + up[r] + dn[r]) >> 2);
    } else {
        o[rowCh] = static_cast<uint16_t>((cur[l] + cur[r]) >> 1);
        o[1] = cur[c];
        o[2 - rowCh] = static_cast<uint16_t>((up[c] + dn[c]) >> 1);
    }
}

// A run of pairs of sites, each a green site followed by a non-green one, without branches so
// that the compiler vectorises it. Pixels travel in pairs as 32-bit words (low half first), so
// the vector code needs no 16-bit shuffles. The pointers address the run's first column; the
// columns either side of the run must exist.
template <int RowCh>
void RggbPairs(const uint16_t* __restrict up, const uint16_t* __restrict cur,
               const uint16_t* __restrict dn, int pairs, uint16_t* __restrict o) {
    constexpr int OtherCh = 2 - RowCh;
    auto load = [](const uint16_t* p) {
        uint32_t w;
        std::memcpy(&w, p, 4);
        return w;
    };
    auto store = [](uint16_t* p, uint32_t w) { std::memcpy(p, &w, 4); };
    auto lo = [](uint32_t x) { return x & 0xFFFFu; };
    auto hi = [](uint32_t x) { return x >> 16; };
    for (int i = 0; i < pairs; ++i) {
        const int a = 2 * i;
        // w = (green, non-green); wl and wr the same pair one column to the left and right
        const uint32_t w = load(cur + a), wl = load(cur + a - 1), wr = load(cur + a + 1);
        const uint32_t u = load(up + a), ul = load(up + a - 1), ur = load(up + a + 1);
        const uint32_t d = load(dn + a), dl = load(dn + a - 1), dr = load(dn + a + 1);
        uint32_t g[3], n[3];
        g[RowCh] = (lo(wl) + hi(w)) >> 1;
        g[1] = lo(w);
        g[OtherCh] = (lo(u) + lo(d)) >> 1;
        n[RowCh] = hi(w);
        n[1] = (hi(u) + hi(d) + lo(w) + hi(wr)) >> 2;
        n[OtherCh] = (hi(ul) + hi(ur) + hi(dl) + hi(dr)) >> 2;
        uint16_t* op = o + 3 * a;
        store(op, g[0] | g[1] << 16);
        store(op + 2, g[2] | n[0] << 16);
        store(op + 4, n[1] | n[2] << 16);
    }
}

// The row loop is built twice where the compiler and the loader allow it: for the baseline
// instruction set and for AVX2, chosen once at load time by what the processor has. flatten
// pulls the pair loop into each build, so that each vectorises it for its own registers. The
// arithmetic is integer only, so both give the same values.
#if defined(__x86_64__) && defined(__linux__) && defined(__has_attribute)
#if __has_attribute(target_clones) && __has_attribute(flatten)
#define ZORVANE_ROW_CLONES __attribute__((flatten, target_clones("avx2", "default")))
#endif
#endif
#ifndef ZORVANE_ROW_CLONES
#define ZORVANE_ROW_CLONES
#endif

ZORVANE_ROW_CLONES
void FillRggbRows(const uint16_t* src, int width, int height, int offsetX, int offsetY,
                  uint16_t* out, int rowBegin, int rowEnd) {
    const size_t w = static_cast<size_t>(width);
    for (int r = rowBegin; r < rowEnd; ++r) {
        const uint16_t* up = src + static_cast<size_t>(Before(r, height)) * w;
        const uint16_t* cur = src + static_cast<size_t>(r) * w;
        const uint16_t* dn = src + static_cast<size_t>(After(r, height)) * w;
        uint16_t* o = out + static_cast<size_t>(r) * w * 3;
        const int py = (r + offsetY) & 1;
        const int rowCh = py == 0 ? 2 : 0;
        // A site is non-green where its column phase equals the row phase.
        auto nonGreen = [&](int c) { return ((c + offsetX) & 1) == py; };
        // The pairs start on the first green column after column 0 and stop before the last
        // column; the columns around them take the one-pixel path with mirrored neighbours.
        const int first = nonGreen(1) ? 2 : 1;
        const int pairs = std::max(0, (width - 1 - first) / 2);
        auto single = [&](int c) {
            RggbPixel(up, cur, dn, c, Before(c, width), After(c, width), nonGreen(c), rowCh,
                      o + 3 * static_cast<size_t>(c));
        };
        for (int c = 0; c < std::min(first, width); ++c) single(c);
        if (pairs > 0) {
            const size_t f = static_cast<size_t>(first);
            if (rowCh == 2) {
                RggbPairs<2>(up + f, cur + f, dn + f, pairs, o + 3 * f);
            } else {
                RggbPairs<0>(up + f, cur + f, dn + f, pairs, o + 3 * f);
            }
        }
        for (int c = std::max(first, first + 2 * pairs); c < width; ++c) single(c);
    }
}

}  // namespace

void FillRggb(const uint16_t* src, int width, int height, int offsetX, int offsetY, uint16_t* out) {
    if (!src || !out || width <= 0 || height <= 0) return;
    SplitInTwo(size_t(height), IsLarge(width, height), [&](int, size_t begin, size_t end) {
        FillRggbRows(src, width, height, offsetX, offsetY, out, int(begin), int(end));
    });
}

namespace {

// Members of the four colour groups of the 2 × 4 pattern, by site k = column phase + 2 × row
// phase: Ka = {0, 4}, Kb = {1, 5}, Kc = {2, 7}, Kd = {3, 6}.
constexpr int kGroupOfSite[8] = {0, 1, 2, 3, 0, 1, 3, 2};

// 1 / count for a group of count members, in single precision.
constexpr float kWeight[10] = {0.0f, 1.0f,        0.5f,        0.33333334f, 0.25f,
                               0.2f, 0.16666667f, 0.14285715f, 0.125f,      0.11111111f};

inline uint16_t ClampChannel(float v) {
    // Clamp in floating point, so that the conversion to an integer is always defined.
    if (!(v > 0.0f)) return 0;
    if (v >= 65535.0f) return 65535;
    return static_cast<uint16_t>(static_cast<int32_t>(v));
}

void FillFourRowRows(const uint16_t* src, int width, int height, int offsetX, int offsetY,
                     uint16_t* out, int rowBegin, int rowEnd) {
    const size_t w = static_cast<size_t>(width);
    for (int r = rowBegin; r < rowEnd; ++r) {
        const int r0 = std::max(0, r - 1);
        const int r1 = std::min(height - 1, r + 1);
        for (int c = 0; c < width; ++c) {
            const int c0 = std::max(0, c - 1);
            const int c1 = std::min(width - 1, c + 1);
            int32_t sum[4] = {0, 0, 0, 0};
            int count[4] = {0, 0, 0, 0};
            for (int rr = r0; rr <= r1; ++rr) {
                const uint16_t* row = src + static_cast<size_t>(rr) * w;
                const int rowSite = 2 * ((rr + offsetY) & 3);
                for (int cc = c0; cc <= c1; ++cc) {
                    const int group = kGroupOfSite[((cc + offsetX) & 1) + rowSite];
                    sum[group] += row[cc];
                    ++count[group];
                }
            }
            int32_t k[4];
            for (int i = 0; i < 4; ++i) {
                k[i] = static_cast<int32_t>(static_cast<float>(sum[i]) * kWeight[count[i]]);
            }
            const int32_t ka = k[0], kb = k[1], kc = k[2], kd = k[3];
            // Halving and quartering are arithmetic shifts: negative differences round down.
            const int32_t total = ka + kb + kc + kd;
            int32_t x = ka - kd;
            int32_t y = kb - kd;
            const int32_t z = kc - (x + y);
            x += z >> 1;
            y += z >> 1;
            y += (kc + kb - ka) >> 2;
            const int32_t d2 = kd + ((ka + kb - kc) >> 2);
            x += (ka + kc - kb) >> 2;
            const int32_t n = x + y + d2 + (d2 >> 1);
            float s = static_cast<float>(n);
            if (s != 0.0f) s = static_cast<float>(total) / s;
            uint16_t* o = out + (static_cast<size_t>(r) * w + c) * 3;
            o[0] = ClampChannel(static_cast<float>(x) * s);
            o[1] = ClampChannel(static_cast<float>(d2) * s);
            o[2] = ClampChannel(static_cast<float>(y) * s);
        }
    }
}

}  // namespace

void FillFourRow(const uint16_t* src, int width, int height, int offsetX, int offsetY,
                 uint16_t* out) {
    if (!src || !out || width <= 0 || height <= 0) return;
    SplitInTwo(size_t(height), IsLarge(width, height), [&](int, size_t begin, size_t end) {
        FillFourRowRows(src, width, height, offsetX, offsetY, out, int(begin), int(end));
    });
}

void FillGrey(const uint16_t* src, int width, int height, uint16_t* out) {
    if (!src || !out || width <= 0 || height <= 0) return;
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    for (size_t i = 0; i < n; ++i) {
        out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = src[i];
    }
}

}  // namespace zorvane
