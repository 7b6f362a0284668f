#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "files/KeywordList.h"

namespace zorvane {

// Writes a frame as a single-image FITS file: the header (nine structural cards, the keyword
// cards, END, blank cards up to a whole 2880-byte block: one block for up to 26 pairs, two
// beyond) and the pixels as big-endian signed 16-bit values
// with BZERO 32768, last buffer row first, padded with zeros to whole 2880-byte blocks.
class FitsWriter : public KeywordSink {
public:
    static constexpr std::size_t kCardSize = 80;
    static constexpr std::size_t kBlockSize = 2880;

    void ClearKeywords() { keywords_.Clear(); }
    // Appends a copy of the pair; beyond KeywordList::kMaxPairs nothing happens.
    void AddKeyword(std::string_view keyword, std::string_view value) override {
        keywords_.AddKeyword(keyword, value);
    }
    const KeywordList& Keywords() const { return keywords_; }

    // True when the whole file was written and closed. False when it cannot be created or any
    // write (or the close) fails; a partly written file is removed. Shows no message.
    bool Write(const std::string& path, const std::uint16_t* pixels, int width, int height) const;

private:
    KeywordList keywords_;
};

}  // namespace zorvane
