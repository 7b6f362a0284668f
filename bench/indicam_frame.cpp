// The INDI camera's frame path: from the FITS frame as the client library hands it over (16 MP,
// unsigned 16-bit, big-endian with BZERO 32768) to the pixels in the camera interface's buffer,
// next to memcpy of the same bytes into the same buffer. After the run the ratio is printed.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "FitsFrame.h"

namespace {

using namespace zorvane::indicam;

constexpr int kWidth = 4896;  // 16 MP
constexpr int kHeight = 3264;
constexpr size_t kPixels = static_cast<size_t>(kWidth) * kHeight;

std::string Card(const std::string& key, const std::string& value) {
    std::string c = key;
    c.resize(8, ' ');
    c += "= " + std::string(20 - std::min<size_t>(20, value.size()), ' ') + value;
    c.resize(80, ' ');
    return c;
}

// The message a driver sends: a FITS header and the frame, as a camera's noise would fill it.
const std::vector<unsigned char>& Message() {
    static const std::vector<unsigned char> bytes = [] {
        std::string h = Card("SIMPLE", "T") + Card("BITPIX", "16") + Card("NAXIS", "2") +
                        Card("NAXIS1", std::to_string(kWidth)) +
                        Card("NAXIS2", std::to_string(kHeight)) + Card("BZERO", "32768") +
                        Card("BSCALE", "1");
        h += "END";
        h.resize(2880, ' ');
        std::vector<unsigned char> b(h.begin(), h.end());
        b.resize(h.size() + kPixels * 2);
        uint32_t s = 12345;
        for (size_t i = 0; i < kPixels; ++i) {
            s = s * 1664525u + 1013904223u;
            b[h.size() + 2 * i] = static_cast<unsigned char>(s >> 24);
            b[h.size() + 2 * i + 1] = static_cast<unsigned char>(s >> 16);
        }
        return b;
    }();
    return bytes;
}

std::map<std::string, double>& Seconds() {
    static std::map<std::string, double> s;
    return s;
}

template <typename F>
void Measure(benchmark::State& state, const char* name, F body) {
    std::vector<uint16_t> buffer(kPixels);  // the library reuses its buffers frame after frame
    const std::vector<unsigned char>& message = Message();
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        body(message, buffer);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    Seconds()[name] = total / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kPixels * 2);
}

void BM_Memcpy(benchmark::State& state) {
    Measure(state, "memcpy", [](const std::vector<unsigned char>& m, std::vector<uint16_t>& b) {
        std::memcpy(b.data(), m.data() + 2880, kPixels * 2);
    });
}

void BM_DecodeFits(benchmark::State& state) {
    Measure(state, "decode", [](const std::vector<unsigned char>& m, std::vector<uint16_t>& b) {
        FitsFrame frame;
        if (DecodeFits(m.data(), m.size(), b, frame) != FitsResult::Ok) std::abort();
    });
}

BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeFits)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double copy = Seconds()["memcpy"], decode = Seconds()["decode"];
    if (copy > 0 && decode > 0)
        std::printf("\nTime ratio (lower is faster):\n  frame arrival to pixels / memcpy: %.2f\n",
                    decode / copy);
    return 0;
}
