#include "files/FitsWriter.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "files/OutputFile.h"

namespace zorvane {

namespace {

// Pixels converted per write call: large enough that system calls do not matter, small enough
// to stay in the second-level cache while it is filled and written.
constexpr std::size_t kChunkPixels = 128 * 1024;
static_assert(kChunkPixels * 2 % 4096 == 0 && kChunkPixels * 2 > FitsWriter::kBlockSize);
// Files this large are converted by a helper thread ahead of the writes, in chunks of
// kSlotPixels so that the two threads hand over seldom.
constexpr std::size_t kHelperPixels = 8 * kChunkPixels;
constexpr std::size_t kSlotPixels = 4 * kChunkPixels;

// The header: the cards in as many 2880-byte blocks as they need, filled with blanks.
class HeaderBlock {
public:
    explicit HeaderBlock(std::size_t cards)
        : block_((cards + kCardsPerBlock - 1) / kCardsPerBlock * FitsWriter::kBlockSize, ' ') {}

    const char* Data() const { return block_.data(); }
    std::size_t Size() const { return block_.size(); }

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

    static constexpr std::size_t kCardsPerBlock = FitsWriter::kBlockSize / FitsWriter::kCardSize;
    std::vector<char> block_;
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

// Fills buffer with the file's pixels [from, to), counted from the start of the header:
// the header, then the frame's rows from the last to the first, then zeros. The rows of the
// frame a chunk takes are converted top-down, in the order they lie in memory, each into its
// slot counted from the chunk's far end. Returns the number of pixels filled.
std::size_t FillChunk(const char* header, std::size_t headerBytes, const std::uint16_t* pixels,
                      std::size_t rowPixels, std::size_t height, std::size_t from, std::size_t to,
                      std::uint16_t* buffer) {
    const std::size_t headerPixels = headerBytes / 2;
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

// Writes the stream's pixels [0, count) a chunk at a time, each made by fill(from, to, buffer).
// A large file is converted by a helper thread a few chunks ahead of the writes, so that the
// conversion hides behind the system's copy into the file; the helper is finished and joined
// before this returns. False once a write fails (nothing after it is written).
template <typename Fill>
bool WriteStream(OutputFile& file, std::size_t count, Fill&& fill) {
    auto serial = [&](std::uint16_t* buffer) {
        for (std::size_t from = 0; from < count; from += kChunkPixels) {
            const std::size_t to = std::min(count, from + kChunkPixels);
            if (!file.Write(buffer, fill(from, to, buffer) * 2)) return false;
        }
        return true;
    };
    static const unsigned cores = std::thread::hardware_concurrency();
    if (count < kHelperPixels || cores < 2)
        return serial(std::make_unique_for_overwrite<std::uint16_t[]>(kChunkPixels).get());

    constexpr std::size_t kSlots = 3;
    const std::size_t chunks = (count + kSlotPixels - 1) / kSlotPixels;
    auto ring = std::make_unique_for_overwrite<std::uint16_t[]>(kSlots * kSlotPixels);
    auto slot = [&](std::size_t k) { return ring.get() + (k % kSlots) * kSlotPixels; };
    auto size = [&](std::size_t k) {
        return std::min(count, (k + 1) * kSlotPixels) - k * kSlotPixels;
    };
    // Chunks the helper has filled, and chunks the writer is done with (all of them once it
    // gives up).
    std::atomic<std::size_t> filled{0}, released{0};
    std::thread helper;
    try {
        helper = std::thread([&] {
            for (std::size_t k = 0; k < chunks; ++k) {
                std::size_t r;
                while ((r = released.load(std::memory_order_acquire)) + kSlots <= k)
                    released.wait(r, std::memory_order_acquire);
                if (r >= chunks) return;
                fill(k * kSlotPixels, k * kSlotPixels + size(k), slot(k));
                filled.store(k + 1, std::memory_order_release);
                filled.notify_one();
            }
        });
    } catch (const std::system_error&) {
        // No thread to be had: the chunks are made here, one after the other.
        return serial(ring.get());
    }

    bool ok = true;
    for (std::size_t k = 0; k < chunks && ok; ++k) {
        std::size_t f;
        while ((f = filled.load(std::memory_order_acquire)) <= k)
            filled.wait(f, std::memory_order_acquire);
        ok = file.Write(slot(k), size(k) * 2);
        released.store(ok ? k + 1 : chunks, std::memory_order_release);
        released.notify_one();
    }
    helper.join();
    return ok;
}

}  // namespace

bool FitsWriter::Write(const std::string& path, const std::uint16_t* pixels, int width,
                       int height) const {
    if (width < 0 || height < 0) return false;
    const std::size_t rowPixels = static_cast<std::size_t>(width);
    const std::size_t count = rowPixels * static_cast<std::size_t>(height);
    if (count > 0 && pixels == nullptr) return false;

    // Nine structural cards, the pairs and END; one block unless the pairs need more.
    HeaderBlock header(9 + keywords_.Count() + 1);
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
    const std::size_t headerPixels = header.Size() / 2;
    const std::size_t dataBytes = count * 2;
    const std::size_t paddedBytes = (dataBytes + kBlockSize - 1) / kBlockSize * kBlockSize;
    const std::size_t streamPixels = headerPixels + paddedBytes / 2;
    auto fill = [&](std::size_t from, std::size_t to, std::uint16_t* buffer) {
        return FillChunk(header.Data(), header.Size(), pixels, rowPixels,
                         static_cast<std::size_t>(height), from, to, buffer);
    };
    WriteStream(file, streamPixels, fill);
    return file.Finish();
}

}  // namespace zorvane
