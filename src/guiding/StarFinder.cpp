#include "guiding/StarFinder.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "guiding/StarMeasurement.h"
#include "guiding/StarTracker.h"

namespace zorvane {

namespace {

struct Background {
    double level = 0;
    double sigma = 1;
};

// Median and the median absolute deviation (as a standard deviation) of the values.
Background Robust(std::vector<uint16_t>& values) {
    Background b;
    if (values.empty()) return b;
    const auto mid = values.begin() + static_cast<long>(values.size() / 2);
    std::nth_element(values.begin(), mid, values.end());
    b.level = *mid;
    std::vector<uint16_t> dev(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        dev[i] = static_cast<uint16_t>(std::abs(static_cast<int>(values[i]) - *mid));
    const auto dmid = dev.begin() + static_cast<long>(dev.size() / 2);
    std::nth_element(dev.begin(), dmid, dev.end());
    b.sigma = std::max(1.0, 1.4826 * *dmid);
    return b;
}

// The frame's background from a sample of its pixels.
Background FrameBackground(const ImageFrame& f) {
    std::vector<uint16_t> sample;
    const int step = std::max(1, static_cast<int>(std::sqrt(double(f.Width) * f.Height / 20000.0)));
    for (int r = 0; r < f.Height; r += step)
        for (int c = 0; c < f.Width; c += step) sample.push_back(f.At(c, r));
    return Robust(sample);
}

}  // namespace

std::optional<FoundStar> FindGuideStar(const ImageFrame& f, const StarFinderOptions& o) {
    if (f.IsEmpty() || f.BinX <= 0 || f.BinY <= 0) return std::nullopt;
    const Background bg = FrameBackground(f);
    const double floor = bg.level + o.minSigma * bg.sigma;

    // The part of the frame a star may lie in: 1.5 search radii inside the frame's edges and
    // the sensor's (calibration moves the star that far about), and inside the region asked for.
    const int margin = (3 * o.searchRadius + 1) / 2;
    int c0 = margin, r0 = margin, c1 = f.Width - margin, r1 = f.Height - margin;
    const auto clip = [&](const Rect& s, int m) {
        if (s.Width() <= 0 || s.Height() <= 0) return;
        c0 = std::max(c0, (s.left + m - f.OriginX + f.BinX - 1) / f.BinX);
        c1 = std::min(c1, (s.right - m - f.OriginX) / f.BinX);
        r0 = std::max(r0, (s.top + m - f.OriginY + f.BinY - 1) / f.BinY);
        r1 = std::min(r1, (s.bottom - m - f.OriginY) / f.BinY);
    };
    clip(o.sensor, margin);
    clip(o.region, 0);
    c0 = std::max(c0, 1);
    r0 = std::max(r0, 1);
    c1 = std::min(c1, f.Width - 1);
    r1 = std::min(r1, f.Height - 1);

    struct Candidate {
        int c, r;
        uint16_t peak;
    };
    std::vector<Candidate> candidates;
    for (int r = r0; r < r1; ++r) {
        for (int c = c0; c < c1; ++c) {
            const uint16_t v = f.At(c, r);
            if (v < floor) continue;
            // A local maximum (the first of equal neighbours in row order).
            bool peak = true;
            int brightestNeighbour = 0;
            for (int dr = -1; dr <= 1 && peak; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    if (dr == 0 && dc == 0) continue;
                    const uint16_t n = f.At(c + dc, r + dr);
                    if (n > v || (n == v && (dr < 0 || (dr == 0 && dc < 0)))) {
                        peak = false;
                        break;
                    }
                    brightestNeighbour = std::max<int>(brightestNeighbour, n);
                }
            if (!peak) continue;
            // Light in one pixel only: a hot pixel (or a cosmic ray), not a star. Even a sharp
            // star spreads a sixth of its peak into its brightest neighbour.
            if (brightestNeighbour - bg.level < std::max(0.15 * (v - bg.level), 3.0 * bg.sigma))
                continue;
            candidates.push_back({c, r, v});
        }
    }
    // The brightest by its whole light, which a slightly fainter star centred on one pixel can
    // beat by its peak alone.
    std::optional<FoundStar> best;
    double bestMass = 0;
    for (const Candidate& cand : candidates) {
        // A saturated star's centre is flat: nothing to centroid on.
        if (cand.peak >= o.saturation) continue;
        Point tracked = f.FrameToSensor({cand.c, cand.r});
        StarMeasurement m;
        if (!StarTracker::Measure(f, tracked, o.searchRadius, o.measureRadius, m)) continue;
        // The tracker would follow a brighter pixel nearby: it must be this peak.
        if (tracked != f.FrameToSensor({cand.c, cand.r})) continue;
        const double mass = MeasureStarFigures(f, m.column, m.row, o.measureRadius).mass;
        if (best && mass <= bestMass) continue;
        best = FoundStar{tracked, m.column, m.row, m.brightness};
        bestMass = mass;
    }
    return best;
}

StarFigures MeasureStarFigures(const ImageFrame& f, float column, float row, int radius) {
    StarFigures s;
    if (f.IsEmpty() || f.BinX <= 0 || f.BinY <= 0 || column < 0 || row < 0) return s;
    const int cc = static_cast<int>((column - f.OriginX) / f.BinX);
    const int rc = static_cast<int>((row - f.OriginY) / f.BinY);
    const int ring = radius + 3;
    std::vector<uint16_t> outer;
    for (int r = rc - ring; r <= rc + ring; ++r)
        for (int c = cc - ring; c <= cc + ring; ++c) {
            if (c < 0 || r < 0 || c >= f.Width || r >= f.Height) continue;
            if (std::max(std::abs(c - cc), std::abs(r - rc)) > radius) outer.push_back(f.At(c, r));
        }
    const Background bg = Robust(outer);
    double peak = 0;
    for (int r = rc - radius; r <= rc + radius; ++r)
        for (int c = cc - radius; c <= cc + radius; ++c) {
            if (c < 0 || r < 0 || c >= f.Width || r >= f.Height) continue;
            const double v = f.At(c, r) - bg.level;
            if (v > 0) s.mass += v;
            peak = std::max(peak, v);
        }
    s.snr = peak / bg.sigma;
    return s;
}

}  // namespace zorvane
