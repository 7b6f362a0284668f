// The colour preview's red-green-green-blue fill of a 16 MP frame, against OpenCV's bilinear
// demosaic of the same frame (one thread and its default threads) and against memcpy of the same
// bytes. Before timing, the interior of our output is compared with OpenCV's. Every output is
// written once before timing; CPU times are the whole process's (the fills may use two threads).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

// OpenCV's headers trip C++20's enum-arithmetic warnings.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-enum-enum-conversion"
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#pragma GCC diagnostic pop

#include "RatioReport.h"
#include "view/BayerFill.h"
#include "view/ColourPreview.h"
#include "view/ImageFrame.h"

namespace {

using namespace zorvane;

constexpr int kWidth = 4896;  // 16 MP
constexpr int kHeight = 3264;
constexpr size_t kPixels = static_cast<size_t>(kWidth) * kHeight;

// A mosaic with structure in every channel and the full 16-bit range, the same on every run.
const std::vector<uint16_t>& Mosaic() {
    static const std::vector<uint16_t> pixels = [] {
        std::vector<uint16_t> p(kPixels);
        uint32_t s = 12345;
        for (size_t i = 0; i < kPixels; ++i) {
            s = s * 1664525u + 1013904223u;
            p[i] = static_cast<uint16_t>(s >> 16);
        }
        return p;
    }();
    return pixels;
}

// The argument is the Bayer code: column phase × 2 + row phase.
void BM_FillRggb(benchmark::State& state) {
    const auto& src = Mosaic();
    std::vector<uint16_t> out(kPixels * 3);
    const int code = static_cast<int>(state.range(0));
    FillRggb(src.data(), kWidth, kHeight, code / 2, code % 2, out.data());
    bench::TimeEach(state, [&] {
        FillRggb(src.data(), kWidth, kHeight, code / 2, code % 2, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    });
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPixels * 2));
}

// The whole rebuild the view runs for each frame: phase, buffer reuse and fill.
void BM_ColourPreviewNewFrame(benchmark::State& state) {
    ImageFrame frame;
    frame.Pixels = std::make_unique<uint16_t[]>(kPixels);
    std::memcpy(frame.Pixels.get(), Mosaic().data(), kPixels * 2);
    frame.Width = kWidth;
    frame.Height = kHeight;
    frame.BinX = frame.BinY = 1;
    ColourPreview preview;
    preview.SetColourProperties(2, 0, 0, 0, 0);
    const Rect sensor{0, 0, kWidth, kHeight};
    preview.OnNewFrame(frame, sensor, 0);
    bench::TimeEach(state, [&] {
        preview.OnNewFrame(frame, sensor, 0);
        benchmark::DoNotOptimize(preview.Buffer());
    });
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPixels * 2));
}

void OpenCvDemosaic(benchmark::State& state, int threads) {
    const int saved = cv::getNumThreads();
    cv::setNumThreads(threads);
    // OpenCV names a pattern by its second row, so an RGGB frame is "BG".
    cv::Mat src(kHeight, kWidth, CV_16UC1, const_cast<uint16_t*>(Mosaic().data()));
    cv::Mat dst(kHeight, kWidth, CV_16UC3);
    cv::cvtColor(src, dst, cv::COLOR_BayerBG2BGR);
    bench::TimeEach(state, [&] {
        cv::cvtColor(src, dst, cv::COLOR_BayerBG2BGR);
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    });
    cv::setNumThreads(saved);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPixels * 2));
}
void BM_OpenCvBayerOneThread(benchmark::State& state) {
    OpenCvDemosaic(state, 1);
}
void BM_OpenCvBayerDefaultThreads(benchmark::State& state) {
    OpenCvDemosaic(state, cv::getNumberOfCPUs());
}

// memcpy of the frame's bytes and of the output's bytes: the floors for reading and writing.
void BM_MemcpyFrame(benchmark::State& state) {
    const auto& src = Mosaic();
    std::vector<uint16_t> out(kPixels);
    bench::TimeEach(state, [&] {
        std::memcpy(out.data(), src.data(), kPixels * 2);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    });
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPixels * 2));
}
void BM_MemcpyOutput(benchmark::State& state) {
    std::vector<uint16_t> src(kPixels * 3, 7);
    std::vector<uint16_t> out(kPixels * 3);
    bench::TimeEach(state, [&] {
        std::memcpy(out.data(), src.data(), kPixels * 6);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    });
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kPixels * 6));
}

BENCHMARK(BM_FillRggb)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_ColourPreviewNewFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_OpenCvBayerOneThread)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_OpenCvBayerDefaultThreads)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_MemcpyOutput)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

// Our fill truncates its averages; OpenCV rounds them (adds half before the shift). So in the
// interior OpenCV's value is ours or ours + 1, and equal wherever the sum divides evenly. At the
// edges the rules differ outright (we mirror the mosaic, OpenCV copies the neighbouring output),
// so the outermost row and column are left out.
bool CompareWithOpenCv() {
    const auto& src = Mosaic();
    std::vector<uint16_t> ours(kPixels * 3);
    FillRggb(src.data(), kWidth, kHeight, 0, 0, ours.data());
    cv::Mat in(kHeight, kWidth, CV_16UC1, const_cast<uint16_t*>(src.data()));
    cv::Mat theirs;
    cv::cvtColor(in, theirs, cv::COLOR_BayerBG2BGR);
    size_t equal = 0, plusOne = 0, other = 0;
    for (int r = 1; r < kHeight - 1; ++r) {
        const uint16_t* t = theirs.ptr<uint16_t>(r);
        const uint16_t* o = ours.data() + static_cast<size_t>(r) * kWidth * 3;
        for (int i = 3; i < (kWidth - 1) * 3; ++i) {
            const int d = int(t[i]) - int(o[i]);
            if (d == 0) {
                ++equal;
            } else if (d == 1) {
                ++plusOne;
            } else {
                ++other;
            }
        }
    }
    std::printf(
        "interior channels vs OpenCV: %zu equal, %zu OpenCV one higher (rounding), %zu other\n",
        equal, plusOne, other);
    return other == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool matches = CompareWithOpenCv();
    using zorvane::bench::RatioRow;
    const int rc = zorvane::bench::RunWithRatios(
        argc, argv,
        {
            RatioRow{"RGGB fill 16 MP / OpenCV default threads", "BM_FillRggb/0",
                     "BM_OpenCvBayerDefaultThreads", 0.7},
            RatioRow{"RGGB fill 16 MP / OpenCV one thread", "BM_FillRggb/0",
                     "BM_OpenCvBayerOneThread"},
            RatioRow{"colour preview new frame / OpenCV default", "BM_ColourPreviewNewFrame",
                     "BM_OpenCvBayerDefaultThreads"},
            RatioRow{"RGGB fill 16 MP / memcpy of the output", "BM_FillRggb/0", "BM_MemcpyOutput"},
        });
    return matches ? rc : 1;
}
