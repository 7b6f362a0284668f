#include "files/KeywordList.h"

namespace zorvane {

void KeywordList::AddKeyword(std::string_view keyword, std::string_view value) {
    if (pairs_.size() >= kMaxPairs) return;
    pairs_.push_back({std::string(keyword.substr(0, kMaxKeywordLength)),
                      std::string(value.substr(0, kMaxValueLength))});
}

}  // namespace zorvane
