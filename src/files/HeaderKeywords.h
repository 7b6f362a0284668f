#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "files/KeywordSink.h"

namespace zorvane {

// Everything the file header says about the frame on show, gathered by the main window just
// before a save. Binning and subframe origin are the camera's values at save time.
struct HeaderInputs {
    std::string model;  // camera model text of the properties record
    int protocol = 0;   // firmware revision: major in the high part, minor in the low 8 bits
    std::string telescope;
    std::string observer;
    std::string object;
    // 0-based filter position: the current sequence line's filter while a sequence runs,
    // otherwise the wheel's position when a wheel is connected; none otherwise.
    std::optional<int> filterPosition;
    double exposureSeconds = 0.0;  // last exposure duration; 0 when the library cannot tell
    std::string startTimeText;     // as made by MakeExposureTimeText, quotes included
    float pixelSizeX = 0.0f;       // micrometres, unbinned
    float pixelSizeY = 0.0f;
    int binX = 1;
    int binY = 1;
    int subframeX = 0;  // unbinned sensor pixels, as the camera reports them
    int subframeY = 0;
    int blackLevel = 0;
    int whiteLevel = 0;
    std::optional<double> ccdTemperature;  // present when the camera has a temperature sensor
    bool frameTurned = true;               // the program turned the frame by 180°
    struct BayerOffsets {
        int x = 0;
        int y = 0;
    };
    std::optional<BayerOffsets> bayerOffsets;

    // What stackers and plate solvers read. A value that is not known stays out of the header.
    std::string imageType = "Light Frame";
    std::optional<double> focalLengthMm;  // of the telescope the camera is on
    struct Pointing {
        double raDegrees = 0;  // J2000
        double decDegrees = 0;
    };
    std::optional<Pointing> pointing;  // where the mount pointed
    // The guiding RMS over the exposure: arc-seconds when the guider knows its scale, else
    // guide-camera pixels.
    std::optional<double> guideRmsArcsec;
    std::optional<double> guideRmsPixels;
};

inline constexpr std::string_view kCreatorName = "Zorvane Capture";

// Adds the header pairs in their fixed order, skipping those whose condition fails:
// INSTRUME, TELESCOP, OBSERVER, OBJECT, FILTER, EXPTIME, DATE-OBS, XPIXSZ, YPIXSZ, XBINNING,
// YBINNING, XORGSUBF, YORGSUBF, XPOSSUBF, YPOSSUBF, CBLACK, CWHITE, CCD-TEMP, HISTORY, BAYOFFX,
// BAYOFFY, IMAGETYP, FOCALLEN, SCALE (arc-seconds per binned pixel, from the focal length and
// XPIXSZ), OBJCTRA, OBJCTDEC, RA, DEC, EQUINOX, GUIDERMS (arc-seconds) or GUIDRMSP (guide
// pixels), SWCREATE. Every value is at most 60 characters.
void AddHeaderKeywords(const HeaderInputs& inputs, KeywordSink& sink);

// A FITS string value: the text in single quotes, quotes inside doubled, characters outside
// printable ASCII shown as '?' (one per UTF-8 character), cut so the closing quote stays
// within the 60 value columns of a card.
std::string FitsStringValue(std::string_view text);

// The exposure start for DATE-OBS, in FITS string form: "'2012-03-04 21:05:09'", or with
// tenths "'2012-03-04 21:05:09.4'". libraryText is the camera library's start time (a
// ten-character date, a separator, the time of day); when it is null or empty, hostStart (the
// host's clock when the exposure was started) stands in, in UTC, with its own milliseconds.
std::string MakeExposureTimeText(const char* libraryText, int milliseconds, bool extraPrecision,
                                 std::chrono::system_clock::time_point hostStart);

}  // namespace zorvane
