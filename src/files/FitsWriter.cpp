#include "files/FitsWriter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

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

// Fills buffer with the file's pixels [from, to), counted from the start of the header block:
// the header, then the frame's rows from the last to the first, then zeros. The rows of the
// frame a chunk takes are converted top-down, in the order they lie in memory, each into its
// slot counted from the chunk's far end. Returns the number of pixels filled.
std::size_t FillChunk(const char* header, const std::uint16_t* pixels, std::size_t rowPixels,
                      std::size_t height, std::size_t from, std::size_t to, std::uint16_t* buffer) {
    constexpr std::size_t headerPixels = FitsWriter::kBlockSize / 2;
    const std::size_t count = rowPixels * height;
    std::size_t at = from;
    if (at < headerPixels) {
        const std::size_t n = std::min(to, headerPixels) - at;
        std::memcpy(buffer, header + at * 2, n * 2);
        at += n;
    }
    const std::size_t dataEnd = std::min(to, headerPixels + count);
    if (at < dataEnd) {
        const std::size_t first = at - headerPixels, last = dataEnd - headerPixels;
        std::uint16_t* out = buffer + (at - from);
        const std::size_t lowRow = first / rowPixels, highRow = (last - 1) / rowPixels;
        for (std::size_t fileRow = highRow + 1; fileRow-- > lowRow;) {
            const std::size_t rowStart = fileRow * rowPixels;
            const std::size_t begin = std::max(rowStart, first);
            const std::size_t end = std::min(rowStart + rowPixels, last);
            const std::uint16_t* src = pixels + (height - 1 - fileRow) * rowPixels;
            ConvertPixels(src + (begin - rowStart), out + (begin - first), end - begin);
        }
        at = dataEnd;
    }
    if (at < to) std::memset(buffer + (at - from), 0, (to - at) * 2);
    return to - from;
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

    // The file after the header block's place: the header, the converted pixels, zeros to the
    // end of the last block, written a chunk at a time.
    const std::size_t headerPixels = kBlockSize / 2;
    const std::size_t dataBytes = count * 2;
    const std::size_t paddedBytes = (dataBytes + kBlockSize - 1) / kBlockSize * kBlockSize;
    const std::size_t streamPixels = headerPixels + paddedBytes / 2;
    const std::size_t chunks = (streamPixels + kChunkPixels - 1) / kChunkPixels;
    auto fill = [&](std::size_t k, std::uint16_t* buffer) {
        return FillChunk(header.Data(), pixels, rowPixels, static_cast<std::size_t>(height),
                         k * kChunkPixels, std::min(streamPixels, (k + 1) * kChunkPixels), buffer);
    };
    auto buffer = std::make_unique_for_overwrite<std::uint16_t[]>(kChunkPixels);
    for (std::size_t k = 0; k < chunks; ++k) {
        if (!file.Write(buffer.get(), fill(k, buffer.get()) * 2)) break;
    }
    return file.Finish();
}

}  // namespace zorvane
