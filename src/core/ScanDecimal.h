#pragma once

#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

namespace zorvane {

// A number typed or stored in plain decimal notation, after leading blanks and an optional
// sign; nothing when the text does not start with one or the value is not finite ("inf" and
// "nan" are no value anyone meant).
inline std::optional<double> ScanDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !(std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.'))
        return std::nullopt;
    double d = 0;
    const auto res =
        std::from_chars(text.data() + i, text.data() + text.size(), d, std::chars_format::general);
    if (res.ec != std::errc() || !std::isfinite(d)) return std::nullopt;
    return negative ? -d : d;
}

}  // namespace zorvane
