#include "files/TiffWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#include "files/OutputFile.h"

namespace zorvane {

namespace {

constexpr std::size_t kDescriptionBuffer = 4096;
constexpr std::uint16_t kTypeAscii = 2;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint16_t kTypeLong = 4;
constexpr std::size_t kEntries = 11;
constexpr std::size_t kDirectoryBytes = 2 + kEntries * 12 + 4;
constexpr std::size_t kPage = 4096;

// Little-endian byte writer into a growing byte vector.
class Bytes {
public:
    void U16(std::uint32_t v) {
        out_.push_back(static_cast<char>(v & 0xFF));
        out_.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
    void U32(std::uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Text(std::string_view s) { out_.insert(out_.end(), s.begin(), s.end()); }
    void Raw(const char* data, std::size_t size) { out_.insert(out_.end(), data, data + size); }
    // A directory entry; SHORT values sit in the first two bytes of the value field.
    void Entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
        U16(tag);
        U16(type);
        U32(count);
        if (type == kTypeShort) {
            U16(value);
            U16(0);
        } else {
            U32(value);
        }
    }
    const std::vector<char>& Data() const { return out_; }

private:
    std::vector<char> out_;
};

}  // namespace

std::string TiffWriter::DescriptionText() const {
    std::string text;
    for (const KeywordPair& pair : keywords_.Pairs()) {
        std::string line = pair.keyword + "=" + pair.value + "\r\n";
        // The pairs are bounded (32 × 71 bytes), so the buffer is never reached in practice.
        if (text.size() + line.size() > kDescriptionBuffer - 1) break;
        text += line;
    }
    if (text.size() < 5) text += "     ";
    return text;
}

bool TiffWriter::Write(const std::string& path, const std::uint16_t* pixels, int width,
                       int height) const {
    if (width < 0 || height < 0) return false;
    const std::uint64_t count =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (count > 0 && pixels == nullptr) return false;

    const std::string description = DescriptionText();
    const std::uint64_t d = description.size();
    const std::uint64_t p = count * 2;
    // Classic TIFF offsets are 32-bit.
    if (8 + d + p + kDirectoryBytes > 0xFFFFFFFFull) return false;
    const auto directoryOffset = static_cast<std::uint32_t>(8 + d + p);

    Bytes head;
    head.Text("II");
    head.U16(42);
    head.U32(directoryOffset);
    head.Text(description);

    // Width and height above 65535 do not fit a SHORT; TIFF allows LONG for both.
    const std::uint16_t sizeType = (width > 0xFFFF || height > 0xFFFF) ? kTypeLong : kTypeShort;
    Bytes directory;
    directory.U16(kEntries);
    directory.Entry(254, kTypeLong, 1, 0);                                  // NewSubfileType
    directory.Entry(256, sizeType, 1, static_cast<std::uint32_t>(width));   // ImageWidth
    directory.Entry(257, sizeType, 1, static_cast<std::uint32_t>(height));  // ImageLength
    directory.Entry(258, kTypeShort, 1, 16);                                // BitsPerSample
    directory.Entry(259, kTypeShort, 1, 1);                                 // Compression: none
    directory.Entry(262, kTypeShort, 1, 1);                                 // black is zero
    directory.Entry(270, kTypeAscii, static_cast<std::uint32_t>(d), 8);     // ImageDescription
    directory.Entry(273, kTypeLong, 1, static_cast<std::uint32_t>(8 + d));  // StripOffsets
    directory.Entry(277, kTypeShort, 1, 1);                                 // SamplesPerPixel
    directory.Entry(278, kTypeLong, 1, 0x7FFFFFFF);                         // RowsPerStrip
    directory.Entry(279, kTypeLong, 1, static_cast<std::uint32_t>(p));      // StripByteCounts
    directory.U32(0);

    OutputFile file;
    if (!file.Open(path)) return false;
    if constexpr (std::endian::native == std::endian::little) {
        // The frame is already in file order: write it straight from the caller's buffer. The
        // first few pixel bytes go out with the header, so that the bulk of the copy into the
        // system's cache starts on a page boundary of the file.
        const char* bytes = reinterpret_cast<const char*>(pixels);
        const std::size_t lead =
            std::min<std::uint64_t>(p, (kPage - head.Data().size() % kPage) % kPage);
        head.Raw(bytes, lead);
        file.Write(head.Data().data(), head.Data().size());
        file.Write(bytes + lead, static_cast<std::size_t>(p - lead));
    } else {
        file.Write(head.Data().data(), head.Data().size());
        constexpr std::size_t kChunk = 128 * 1024;
        auto buffer = std::make_unique_for_overwrite<std::uint16_t[]>(kChunk);
        for (std::uint64_t done = 0; done < count;) {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, count - done));
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint16_t v = pixels[done + i];
                buffer[i] = static_cast<std::uint16_t>((v >> 8) | (v << 8));
            }
            if (!file.Write(buffer.get(), n * 2)) break;
            done += n;
        }
    }
    file.Write(directory.Data().data(), directory.Data().size());
    return file.Finish();
}

}  // namespace zorvane
