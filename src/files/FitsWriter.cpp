#include "files/FitsWriter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>

#include "files/OutputFile.h"

namespace zorvane {

namespace {

// Pixels converted per write call: large enough that system calls do not matter, small enough
// to stay in the second-level cache while it is filled and written.
constexpr std::size_t kChunkPixels = 128 * 1024;
static_assert(kChunkPixels * 2 % 4096 == 0 && kChunkPixels * 2 > FitsWriter::kBlockSize);

class HeaderBlock {
public:
    HeaderBlock() { block_.fill(' '); }

    const char* Data() const { return block_.data(); }

    void Logical(const char* keyText, char value) {
        char* c = NextCard();
        std::memcpy(c, keyText, 9);
        c[29] = value;
    }
    void Integer(const char* keyText, double value) {
        char* c = NextCard();
        std::memcpy(c, keyText, 9);
        Put(c + 20, "%10d", static_cast<int>(value));
    }
    void Real(const char* keyText, double value) {
        char* c = NextCard();
        std::memcpy(c, keyText, 9);
        Put(c + 20, "%10f", value);
    }
    // Keyword from column 1, "=" in column 9, the value text unchanged from column 21.
    void Pair(const KeywordPair& pair) {
        char* c = NextCard();
        std::memcpy(c, pair.keyword.data(), std::min(pair.keyword.size(), std::size_t{8}));
        c[8] = '=';
        std::memcpy(c + 20, pair.value.data(), std::min(pair.value.size(), std::size_t{60}));
    }
    void End() { std::memcpy(NextCard(), "END", 3); }

private:
    char* NextCard() { return block_.data() + FitsWriter::kCardSize * used_++; }

    // Copies the formatted text without its terminator, so the card stays printable.
    template <typename T>
    static void Put(char* at, const char* format, T value) {
        char text[32];
        const int n = std::snprintf(text, sizeof text, format, value);
        std::memcpy(at, text, static_cast<std::size_t>(std::clamp(n, 0, 31)));
    }

    std::array<char, FitsWriter::kBlockSize> block_;
    std::size_t used_ = 0;
};

// FITS wants big-endian signed values; value - 32768 in two's complement is the unsigned value
// with its top bit inverted.
inline void ConvertPixels(const std::uint16_t* src, std::uint16_t* dst, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint16_t v = static_cast<std::uint16_t>(src[i] ^ 0x8000u);
        if constexpr (std::endian::native == std::endian::little) {
            dst[i] = static_cast<std::uint16_t>((v >> 8) | (v << 8));
        } else {
            dst[i] = v;
        }
    }
}

}  // namespace

bool FitsWriter::Write(const std::string& path, const std::uint16_t* pixels, int width,
                       int height) const {
    if (width < 0 || height < 0) return false;
    const std::size_t rowPixels = static_cast<std::size_t>(width);
    const std::size_t count = rowPixels * static_cast<std::size_t>(height);
    if (count > 0 && pixels == nullptr) return false;

    HeaderBlock header;
    header.Logical("SIMPLE  =", 'T');
    header.Integer("BITPIX  =", 16);
    header.Integer("NAXIS   =", 2);
    header.Integer("NAXIS1  =", width);
    header.Integer("NAXIS2  =", height);
    header.Real("BZERO   =", 32768.0);
    header.Real("BSCALE  =", 1.0);
    header.Real("DATAMIN =", 0.0);
    header.Real("DATAMAX =", 65535.0);
    for (const KeywordPair& pair : keywords_.Pairs()) header.Pair(pair);
    header.End();

    OutputFile file;
    if (!file.Open(path)) return false;

    const std::size_t dataBytes = count * 2;
    const std::size_t paddedBytes = (dataBytes + kBlockSize - 1) / kBlockSize * kBlockSize;
    const std::size_t chunk = kChunkPixels;
    auto buffer = std::make_unique_for_overwrite<std::uint16_t[]>(chunk);
    // The header leads the first chunk: with whole chunks of a page multiple after it, every
    // write starts on a page boundary of the file, which the system copies fastest.
    std::memcpy(buffer.get(), header.Data(), kBlockSize);
    std::size_t filled = kBlockSize / 2;
    bool ok = true;

    // The last buffer row becomes FITS row 1. Each chunk's rows are converted top-down, in the
    // order they lie in memory, each into its slot counted from the chunk's far end.
    for (std::size_t first = 0; ok && first < count;) {
        const std::size_t last = std::min(count, first + (chunk - filled));  // file pixels
        const std::size_t lowRow = first / rowPixels, highRow = (last - 1) / rowPixels;
        for (std::size_t fileRow = highRow + 1; fileRow-- > lowRow;) {
            const std::size_t rowStart = fileRow * rowPixels;
            const std::size_t from = std::max(rowStart, first);
            const std::size_t to = std::min(rowStart + rowPixels, last);
            const std::uint16_t* src =
                pixels + (static_cast<std::size_t>(height) - 1 - fileRow) * rowPixels;
            ConvertPixels(src + (from - rowStart), buffer.get() + filled + (from - first),
                          to - from);
        }
        filled += last - first;
        first = last;
        if (filled == chunk) {
            ok = file.Write(buffer.get(), filled * 2);
            filled = 0;
        }
    }
    if (ok) {
        // Zero fill to the end of the last block; nothing when the data ends on a boundary.
        std::size_t padding = paddedBytes - dataBytes;
        char* bytes = reinterpret_cast<char*>(buffer.get());
        std::size_t used = filled * 2;
        while (padding > 0) {
            const std::size_t n = std::min(padding, chunk * 2 - used);
            std::memset(bytes + used, 0, n);
            used += n;
            padding -= n;
            if (used == chunk * 2 && padding > 0) {
                if (!file.Write(bytes, used)) break;
                used = 0;
            }
        }
        if (used > 0) file.Write(bytes, used);
    }
    return file.Finish();
}

}  // namespace zorvane
