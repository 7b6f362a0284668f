// Frames taken on the simulated camera and saved by the program (autosave and Save As), read
// back by independent readers: fitsverify and cfitsio for FITS, libtiff for TIFF.
#include <fitsio.h>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/CommandIds.h"
#include "core/TimerIds.h"
#include "support/AppBench.h"
#include "view/ImageView.h"

namespace zorvane {
namespace {

using test::AppBench;

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
    ::pclose(pipe);
    return out;
}

// A frame on show, taken through the Snapshot command.
void TakeFrame(AppBench& b, float seconds) {
    b.app->Exposure().exposure = seconds;
    b.app->ExecuteCommand(ids::ID_CAMERA_SNAPSHOT);
    ASSERT_TRUE(b.loop.RunUntil([&] { return !b.app->Cycle().Exposing(); }, 10000));
}

std::string Keyword(fitsfile* f, const char* name) {
    char value[FLEN_VALUE] = {}, comment[FLEN_COMMENT] = {};
    int status = 0;
    fits_read_keyword(f, name, value, comment, &status);
    return status == 0 ? value : "<missing>";
}

TEST(ProgramSaving, AutosavedFitsFilesPassTheIndependentReaders) {
    AppBench b("flush_ms=0;wait_ms=0;size=200x150");
    b.Start();
    ASSERT_TRUE(b.app->IsConnected());
    b.app->Saver().Settings().savePath = b.dir.File("m31.fit");
    b.app->Saver().Settings().sequenceNumber = 7;
    b.app->ExecuteCommand(ids::ID_FILE_AUTOSAVE);
    ASSERT_TRUE(b.app->GetCommandUi(ids::ID_FILE_AUTOSAVE).checked);
    TakeFrame(b, 1.5f);

    const std::string path = b.dir.File("m31_007.fit");
    EXPECT_EQ(b.app->SavedPaneText(), "Saved: m31_007.fit");
    EXPECT_EQ(b.app->Saver().Settings().sequenceNumber, 8);

    const std::string report = RunCommand("fitsverify -q '" + path + "'");
    EXPECT_NE(report.find("OK"), std::string::npos) << report;

    fitsfile* f = nullptr;
    int status = 0;
    ASSERT_EQ(fits_open_file(&f, path.c_str(), READONLY, &status), 0);
    long size[2] = {};
    int naxis = 0;
    fits_get_img_dim(f, &naxis, &status);
    fits_get_img_size(f, 2, size, &status);
    ASSERT_EQ(naxis, 2);
    ASSERT_EQ(size[0], 200);
    ASSERT_EQ(size[1], 150);
    std::vector<unsigned short> pixels(200 * 150);
    int anynul = 0;
    fits_read_img(f, TUSHORT, 1, long(pixels.size()), nullptr, pixels.data(), &anynul, &status);
    ASSERT_EQ(status, 0);
    // The file's first row is the frame's last row.
    const uint16_t* frame = b.app->View().Frame().Pixels.get();
    for (int r = 0; r < 150; ++r)
        for (int c = 0; c < 200; c += 37)
            ASSERT_EQ(pixels[size_t(r) * 200 + c], frame[size_t(149 - r) * 200 + c])
                << r << "," << c;

    EXPECT_EQ(Keyword(f, "EXPTIME"), "1.500");
    EXPECT_EQ(Keyword(f, "XBINNING"), "1");
    EXPECT_EQ(Keyword(f, "SWCREATE"), "'Zorvane Capture'");
    EXPECT_EQ(Keyword(f, "DATE-OBS").rfind("'2025-01-01T", 0), 0u) << Keyword(f, "DATE-OBS");
    // The sensor is read at connect: no need to have opened the Cooler dialog.
    EXPECT_EQ(Keyword(f, "CCD-TEMP"), "20.0");
    fits_close_file(f, &status);

    // The cooler pulls the sensor down: the next file has the temperature of its own frame.
    b.app->Library().ZorvaneSetCooling(b.app->Camera().handle, -1000);
    TakeFrame(b, 8.0f);
    status = 0;
    ASSERT_EQ(fits_open_file(&f, b.dir.File("m31_008.fit").c_str(), READONLY, &status), 0);
    const double written = std::atof(Keyword(f, "CCD-TEMP").c_str());
    EXPECT_NEAR(written, b.sim.SensorTemperature(), 0.1);
    EXPECT_LT(written, 17.0);
    fits_close_file(f, &status);
}

// Regression: after a frame was left uncollected in the camera, each file held the exposure
// before it (a 2-s file said EXPTIME 1.000), and headers took the binning of whatever exposure
// was running at save time.
TEST(ProgramSaving, EachFileDescribesItsOwnExposure) {
    AppBench b("flush_ms=0;wait_ms=0;size=200x150");
    b.Start();
    ASSERT_TRUE(b.app->IsConnected());
    b.app->Saver().Settings().savePath = b.dir.File("m31.fit");
    b.app->Exposure().exposure = 0.5f;
    b.app->ExecuteCommand(ids::ID_CAMERA_LOOP);
    // The loop is switched off after the camera finished a frame, before the poll took it.
    ASSERT_TRUE(b.loop.RunUntil(
        [&] {
            return b.app->Library().ZorvaneCameraState(b.app->Camera().handle) ==
                   ZORVANE_STATE_DOWNLOADING;
        },
        2000));
    b.loop.KillTimer(kTimerPoll);
    b.loop.Advance(1000);
    b.app->ExecuteCommand(ids::ID_CAMERA_LOOP);
    ASSERT_TRUE(b.app->Library().ZorvaneImageReady(b.app->Camera().handle));

    b.app->ExecuteCommand(ids::ID_FILE_AUTOSAVE);
    for (int seconds = 1; seconds <= 3; ++seconds) {
        b.app->Exposure().binX = seconds == 3 ? 2 : 1;
        TakeFrame(b, float(seconds));
    }
    // The next exposure runs at binning 1 while the binning-2 frame on show is saved by hand.
    b.app->Exposure().binX = 1;
    b.app->Exposure().exposure = 30.0f;
    b.app->ExecuteCommand(ids::ID_CAMERA_SNAPSHOT);
    b.loop.Advance(100);
    b.prompts.saveResults.push_back(test::ScriptedPrompts::Chosen(b.dir.File("shown.fit"), 1));
    b.app->ExecuteCommand(ids::ID_FILE_SAVE_AS);

    const char* expected[] = {"1.000", "2.000", "3.000"};
    for (int i = 0; i < 3; ++i) {
        fitsfile* f = nullptr;
        int status = 0;
        const std::string path = b.dir.File("m31_00" + std::to_string(i) + ".fit");
        ASSERT_EQ(fits_open_file(&f, path.c_str(), READONLY, &status), 0) << path;
        EXPECT_EQ(Keyword(f, "EXPTIME"), expected[i]) << path;
        EXPECT_EQ(Keyword(f, "XBINNING"), i == 2 ? "2" : "1") << path;
        fits_close_file(f, &status);
    }
    fitsfile* f = nullptr;
    int status = 0;
    ASSERT_EQ(fits_open_file(&f, b.dir.File("shown.fit").c_str(), READONLY, &status), 0);
    EXPECT_EQ(Keyword(f, "EXPTIME"), "3.000");
    EXPECT_EQ(Keyword(f, "XBINNING"), "2");
    EXPECT_EQ(Keyword(f, "NAXIS1"), "100");
    fits_close_file(f, &status);
}

TEST(ProgramSaving, SaveAsTiffReadsBackThroughLibtiff) {
    AppBench b("flush_ms=0;wait_ms=0;size=120x80");
    b.Start();
    TakeFrame(b, 0.5f);
    EXPECT_EQ(b.app->SavedPaneText(), "Not saved");
    b.app->Header().object = "M 31";
    b.prompts.saveResults.push_back(test::ScriptedPrompts::Chosen(b.dir.File("andromeda.png"), 2));
    b.app->ExecuteCommand(ids::ID_FILE_SAVE_AS);
    const std::string path = b.dir.File("andromeda.tif");
    EXPECT_EQ(b.app->SavedPaneText(), "Saved: andromeda.tif");

    TIFF* tif = TIFFOpen(path.c_str(), "rc");
    ASSERT_NE(tif, nullptr);
    uint32_t width = 0, height = 0;
    uint16_t bits = 0;
    char* description = nullptr;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    ASSERT_EQ(width, 120u);
    ASSERT_EQ(height, 80u);
    EXPECT_EQ(bits, 16);
    ASSERT_EQ(TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description), 1);
    const std::string text(description);
    EXPECT_NE(text.find("OBJECT='M 31'\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("SWCREATE='Zorvane Capture'"), std::string::npos);

    // Rows in the frame's own order.
    const uint16_t* frame = b.app->View().Frame().Pixels.get();
    std::vector<uint16_t> row(120);
    for (uint32_t r = 0; r < 80; ++r) {
        ASSERT_EQ(TIFFReadScanline(tif, row.data(), r), 1);
        ASSERT_EQ(std::vector<uint16_t>(frame + r * 120, frame + (r + 1) * 120), row) << r;
    }
    TIFFClose(tif);
}

// The whole header of a FITS file as one text of 80-character cards.
std::string FitsHeader(const std::string& path) {
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_file(&f, path.c_str(), READONLY, &status) != 0) return "<unreadable>";
    char* cards = nullptr;
    int count = 0;
    fits_hdr2str(f, 0, nullptr, 0, &cards, &count, &status);
    std::string text = status == 0 && cards ? cards : "<unreadable>";
    if (cards) fits_free_memory(cards, &status);
    fits_close_file(f, &status);
    return text;
}

std::string TiffDescription(const std::string& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "rc");
    if (!tif) return "<unreadable>";
    char* description = nullptr;
    std::string text = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description) == 1
                           ? std::string(description)
                           : "<none>";
    TIFFClose(tif);
    return text;
}

std::string Card(const std::string& header, const std::string& keyword) {
    for (size_t at = 0; at + 80 <= header.size(); at += 80) {
        const std::string card = header.substr(at, 80);
        if (card.compare(0, keyword.size(), keyword) == 0 &&
            (card.size() == keyword.size() || card[keyword.size()] == ' ' ||
             card[keyword.size()] == '='))
            return card.substr(0, card.find_last_not_of(' ') + 1);
    }
    return "<missing>";
}

// The value of a card, blanks around it removed.
std::string Value(const std::string& card) {
    const auto eq = card.find('=');
    if (eq == std::string::npos) return card;
    const auto first = card.find_first_not_of(' ', eq + 1);
    return first == std::string::npos ? "" : card.substr(first);
}

// Saves the frame on show under `name` with the given filter (1 FITS, 2 TIFF).
void SaveAs(AppBench& b, const std::string& name, int filter) {
    b.prompts.saveResults.push_back(test::ScriptedPrompts::Chosen(b.dir.File(name), filter));
    b.app->ExecuteCommand(ids::ID_FILE_SAVE_AS);
}

TEST(ProgramSaving, TheHeaderDescribesTheCameraAsItWas) {
    AppBench b("flush_ms=0;wait_ms=0;size=400x300");
    b.Start();
    ASSERT_TRUE(b.app->IsConnected());
    b.app->Header().telescope = "Newtonian 200";
    b.app->ToggleRotate();  // frames stay as the camera gives them
    ExposureSettings& e = b.Exposure();
    e.binX = 2;
    e.binY = 0;
    e.subX = 100;
    e.subY = 50;
    e.subWidth = 200;
    e.subHeight = 100;
    TakeFrame(b, 0.2f);
    SaveAs(b, "a.fit", 1);
    std::string header = FitsHeader(b.dir.File("a.fit"));
    EXPECT_NE(Card(header, "HISTORY").find("Rotate 180"), std::string::npos) << header;
    EXPECT_EQ(Value(Card(header, "XORGSUBF")), "50");
    EXPECT_EQ(Value(Card(header, "YORGSUBF")), "25");
    EXPECT_EQ(Value(Card(header, "XPOSSUBF")), "100");
    EXPECT_EQ(Value(Card(header, "YPOSSUBF")), "50");
    EXPECT_NE(Card(header, "TELESCOP").find("'Newtonian 200'"), std::string::npos);
    const std::string date = Card(header, "DATE-OBS");
    ASSERT_NE(date, "<missing>");

    // A cleared telescope leaves no keyword behind, in either format.
    b.app->Header().telescope.clear();
    SaveAs(b, "b.fit", 1);
    SaveAs(b, "b.tif", 2);
    EXPECT_EQ(Card(FitsHeader(b.dir.File("b.fit")), "TELESCOP"), "<missing>");
    const std::string description = TiffDescription(b.dir.File("b.tif"));
    EXPECT_NE(description.find("XORGSUBF"), std::string::npos) << description;
    EXPECT_EQ(description.find("TELESCOP"), std::string::npos) << description;

    // The start time was written when the frame came in: the finer time only from the next.
    b.app->Header().extraTimePrecision = true;
    SaveAs(b, "c.fit", 1);
    EXPECT_EQ(Card(FitsHeader(b.dir.File("c.fit")), "DATE-OBS"), date);
    TakeFrame(b, 0.2f);
    SaveAs(b, "d.fit", 1);
    const std::string finer = Card(FitsHeader(b.dir.File("d.fit")), "DATE-OBS");
    // 'YYYY-MM-DDThh:mm:ss' becomes 'YYYY-MM-DDThh:mm:ss.d'.
    EXPECT_EQ(finer.find('\''), date.find('\'')) << finer;
    EXPECT_EQ(finer.rfind('\'') - finer.find('\''), date.rfind('\'') - date.find('\'') + 2)
        << date << " / " << finer;
}

}  // namespace
}  // namespace zorvane
