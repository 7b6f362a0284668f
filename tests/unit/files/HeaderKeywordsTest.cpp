#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "files/FitsWriter.h"
#include "files/HeaderKeywords.h"
#include "files/TiffWriter.h"

namespace zorvane {
namespace {

using namespace std::chrono;
using Pairs = std::vector<std::pair<std::string, std::string>>;

class RecordingSink : public KeywordSink {
public:
    void AddKeyword(std::string_view k, std::string_view v) override { pairs.emplace_back(k, v); }
    Pairs pairs;
};

// 2012-03-04 21:05:09.400 UTC
const system_clock::time_point kStart =
    sys_days{year{2012} / March / 4} + hours{21} + minutes{5} + seconds{9} + milliseconds{400};

HeaderInputs Minimal() {
    HeaderInputs in;
    in.model = "Cam 814";
    in.protocol = 0x0205;
    in.exposureSeconds = 1.5;
    in.startTimeText = "'2012-03-04 21:05:09'";
    in.pixelSizeX = 6.45f;
    in.pixelSizeY = 6.45f;
    in.binX = 1;
    in.binY = 1;
    in.blackLevel = 120;
    in.whiteLevel = 4000;
    return in;
}

Pairs Build(const HeaderInputs& in) {
    RecordingSink sink;
    AddHeaderKeywords(in, sink);
    return sink.pairs;
}

TEST(HeaderKeywordsTest, MinimalHeaderHasFifteenPairs) {
    const Pairs expected = {{"INSTRUME", "'Cam 814: fw rev 2.05'"},
                            {"EXPTIME", "1.500"},
                            {"DATE-OBS", "'2012-03-04T21:05:09'"},
                            {"XPIXSZ", "6.450"},
                            {"YPIXSZ", "6.450"},
                            {"XBINNING", "1"},
                            {"YBINNING", "1"},
                            {"XORGSUBF", "0"},
                            {"YORGSUBF", "0"},
                            {"XPOSSUBF", "0"},
                            {"YPOSSUBF", "0"},
                            {"CBLACK", "120"},
                            {"CWHITE", "4000"},
                            {"IMAGETYP", "'Light Frame'"},
                            {"SWCREATE", "'Zorvane Capture'"}};
    EXPECT_EQ(Build(Minimal()), expected);
}

TEST(HeaderKeywordsTest, EveryConditionalPairInOrderAndTheWriterLimit) {
    HeaderInputs in = Minimal();
    in.telescope = "C14";
    in.observer = "A. Lee";
    in.object = "M31";
    in.filterPosition = 0;
    in.binX = 2;
    in.binY = 2;
    in.subframeX = 100;
    in.subframeY = 50;
    in.ccdTemperature = -15.04;
    in.frameTurned = false;
    in.bayerOffsets = HeaderInputs::BayerOffsets{1, 0};
    in.focalLengthMm = 800;
    in.pointing = HeaderInputs::Pointing{10.684708, 41.26875};  // M31
    in.guideRmsArcsec = 0.734;
    const Pairs expected = {{"INSTRUME", "'Cam 814: fw rev 2.05'"},
                            {"TELESCOP", "'C14'"},
                            {"OBSERVER", "'A. Lee'"},
                            {"OBJECT", "'M31'"},
                            {"FILTER", "'Position 1'"},
                            {"EXPTIME", "1.500"},
                            {"DATE-OBS", "'2012-03-04T21:05:09'"},
                            {"XPIXSZ", "12.900"},
                            {"YPIXSZ", "12.900"},
                            {"XBINNING", "2"},
                            {"YBINNING", "2"},
                            {"XORGSUBF", "50"},
                            {"YORGSUBF", "25"},
                            {"XPOSSUBF", "100"},
                            {"YPOSSUBF", "50"},
                            {"CBLACK", "120"},
                            {"CWHITE", "4000"},
                            {"CCD-TEMP", "-15.0"},
                            {"HISTORY", "'Rotate 180'"},
                            {"BAYOFFX", "1"},
                            {"BAYOFFY", "0"},
                            {"IMAGETYP", "'Light Frame'"},
                            {"FOCALLEN", "800.0 / focal length, mm"},
                            {"SCALE", "3.3260 / arcsec per pixel"},
                            {"OBJCTRA", "'00 42 44.33'"},
                            {"OBJCTDEC", "'+41 16 07.5'"},
                            {"RA", "10.68471 / J2000, degrees"},
                            {"DEC", "41.26875 / J2000, degrees"},
                            {"EQUINOX", "2000.0"},
                            {"GUIDERMS", "0.73 / guiding RMS, arcsec"},
                            {"SWCREATE", "'Zorvane Capture'"}};
    EXPECT_EQ(Build(in), expected);

    // Both writers take every pair.
    FitsWriter fits;
    TiffWriter tiff;
    AddHeaderKeywords(in, fits);
    AddHeaderKeywords(in, tiff);
    ASSERT_EQ(fits.Keywords().Count(), expected.size());
    ASSERT_EQ(tiff.Keywords().Count(), expected.size());
    EXPECT_EQ(tiff.Keywords().Pairs()[0].value, "'Cam 814: fw rev 2.05'");

    // Without the guider's scale the RMS is given in guide pixels; south of the equator the
    // declination is negative; a frame of the dark mode says so.
    in.guideRmsArcsec.reset();
    in.guideRmsPixels = 0.41;
    in.pointing = HeaderInputs::Pointing{359.9999999, -0.5};
    in.imageType = "Dark Frame";
    const Pairs other = Build(in);
    const auto value = [&](const char* key) {
        for (const auto& [k, v] : other)
            if (k == key) return v;
        return std::string("<none>");
    };
    EXPECT_EQ(value("GUIDRMSP"), "0.41 / guiding RMS, guide pixels");
    EXPECT_EQ(value("GUIDERMS"), "<none>");
    EXPECT_EQ(value("OBJCTRA"), "'00 00 00.00'");
    EXPECT_EQ(value("OBJCTDEC"), "'-00 30 00.0'");
    EXPECT_EQ(value("IMAGETYP"), "'Dark Frame'");
}

TEST(HeaderKeywordsTest, UnknownBinningDoesNotDivide) {
    HeaderInputs in = Minimal();
    in.binX = 0;
    in.binY = 0;
    in.subframeX = 30;
    in.subframeY = 40;
    const Pairs pairs = Build(in);
    EXPECT_EQ(pairs[5], Pairs::value_type("XBINNING", "0"));
    EXPECT_EQ(pairs[7], Pairs::value_type("XORGSUBF", "30"));
    EXPECT_EQ(pairs[8], Pairs::value_type("YORGSUBF", "40"));
}

TEST(HeaderKeywordsTest, StringValuesStayValidFitsStrings) {
    EXPECT_EQ(FitsStringValue("M 31"), "'M 31'");
    EXPECT_EQ(FitsStringValue(""), "''");
    EXPECT_EQ(FitsStringValue("O'Brien"), "'O''Brien'");
    EXPECT_EQ(FitsStringValue("tab\there\x7F"), "'tab?here?'");
    EXPECT_EQ(FitsStringValue("Caf\xC3\xA9 \xE2\x98\x85"), "'Caf? ?'");

    // 57 characters (the dialog's limit) fit exactly as typed.
    const std::string longest(57, 'x');
    EXPECT_EQ(FitsStringValue(longest), "'" + longest + "'");
    // Longer texts are cut so the closing quote stays in column 80 — and a doubled quote is
    // never split.
    EXPECT_EQ(FitsStringValue(std::string(70, 'y')), "'" + std::string(58, 'y') + "'");
    EXPECT_EQ(FitsStringValue(std::string(57, 'y') + "'z"), "'" + std::string(57, 'y') + "'");

    HeaderInputs in = Minimal();
    in.object = "Barnard's loop";
    in.model = std::string(50, 'M');
    const Pairs pairs = Build(in);
    EXPECT_EQ(pairs[1].second, "'Barnard''s loop'");
    EXPECT_LE(pairs[0].second.size(), 60u);
    EXPECT_EQ(pairs[0].second.front(), '\'');
    EXPECT_EQ(pairs[0].second.back(), '\'');
}

TEST(HeaderKeywordsTest, ExposureStartText) {
    EXPECT_EQ(MakeExposureTimeText("2012-03-04 21:05:09", 400, true, {}),
              "'2012-03-04 21:05:09.4'");
    EXPECT_EQ(MakeExposureTimeText("2012-03-04 21:05:09", 400, false, {}), "'2012-03-04 21:05:09'");
    EXPECT_EQ(MakeExposureTimeText("2012-03-04 21:05:09", 999, true, {}),
              "'2012-03-04 21:05:09.9'");

    // No start time from the library: the host's clock at the exposure start, in UTC.
    EXPECT_EQ(MakeExposureTimeText(nullptr, 0, true, kStart), "'2012-03-04 21:05:09.4'");
    EXPECT_EQ(MakeExposureTimeText("", 0, false, kStart), "'2012-03-04 21:05:09'");

    HeaderInputs in = Minimal();
    in.startTimeText = MakeExposureTimeText("2012-03-04 21:05:09", 400, true, {});
    EXPECT_EQ(Build(in)[2], Pairs::value_type("DATE-OBS", "'2012-03-04T21:05:09.4'"));
}

}  // namespace
}  // namespace zorvane
