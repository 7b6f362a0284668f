#include "NoiseSource.h"

#include <cmath>
#include <vector>

namespace zorvane::sim {

uint64_t MixSeed(uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
    Random r(a * 0x2545F4914F6CDD1Dull);
    uint64_t h = r.Next();
    for (uint64_t v : {b, c, d}) {
        Random s(h ^ (v * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull));
        h = s.Next();
    }
    return h;
}

const float* NormalSource::Table() {
    // Box-Muller pairs from a fixed seed, then shifted and scaled to an exact mean of 0 and
    // variance of 1 over the table, so noise levels come out as asked for.
    static const std::vector<float> table = [] {
        constexpr int n = 65536;
        std::vector<double> t(n);
        Random r(0x5EEDF00Dull);
        for (int i = 0; i < n; i += 2) {
            const double u1 = 1.0 - r.Uniform();  // (0, 1]
            const double u2 = r.Uniform();
            const double radius = std::sqrt(-2.0 * std::log(u1));
            t[i] = radius * std::cos(2.0 * M_PI * u2);
            t[i + 1] = radius * std::sin(2.0 * M_PI * u2);
        }
        double mean = 0.0;
        for (double v : t) mean += v;
        mean /= n;
        double var = 0.0;
        for (double v : t) var += (v - mean) * (v - mean);
        const double scale = 1.0 / std::sqrt(var / n);
        std::vector<float> out(n);
        for (int i = 0; i < n; ++i) out[i] = static_cast<float>((t[i] - mean) * scale);
        return out;
    }();
    return table.data();
}

}  // namespace zorvane::sim
