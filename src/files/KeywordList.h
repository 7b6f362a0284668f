#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "files/KeywordSink.h"

namespace zorvane {

struct KeywordPair {
    std::string keyword;
    std::string value;
};

// The pairs a writer puts into its next file, in order of addition. Pairs beyond the 32nd are
// dropped silently (the header never holds that many). Keywords are cut to 8 characters and
// values to 60 so that every pair fits one 80-column card (keyword in 1-8, value in 21-80).
class KeywordList : public KeywordSink {
public:
    static constexpr std::size_t kMaxPairs = 32;
    static constexpr std::size_t kMaxKeywordLength = 8;
    static constexpr std::size_t kMaxValueLength = 60;

    void AddKeyword(std::string_view keyword, std::string_view value) override;
    void Clear() { pairs_.clear(); }
    const std::vector<KeywordPair>& Pairs() const { return pairs_; }
    std::size_t Count() const { return pairs_.size(); }

private:
    std::vector<KeywordPair> pairs_;
};

}  // namespace zorvane
