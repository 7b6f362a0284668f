// Writing a 16 MP frame as FITS and as TIFF, next to cfitsio and libtiff writing the same frame
// into the same folder, and next to a plain write of the same bytes. After the run the ratios
// to the reference writers are printed.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <fitsio.h>
#include <tiffio.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "files/FitsWriter.h"
#include "files/HeaderKeywords.h"
#include "files/TiffWriter.h"

namespace {

using namespace zorvane;

constexpr int kWidth = 4896;  // 16 MP
constexpr int kHeight = 3264;
constexpr std::size_t kPixels = static_cast<std::size_t>(kWidth) * kHeight;

const std::vector<std::uint16_t>& Frame() {
    static const std::vector<std::uint16_t> pixels = [] {
        std::vector<std::uint16_t> p(kPixels);
        std::uint32_t s = 12345;
        for (auto& v : p) {
            s = s * 1664525u + 1013904223u;
            v = static_cast<std::uint16_t>(s >> 16);
        }
        return p;
    }();
    return pixels;
}

const std::string& Folder() {
    static const std::string folder = [] {
        auto path = std::filesystem::temp_directory_path() / "zorvane-bench-files";
        std::filesystem::create_directories(path);
        return path.string();
    }();
    return folder;
}

HeaderInputs Header() {
    HeaderInputs in;
    in.model = "Cam 814";
    in.object = "M31";
    in.startTimeText = MakeExposureTimeText("2012-03-04 21:05:09", 400, true, {});
    in.exposureSeconds = 30;
    return in;
}

// Seconds and writes of each benchmark over all its runs, for the closing ratios.
struct Total {
    double seconds = 0;
    double writes = 0;
    double Mean() const { return writes > 0 ? seconds / writes : 0; }
};
std::map<std::string, Total>& Totals() {
    static std::map<std::string, Total> totals;
    return totals;
}

// Times each write on its own, with the previous file removed outside the timing.
template <typename WriteFn>
void TimeWrites(benchmark::State& state, const char* name, const std::string& path, WriteFn write) {
    double total = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::remove(path.c_str());
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        if (!write()) state.SkipWithError("write failed");
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        total += took.count();
    }
    Totals()[name].seconds += total;
    Totals()[name].writes += static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kPixels * 2);
    std::remove(path.c_str());
}

void BM_FitsWriter(benchmark::State& state) {
    FitsWriter writer;
    const std::string path = Folder() + "/ours.fit";
    TimeWrites(state, "fits", path, [&] {
        AddHeaderKeywords(Header(), writer);
        const bool ok = writer.Write(path, Frame().data(), kWidth, kHeight);
        writer.ClearKeywords();
        return ok;
    });
}

void BM_CfitsioWrite(benchmark::State& state) {
    const std::string path = Folder() + "/cfitsio.fit";
    TimeWrites(state, "cfitsio", path, [&] {
        fitsfile* f = nullptr;
        int status = 0;
        long naxes[2] = {kWidth, kHeight};
        fits_create_file(&f, path.c_str(), &status);
        fits_create_img(f, USHORT_IMG, 2, naxes, &status);
        fits_write_key_str(f, "OBJECT", "M31", nullptr, &status);
        fits_write_img(f, TUSHORT, 1, static_cast<LONGLONG>(kPixels),
                       const_cast<std::uint16_t*>(Frame().data()), &status);
        fits_close_file(f, &status);
        return status == 0;
    });
}

void BM_TiffWriter(benchmark::State& state) {
    TiffWriter writer;
    const std::string path = Folder() + "/ours.tif";
    TimeWrites(state, "tiff", path, [&] {
        AddHeaderKeywords(Header(), writer);
        const bool ok = writer.Write(path, Frame().data(), kWidth, kHeight);
        writer.ClearKeywords();
        return ok;
    });
}

void BM_LibtiffWrite(benchmark::State& state) {
    const std::string path = Folder() + "/libtiff.tif";
    TIFFSetWarningHandler(nullptr);
    TimeWrites(state, "libtiff", path, [&] {
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        if (!tif) return false;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kHeight);
        TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "OBJECT='M31'\r\n");
        const bool ok = TIFFWriteEncodedStrip(tif, 0, const_cast<std::uint16_t*>(Frame().data()),
                                              static_cast<tmsize_t>(kPixels * 2)) >= 0;
        TIFFClose(tif);
        return ok;
    });
}

// The floor: the same number of bytes in one write call, no conversion.
void BM_PlainWrite(benchmark::State& state) {
    const std::string path = Folder() + "/plain.raw";
    TimeWrites(state, "plain", path, [&] {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) return false;
        const char* p = reinterpret_cast<const char*>(Frame().data());
        std::size_t left = kPixels * 2;
        while (left > 0) {
            const ssize_t n = ::write(fd, p, left);
            if (n <= 0) break;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        return ::close(fd) == 0 && left == 0;
    });
}

BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CfitsioWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FitsWriter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibtiffWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TiffWriter)->Unit(benchmark::kMillisecond)->UseRealTime();

void PrintRatio(const char* what, const char* ours, const char* reference) {
    const auto& t = Totals();
    if (!t.count(ours) || !t.count(reference) || t.at(reference).Mean() <= 0) return;
    std::printf("%-28s %.2fx  (%.2f ms / %.2f ms)\n", what,
                t.at(ours).Mean() / t.at(reference).Mean(), t.at(ours).Mean() * 1e3,
                t.at(reference).Mean() * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Frame();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nTime ratios (lower is faster):\n");
    PrintRatio("FITS writer / cfitsio", "fits", "cfitsio");
    PrintRatio("FITS writer / plain write", "fits", "plain");
    PrintRatio("TIFF writer / libtiff", "tiff", "libtiff");
    PrintRatio("TIFF writer / plain write", "tiff", "plain");
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
    return 0;
}
