// The star measurement after every frame: one Measure with the default radii (search 15,
// measure 8) on a 16 MP and on a 1 MP frame, next to memcpy of the 16 MP frame. Measure only
// visits the windows around the star, so its cost must not grow with the frame.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "guiding/StarTracker.h"

namespace {

using namespace zorvane;

// A noisy sky around 1000 counts with one Gaussian star (FWHM 2.5 px) in the middle.
ImageFrame SkyWithStar(int width, int height) {
    std::vector<uint16_t> px(size_t(width) * height);
    std::mt19937 rng(7);
    std::normal_distribution<float> noise(1000.0f, 15.0f);
    const float cx = width / 2 + 0.3f, cy = height / 2 - 0.2f, sigma = 2.5f / 2.3548f;
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            const float dx = c + 0.5f - cx, dy = r + 0.5f - cy;
            const float star = 20000.0f * std::exp(-(dx * dx + dy * dy) / (2 * sigma * sigma));
            px[size_t(r) * width + c] = static_cast<uint16_t>(noise(rng) + star);
        }
    }
    ImageFrame f;
    f.Assign(px.data(), width, height);
    f.BinX = f.BinY = 1;
    return f;
}

void Measure(benchmark::State& state, const ImageFrame& f) {
    StarMeasurement m;
    for (auto _ : state) {
        Point tracked{f.Width / 2 + 3, f.Height / 2 - 2};
        benchmark::DoNotOptimize(StarTracker::Measure(f, tracked, 15, 8, m));
        benchmark::DoNotOptimize(m);
    }
}

void BM_Measure16MP(benchmark::State& state) {
    static const ImageFrame f = SkyWithStar(4896, 3264);
    Measure(state, f);
}

void BM_Measure1MP(benchmark::State& state) {
    static const ImageFrame f = SkyWithStar(1024, 1024);
    Measure(state, f);
}

void BM_MemcpyFrame16MP(benchmark::State& state) {
    static const ImageFrame f = SkyWithStar(4896, 3264);
    const size_t bytes = size_t(f.Width) * f.Height * 2;
    std::vector<uint16_t> dst(size_t(f.Width) * f.Height);
    for (auto _ : state) {
        std::memcpy(dst.data(), f.Pixels.get(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_Measure16MP)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Measure1MP)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyFrame16MP)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
