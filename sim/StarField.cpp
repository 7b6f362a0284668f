#include "StarField.h"

#include <algorithm>
#include <cmath>

#include "NoiseSource.h"

namespace zorvane::sim {

namespace {
// Stars span this many magnitudes below the brightest; the count per magnitude grows by
// 10^kSlope, close to what a field away from the galactic plane shows.
constexpr double kMagnitudeRange = 8.0;
constexpr double kSlope = 0.35;
}  // namespace

StarField::StarField(uint64_t seed, double starsPerMegapixel, double brightestFlux)
    : seed_(seed), perTile_(starsPerMegapixel * kTile * kTile / 1e6), brightest_(brightestFlux) {}

void StarField::FillTile(int64_t tx, int64_t ty, std::vector<Star>& out) const {
    Random r(MixSeed(seed_, static_cast<uint64_t>(tx), static_cast<uint64_t>(ty)));
    // Poisson count: multiplication method for small means, normal approximation above.
    int count = 0;
    if (perTile_ < 30.0) {
        const double limit = std::exp(-perTile_);
        double p = r.Uniform();
        while (p > limit) {
            ++count;
            p *= r.Uniform();
        }
    } else {
        const double u1 = 1.0 - r.Uniform();
        const double u2 = r.Uniform();
        const double z = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
        count = std::max(0, static_cast<int>(std::lround(perTile_ + z * std::sqrt(perTile_))));
    }
    const double spread = std::pow(10.0, kSlope * kMagnitudeRange) - 1.0;
    for (int i = 0; i < count; ++i) {
        Star s;
        s.x = static_cast<double>(tx * kTile) + r.Uniform() * kTile;
        s.y = static_cast<double>(ty * kTile) + r.Uniform() * kTile;
        const double magnitude = std::log10(1.0 + r.Uniform() * spread) / kSlope;
        s.flux = brightest_ * std::pow(10.0, -0.4 * magnitude);
        s.id = MixSeed(seed_, static_cast<uint64_t>(tx), static_cast<uint64_t>(ty),
                       static_cast<uint64_t>(i));
        out.push_back(s);
    }
}

void StarField::Collect(double x0, double y0, double x1, double y1, std::vector<Star>& out) const {
    if (perTile_ <= 0.0 || !(x1 > x0) || !(y1 > y0)) return;
    const auto tx0 = static_cast<int64_t>(std::floor(x0 / kTile));
    const auto tx1 = static_cast<int64_t>(std::floor(x1 / kTile));
    const auto ty0 = static_cast<int64_t>(std::floor(y0 / kTile));
    const auto ty1 = static_cast<int64_t>(std::floor(y1 / kTile));
    std::vector<Star> tile;
    for (int64_t ty = ty0; ty <= ty1; ++ty) {
        for (int64_t tx = tx0; tx <= tx1; ++tx) {
            tile.clear();
            FillTile(tx, ty, tile);
            for (const Star& s : tile) {
                if (s.x >= x0 && s.x < x1 && s.y >= y0 && s.y < y1) out.push_back(s);
            }
        }
    }
}

}  // namespace zorvane::sim
