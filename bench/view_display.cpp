// The image view's two per-frame costs: the display translation of a 16 MP frame (histogram,
// percentiles, lookup table) and one render of a 1920 × 1080 window, next to memcpy of the same
// bytes and to a plain lookup-table map of the same screen in the same run. Every buffer is
// allocated and written once before timing.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "RatioReport.h"
#include "view/DisplayTranslator.h"
#include "view/ImageFrame.h"
#include "view/ViewGeometry.h"
#include "view/ViewRenderer.h"

namespace {

using namespace zorvane;

constexpr int kWidth = 4896;  // 16 MP
constexpr int kHeight = 3264;
constexpr size_t kPixels = size_t(kWidth) * kHeight;
constexpr int kScreenW = 1920;
constexpr int kScreenH = 1080;

// A sky frame: a noisy background around 1000 counts with a sprinkling of stars. The narrow
// background makes many neighbouring pixels share a histogram bin, the hard case for counting.
const ImageFrame& Sky() {
    static const ImageFrame frame = [] {
        std::vector<uint16_t> px(kPixels);
        std::mt19937 rng(42);
        std::normal_distribution<float> noise(1000.0f, 15.0f);
        std::uniform_int_distribution<int> star(0, 999);
        for (auto& v : px) {
            float x = noise(rng);
            if (star(rng) == 0) x += 20000.0f;
            v = static_cast<uint16_t>(x);
        }
        ImageFrame f;
        f.Assign(px.data(), kWidth, kHeight);
        f.BinX = f.BinY = 1;
        return f;
    }();
    return frame;
}

void BM_UpdateDisplayTranslator(benchmark::State& state) {
    const ImageFrame& f = Sky();
    DisplayTranslator t;
    t.Update(f);
    bench::TimeEach(state, [&] {
        auto lv = t.Update(f);
        benchmark::DoNotOptimize(lv);
        benchmark::DoNotOptimize(t.Lut());
    });
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPixels * 2));
}

void BM_MemcpyFrame(benchmark::State& state) {
    const ImageFrame& f = Sky();
    std::vector<uint16_t> dst(kPixels);
    bench::TimeEach(state, [&] {
        std::memcpy(dst.data(), f.Pixels.get(), kPixels * 2);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    });
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPixels * 2));
}

// Zoom level as the argument: 0 shows 1:1 (every pixel a different frame pixel), -1 zooms
// out, 2 zooms in (rows repeat).
void BM_Render1080p(benchmark::State& state) {
    const ImageFrame& f = Sky();
    DisplayTranslator t;
    t.Update(f);
    ViewGeometry geo;
    geo.SetSensorRect({0, 0, kWidth, kHeight});
    geo.SetClientSize(kScreenW, kScreenH);
    geo.SetZoom(static_cast<int>(state.range(0)));
    ViewBitmap bmp;
    bmp.Allocate(kScreenW, kScreenH);
    std::memset(bmp.Bits(), 0, size_t(bmp.Stride()) * kScreenH);
    ViewRenderer renderer;
    RenderSource src;
    src.frame = &f;
    src.lut = t.Lut();
    renderer.Render(src, geo, bmp);
    bench::TimeEach(state, [&] {
        renderer.Render(src, geo, bmp);
        benchmark::DoNotOptimize(bmp.Bits());
        benchmark::ClobberMemory();
    });
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bmp.Stride()) * kScreenH);
}

// The reference for 1:1: the screen's pixels straight through the lookup table into the same
// 24-bit layout, one byte at a time.
void BM_LutMap1080p(benchmark::State& state) {
    const ImageFrame& f = Sky();
    DisplayTranslator t;
    t.Update(f);
    const uint8_t* lut = t.Lut();
    const int stride = ViewBitmap::StrideFor(kScreenW);
    std::vector<uint8_t> out(size_t(stride) * kScreenH, 0);
    const int x0 = (kWidth - kScreenW) / 2, y0 = (kHeight - kScreenH) / 2;
    bench::TimeEach(state, [&] {
        for (int y = 0; y < kScreenH; ++y) {
            const uint16_t* s = f.Pixels.get() + size_t(y0 + y) * kWidth + x0;
            uint8_t* o = out.data() + size_t(y) * stride;
            for (int x = 0; x < kScreenW; ++x) o[3 * x] = o[3 * x + 1] = o[3 * x + 2] = lut[s[x]];
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    });
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stride) * kScreenH);
}

void BM_MemcpyScreen(benchmark::State& state) {
    const size_t bytes = size_t(ViewBitmap::StrideFor(kScreenW)) * kScreenH;
    std::vector<uint8_t> a(bytes, 1), b(bytes);
    bench::TimeEach(state, [&] {
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    });
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

}  // namespace

BENCHMARK(BM_UpdateDisplayTranslator)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Render1080p)->Arg(0)->Arg(-1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LutMap1080p)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyScreen)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    using zorvane::bench::RatioRow;
    return zorvane::bench::RunWithRatios(
        argc, argv,
        {
            RatioRow{"display translation 16 MP / memcpy", "BM_UpdateDisplayTranslator",
                     "BM_MemcpyFrame"},
            RatioRow{"render 1080p 1:1 (ms)", "BM_Render1080p/0", nullptr, 0.8},
            RatioRow{"render 1080p 1:1 / plain lookup map", "BM_Render1080p/0", "BM_LutMap1080p"},
            RatioRow{"render 1080p zoomed out / plain lookup map", "BM_Render1080p/-1",
                     "BM_LutMap1080p"},
            RatioRow{"render 1080p 2:1 / plain lookup map", "BM_Render1080p/2", "BM_LutMap1080p"},
        });
}
