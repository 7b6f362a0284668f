#pragma once

#include <string_view>

namespace zorvane {

// Something that takes header keyword/value pairs: the FITS and TIFF writers. The value is the
// literal card text, quotes included for strings ("'Rotate 180'").
class KeywordSink {
  public:
    virtual ~KeywordSink() = default;
    virtual void AddKeyword(std::string_view keyword, std::string_view value) = 0;
};

}  // namespace zorvane
