#pragma once

#include <string>

namespace zorvane {

// The free texts of the file header and the DATE-OBS precision, edited by the "Image File
// Header" dialog and stored in the settings file's [Header] section.
struct ImageHeaderSettings {
    // Longest text a header field takes: with its two quotes it fills the 60 value columns of
    // a FITS card less one.
    static constexpr int kMaxTextLength = 57;

    std::string object;
    std::string telescope;
    std::string observer;
    bool extraTimePrecision = false;  // DATE-OBS with tenths of a second

    bool operator==(const ImageHeaderSettings&) const = default;
};

}  // namespace zorvane
