#include "guiding/StarTracker.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zorvane {

namespace {

// The in-frame part of the window lo .. hi - 1 around `centre` (hi exclusive). Bounds are
// worked out in 64 bits: radii come from the settings file and may be anything.
struct Span {
    int first;
    int end;  // exclusive
    bool Empty() const { return first >= end; }
};

Span Window(int centre, int radius, int size) {
    const int64_t lo = std::max<int64_t>(int64_t{centre} - radius, 0);
    const int64_t hi = std::min<int64_t>(int64_t{centre} + radius, size);
    return {static_cast<int>(lo), static_cast<int>(std::max(hi, lo))};
}

}  // namespace

float StarTracker::SquareFlux(const ImageFrame& frame, int threshold, float cf, float rf,
                              float rho) {
    // Pixels outside the frame add nothing, so the walk starts and ends at the frame's edges;
    // that also bounds the work whatever the radius.
    const float height = static_cast<float>(frame.Height);
    const float width = static_cast<float>(frame.Width);
    const float yEnd = std::min(rf + rho, height);
    const float xEnd = std::min(cf + rho, width);
    const float xStart = std::max(cf - rho, 0.0f);
    float flux = 0.0f;
    for (float y = std::max(rf - rho, 0.0f); y < yEnd;) {
        const int row = static_cast<int>(std::floor(y));
        const float next = static_cast<float>(row + 1);
        const float h = std::min(next, yEnd) - y;
        const uint16_t* line = frame.Pixels.get() + static_cast<size_t>(row) * frame.Width;
        for (float x = xStart; x < xEnd;) {
            const int col = static_cast<int>(std::floor(x));
            const float nextX = static_cast<float>(col + 1);
            const int w = static_cast<int>(line[col]) - threshold;
            if (w > 0) flux += static_cast<float>(w) * (std::min(nextX, xEnd) - x) * h;
            x = nextX;
        }
        y = next;
    }
    return flux;
}

bool StarTracker::Measure(const ImageFrame& frame, Point& tracked, int searchRadius,
                          int measureRadius, StarMeasurement& out) {
    out = StarMeasurement{};
    if (frame.IsEmpty()) return false;
    const int binX = frame.BinX > 0 ? frame.BinX : 1;
    const int binY = frame.BinY > 0 ? frame.BinY : 1;
    // Left of or above the origin is off the frame, whatever the truncation would say: the
    // markers -1 and -1000 must never land inside.
    if (tracked.x < frame.OriginX || tracked.y < frame.OriginY) return false;
    const int c0 = (tracked.x - frame.OriginX) / binX;
    const int r0 = (tracked.y - frame.OriginY) / binY;
    if (c0 >= frame.Width || r0 >= frame.Height) return false;

    // Peak: rows outer, columns inner, only a strictly greater value replaces the best, so
    // the first of equal maxima in reading order wins.
    const Span rows = Window(r0, searchRadius, frame.Height);
    const Span cols = Window(c0, searchRadius, frame.Width);
    if (rows.Empty() || cols.Empty()) return false;
    int peak = -1, pc = 0, pr = 0;
    for (int r = rows.first; r < rows.end; ++r) {
        const uint16_t* line = frame.Pixels.get() + static_cast<size_t>(r) * frame.Width;
        for (int c = cols.first; c < cols.end; ++c) {
            if (line[c] > peak) {
                peak = line[c];
                pc = c;
                pr = r;
            }
        }
    }

    // Follow the star; a failed measurement below puts the position back where the star was
    // last seen. Otherwise a window with no star in it (a cloud passing) would hand the position
    // to its brightest speck of noise, frame after frame, until the star, back again, lay
    // beyond the search radius.
    const Point lastSeen = tracked;
    tracked.x = pc * binX + frame.OriginX;
    tracked.y = pr * binY + frame.OriginY;

    // Background: the lowest pixel of the search window around the peak.
    const Span bRows = Window(pr, searchRadius, frame.Height);
    const Span bCols = Window(pc, searchRadius, frame.Width);
    int minimum = peak;
    for (int r = bRows.first; r < bRows.end; ++r) {
        const uint16_t* line = frame.Pixels.get() + static_cast<size_t>(r) * frame.Width;
        for (int c = bCols.first; c < bCols.end; ++c) minimum = std::min<int>(minimum, line[c]);
    }
    const float brightness = static_cast<float>(peak - minimum);
    const int threshold = minimum + (peak - minimum) / 20;

    // Centroid of what lies above the threshold within the measurement radius.
    const Span mRows = Window(pr, measureRadius, frame.Height);
    const Span mCols = Window(pc, measureRadius, frame.Width);
    float s = 0.0f, sx = 0.0f, sy = 0.0f;
    for (int r = mRows.first; r < mRows.end; ++r) {
        const uint16_t* line = frame.Pixels.get() + static_cast<size_t>(r) * frame.Width;
        for (int c = mCols.first; c < mCols.end; ++c) {
            const int w = static_cast<int>(line[c]) - threshold;
            if (w <= 0) continue;
            s += static_cast<float>(w);
            sx += static_cast<float>(int64_t{w} * c);
            sy += static_cast<float>(int64_t{w} * r);
        }
    }

    float cf, rf, rho = 0.0f;
    if (s <= 0.0f) {
        // Nothing above the threshold (a flat window): the peak pixel itself, no width.
        cf = static_cast<float>(pc);
        rf = static_cast<float>(pr);
    } else {
        cf = sx / s + 0.5f;
        rf = sy / s + 0.5f;
        // Half-flux radius by bisection: the square holding half the thresholded flux.
        rho = 0.5f * static_cast<float>(measureRadius);
        float delta = 0.5f * rho;
        for (int i = 0; i < 10; ++i) {
            const float flux = SquareFlux(frame, threshold, cf, rf, rho);
            if (2.0f * flux > s)
                rho -= delta;
            else
                rho += delta;
            delta *= 0.5f;
        }
    }

    // Wider than half the measurement radius: no star, or none to trust.
    if (rho > static_cast<float>(measureRadius / 2)) {
        tracked = lastSeen;
        return false;
    }

    out.column = static_cast<float>(binX) * cf + static_cast<float>(frame.OriginX);
    out.row = static_cast<float>(binY) * rf + static_cast<float>(frame.OriginY);
    out.brightness = brightness;
    out.width = 2.0f * rho;
    return true;
}

}  // namespace zorvane
