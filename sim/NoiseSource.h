#pragma once

#include <cstdint>

namespace zorvane::sim {

// Mixes values into a well-spread 64-bit seed.
uint64_t MixSeed(uint64_t a, uint64_t b = 0, uint64_t c = 0, uint64_t d = 0);

// A small fast generator (splitmix64): deterministic for a seed, good enough for pixel noise.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

private:
    uint64_t state_;
};

// Standard normal deviates drawn from a fixed precomputed table, four per generator step:
// a per-pixel sqrt and a table look-up instead of a transcendental per pixel.
class NormalSource {
public:
    explicit NormalSource(uint64_t seed) : random_(seed), table_(Table()) {}
    // Fills out[0..n) with deviates.
    void Fill(float* out, int n) {
        int i = 0;
        for (; i + 4 <= n; i += 4) {
            const uint64_t bits = random_.Next();
            out[i] = table_[bits & 0xFFFF];
            out[i + 1] = table_[(bits >> 16) & 0xFFFF];
            out[i + 2] = table_[(bits >> 32) & 0xFFFF];
            out[i + 3] = table_[bits >> 48];
        }
        for (uint64_t bits = random_.Next(); i < n; ++i, bits >>= 16)
            out[i] = table_[bits & 0xFFFF];
    }

private:
    static const float* Table();
    Random random_;
    const float* table_;
};

}  // namespace zorvane::sim
