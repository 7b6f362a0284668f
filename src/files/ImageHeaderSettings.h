#pragma once

#include <string>

namespace zorvane {

// The free texts of the file header, the focal length and the DATE-OBS precision, edited by the
// "Image File Header" dialog and stored in the settings file's [Header] section.
struct ImageHeaderSettings {
    // Longest text a header field takes: with its two quotes it fills the 60 value columns of
    // a FITS card less one.
    static constexpr int kMaxTextLength = 57;

    std::string object;
    std::string telescope;
    std::string observer;
    bool extraTimePrecision = false;  // DATE-OBS with tenths of a second
    // Focal length of the telescope the camera is on, mm; 0 = not known (then neither FOCALLEN
    // nor the image scale is written).
    int focalLength = 0;
    static constexpr int kMaxFocalLength = 100000;

    bool operator==(const ImageHeaderSettings&) const = default;
};

}  // namespace zorvane
