// Writing a 16 MP frame as FITS and as TIFF, next to cfitsio and libtiff writing the same frame
// into the same folder, and next to a plain write of the same bytes. After the run the ratios
// to the reference writers are printed. The previous file is removed outside the timing.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <fitsio.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "RatioReport.h"
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

// Times each write on its own, with the previous file removed outside the timing.
template <typename WriteFn>
void TimeWrites(benchmark::State& state, const std::string& path, WriteFn write) {
    bool ok = true;
    bench::TimeEach(
        state, [&] { ok = write() && ok; }, [&] { std::remove(path.c_str()); });
    if (!ok) state.SkipWithError("write failed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kPixels * 2);
    std::remove(path.c_str());
}

void BM_FitsWriter(benchmark::State& state) {
    FitsWriter writer;
    const std::string path = Folder() + "/ours.fit";
    TimeWrites(state, path, [&] {
        AddHeaderKeywords(Header(), writer);
        const bool ok = writer.Write(path, Frame().data(), kWidth, kHeight);
        writer.ClearKeywords();
        return ok;
    });
}

void BM_CfitsioWrite(benchmark::State& state) {
    const std::string path = Folder() + "/cfitsio.fit";
    TimeWrites(state, path, [&] {
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
    TimeWrites(state, path, [&] {
        AddHeaderKeywords(Header(), writer);
        const bool ok = writer.Write(path, Frame().data(), kWidth, kHeight);
        writer.ClearKeywords();
        return ok;
    });
}

void BM_LibtiffWrite(benchmark::State& state) {
    const std::string path = Folder() + "/libtiff.tif";
    TIFFSetWarningHandler(nullptr);
    TimeWrites(state, path, [&] {
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
    TimeWrites(state, path, [&] {
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

BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_CfitsioWrite)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_FitsWriter)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_LibtiffWrite)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_TiffWriter)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) {
    Frame();
    using zorvane::bench::RatioRow;
    const int rc = zorvane::bench::RunWithRatios(
        argc, argv,
        {
            RatioRow{"FITS writer 16 MP / plain write", "BM_FitsWriter", "BM_PlainWrite", 1.3},
            RatioRow{"FITS writer 16 MP / cfitsio", "BM_FitsWriter", "BM_CfitsioWrite"},
            RatioRow{"TIFF writer 16 MP / plain write", "BM_TiffWriter", "BM_PlainWrite"},
            RatioRow{"TIFF writer 16 MP / libtiff", "BM_TiffWriter", "BM_LibtiffWrite"},
        });
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
    return rc;
}
