#include "files/HeaderKeywords.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace zorvane {

namespace {

constexpr std::size_t kValueBuffer = 60;  // a value fills at most columns 21-80

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
    char text[kValueBuffer];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) return {};
    return std::string(text, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof text - 1));
}

// Subframe origin in binned pixels; a binning the camera could not report (0 or less) counts
// as 1 rather than reaching the division.
int BinnedOrigin(int origin, int binning) {
    return origin / (binning > 0 ? binning : 1);
}

// 'HH MM SS.ss' of an angle in degrees as hours, '+DD MM SS.s' as degrees; rounded in the last
// place shown without a 60 showing up.
std::string Sexagesimal(double value, bool hours) {
    const double units = hours ? value / 15.0 : value;
    const char sign = units < 0 ? '-' : '+';
    const int decimals = hours ? 2 : 1;
    const double scale = hours ? 100.0 : 10.0;
    long long ticks = std::llround(std::fabs(units) * 3600.0 * scale);
    if (hours) ticks %= 24LL * 3600 * 100;
    const long long whole = ticks / static_cast<long long>(scale);
    const long long part = ticks % static_cast<long long>(scale);
    char text[40];
    if (hours)
        std::snprintf(text, sizeof text, "'%02lld %02lld %02lld.%0*lld'", whole / 3600,
                      whole / 60 % 60, whole % 60, decimals, part);
    else
        std::snprintf(text, sizeof text, "'%c%02lld %02lld %02lld.%0*lld'", sign, whole / 3600,
                      whole / 60 % 60, whole % 60, decimals, part);
    return text;
}

}  // namespace

std::string FitsStringValue(std::string_view text) {
    std::string out = "'";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::string_view piece;
        if (c == '\'') {
            piece = "''";
        } else if (c >= 0x20 && c < 0x7F) {
            piece = std::string_view(&text[i], 1);
        } else {
            piece = "?";
            // One mark for a whole UTF-8 character: skip its continuation bytes.
            if (c >= 0xC0) {
                while (i + 1 < text.size() &&
                       (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
                    ++i;
                }
            }
        }
        if (out.size() + piece.size() + 1 > kValueBuffer) break;
        out += piece;
    }
    out += '\'';
    return out;
}

std::string MakeExposureTimeText(const char* libraryText, int milliseconds, bool extraPrecision,
                                 std::chrono::system_clock::time_point hostStart) {
    std::string start;
    if (libraryText != nullptr && libraryText[0] != '\0') {
        start = libraryText;
    } else {
        const auto sinceEpoch = hostStart.time_since_epoch();
        const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
        milliseconds = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds).count());
        const std::time_t t = static_cast<std::time_t>(seconds.count());
        std::tm utc{};
        gmtime_r(&t, &utc);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
        start = text;
    }
    if (extraPrecision) {
        // Tenths of a second, truncated; a millisecond count outside 0-999 is not a tenths digit.
        int tenths = static_cast<int>(milliseconds / 100.0);
        tenths = std::clamp(tenths, 0, 9);
        start += '.';
        start += static_cast<char>('0' + tenths);
    }
    return FitsStringValue(start);
}

void AddHeaderKeywords(const HeaderInputs& in, KeywordSink& sink) {
    sink.AddKeyword("INSTRUME", FitsStringValue(Format("%s: fw rev %d.%02d", in.model.c_str(),
                                                       in.protocol >> 8, in.protocol & 0xFF)));
    if (!in.telescope.empty()) sink.AddKeyword("TELESCOP", FitsStringValue(in.telescope));
    if (!in.observer.empty()) sink.AddKeyword("OBSERVER", FitsStringValue(in.observer));
    if (!in.object.empty()) sink.AddKeyword("OBJECT", FitsStringValue(in.object));
    if (in.filterPosition) {
        sink.AddKeyword("FILTER", Format("'Position %d'", *in.filterPosition + 1));
    }
    sink.AddKeyword("EXPTIME", Format("%.3f", in.exposureSeconds));

    // The library separates date and time with a space; FITS wants "T" (12th character, after
    // the opening quote and the ten-character date).
    std::string date = Format("%s", in.startTimeText.c_str());
    if (date.size() > 11) date[11] = 'T';
    sink.AddKeyword("DATE-OBS", date);

    sink.AddKeyword("XPIXSZ", Format("%.3f", static_cast<double>(in.pixelSizeX * in.binX)));
    sink.AddKeyword("YPIXSZ", Format("%.3f", static_cast<double>(in.pixelSizeY * in.binY)));
    sink.AddKeyword("XBINNING", Format("%d", in.binX));
    sink.AddKeyword("YBINNING", Format("%d", in.binY));
    sink.AddKeyword("XORGSUBF", Format("%d", BinnedOrigin(in.subframeX, in.binX)));
    sink.AddKeyword("YORGSUBF", Format("%d", BinnedOrigin(in.subframeY, in.binY)));
    sink.AddKeyword("XPOSSUBF", Format("%d", in.subframeX));
    sink.AddKeyword("YPOSSUBF", Format("%d", in.subframeY));
    sink.AddKeyword("CBLACK", Format("%d", in.blackLevel));
    sink.AddKeyword("CWHITE", Format("%d", in.whiteLevel));
    if (in.ccdTemperature) sink.AddKeyword("CCD-TEMP", Format("%.1f", *in.ccdTemperature));
    // Frames taken as the library delivers them (the program did not turn them) say so.
    if (!in.frameTurned) sink.AddKeyword("HISTORY", Format("%s", "'Rotate 180'"));
    if (in.bayerOffsets) {
        sink.AddKeyword("BAYOFFX", Format("%d", in.bayerOffsets->x));
        sink.AddKeyword("BAYOFFY", Format("%d", in.bayerOffsets->y));
    }
    if (!in.imageType.empty()) sink.AddKeyword("IMAGETYP", FitsStringValue(in.imageType));
    if (in.focalLengthMm && *in.focalLengthMm > 0) {
        sink.AddKeyword("FOCALLEN", Format("%.1f / focal length, mm", *in.focalLengthMm));
        const double pixel = static_cast<double>(in.pixelSizeX) * std::max(in.binX, 1);
        if (pixel > 0)
            sink.AddKeyword(
                "SCALE", Format("%.4f / arcsec per pixel", 206.264806 * pixel / *in.focalLengthMm));
    }
    if (in.pointing) {
        sink.AddKeyword("OBJCTRA", Sexagesimal(in.pointing->raDegrees, true));
        sink.AddKeyword("OBJCTDEC", Sexagesimal(in.pointing->decDegrees, false));
        sink.AddKeyword("RA", Format("%.5f / J2000, degrees", in.pointing->raDegrees));
        sink.AddKeyword("DEC", Format("%.5f / J2000, degrees", in.pointing->decDegrees));
        sink.AddKeyword("EQUINOX", Format("%s", "2000.0"));
    }
    if (in.guideRmsArcsec)
        sink.AddKeyword("GUIDERMS", Format("%.2f / guiding RMS, arcsec", *in.guideRmsArcsec));
    else if (in.guideRmsPixels)
        sink.AddKeyword("GUIDRMSP", Format("%.2f / guiding RMS, guide pixels", *in.guideRmsPixels));
    sink.AddKeyword("SWCREATE", FitsStringValue(kCreatorName));
}

}  // namespace zorvane
