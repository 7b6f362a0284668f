#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "files/KeywordList.h"

namespace zorvane {

// Writes a frame as an uncompressed little-endian 16-bit greyscale TIFF with one strip:
// "II", 42, the directory offset, the description text, the pixels (row 0 first, unchanged
// counts), then the 11-entry directory. The header pairs become the description, one
// "keyword=value\r\n" line each. Nothing is padded or aligned.
class TiffWriter : public KeywordSink {
public:
    void ClearKeywords() { keywords_.Clear(); }
    // Appends a copy of the pair; beyond KeywordList::kMaxPairs nothing happens.
    void AddKeyword(std::string_view keyword, std::string_view value) override {
        keywords_.AddKeyword(keyword, value);
    }
    const KeywordList& Keywords() const { return keywords_; }

    // The ImageDescription text of the current pairs (five spaces when shorter than 5 bytes).
    std::string DescriptionText() const;

    // True when the whole file was written and closed. False when it cannot be created, any
    // write (or the close) fails — a partly written file is removed — or when the frame cannot
    // be described by a classic TIFF (file of 4 GiB or more). Shows no message.
    bool Write(const std::string& path, const std::uint16_t* pixels, int width, int height) const;

private:
    KeywordList keywords_;
};

}  // namespace zorvane
