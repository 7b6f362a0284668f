// The guider driven the way capture programs drive it, over the guiding event protocol, on the
// simulated camera and its mount in virtual time; the star it picks by itself; and the guide log
// read back by a reader written from the log's layout.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/CommandIds.h"
#include "guiding/StarFinder.h"
#include "support/AppBench.h"
#include "support/ProtocolClient.h"
#include "view/ImageView.h"

namespace zorvane {
namespace {

using json = nlohmann::json;
using test::AppBench;
using test::ProtocolClient;

constexpr int kW = 640, kH = 480;
constexpr const char* kSky =
    "flush_ms=0;wait_ms=0;download_mpx_s=100;size=640x480;stars=400;star_flux=400000;"
    "hot_pixels=0;seed=5;guide_angle=30;guide_rate=7.5;";

const json kSettle{{"pixels", 1.5}, {"time", 10}, {"timeout", 60}};

struct GuiderBench : AppBench {
    explicit GuiderBench(const std::string& sky = kSky) : AppBench(sky) {
        Start();
        app->Guiding().guideCalTime = 1500;  // 11 px at 7.5 px/s
        app->Guiding().minGuideTime = 10;
        app->Guiding().focalLength = 500;
        app->Exposure().exposure = 1.0f;
        app->View().SetClientSize(1000, 800);
    }
    // Runs virtual time until the client has seen what it waits for.
    bool Until(ProtocolClient& c, const std::function<bool()>& done, uint64_t limitMs) {
        return loop.RunUntil(
            [&] {
                c.Pump();
                return done();
            },
            limitMs);
    }
    json Call(ProtocolClient& c, const std::string& method, json params = nullptr) {
        const int id = c.Request(method, std::move(params));
        c.Pump();
        EXPECT_TRUE(c.Answered(id)) << method;
        return c.answers[id];
    }
    // loop, find_star, guide: calibrated and guiding, settled.
    void StartGuiding(ProtocolClient& c) {
        ASSERT_EQ(Call(c, "loop")["result"], 0);
        ASSERT_TRUE(Until(
            c, [&] { return c.Count("LoopingExposures") > 0; }, 5000));
        ASSERT_TRUE(Call(c, "find_star")["result"].is_array());
        ASSERT_EQ(Call(c, "guide", {kSettle, false})["result"], 0);
        ASSERT_TRUE(Until(
            c, [&] { return c.Count("SettleDone") == 1; }, 300000));
        ASSERT_EQ((*c.Last("SettleDone"))["Status"], 0) << c.Last("SettleDone")->dump();
    }
};

int PulseCount(GuiderBench& b) {
    return b.sim.CallCount("ZorvanePulseGuide");
}

TEST(GuiderServer, GuideCalibratesThenSettlesAndEachDitherSettlesOnce) {
    GuiderBench b;
    ProtocolClient c(b.app->GuiderServer().Server());
    b.StartGuiding(c);
    const std::vector<std::string> names = c.EventNames();
    const auto at = [&](const char* e) {
        return std::find(names.begin(), names.end(), e) - names.begin();
    };
    EXPECT_LT(at("StartCalibration"), at("Calibrating"));
    EXPECT_LT(at("Calibrating"), at("CalibrationComplete"));
    EXPECT_LT(at("CalibrationComplete"), at("StartGuiding"));
    EXPECT_LT(at("StartGuiding"), at("SettleBegin"));
    EXPECT_LT(at("SettleBegin"), at("GuideStep"));
    EXPECT_LT(at("GuideStep"), at("SettleDone"));
    EXPECT_EQ(c.Count("Calibrating"), 8);
    const json& step = *c.Last("GuideStep");
    for (const char* field :
         {"Frame", "Time", "Mount", "dx", "dy", "RADistanceRaw", "DECDistanceRaw",
          "RADistanceGuide", "DECDistanceGuide", "StarMass", "SNR", "AvgDist"})
        EXPECT_TRUE(step.contains(field)) << field;
    EXPECT_EQ(b.Call(c, "get_app_state")["result"], "Guiding");
    EXPECT_EQ(b.Call(c, "get_calibrated")["result"], true);
    EXPECT_NEAR(b.Call(c, "get_pixel_scale")["result"].get<double>(), 206.265 * 6.45 / 500, 1e-3);

    const json lock = b.Call(c, "get_lock_position")["result"];
    ASSERT_EQ(
        b.Call(c, "dither", {{"amount", 5}, {"raOnly", false}, {"settle", kSettle}})["result"], 0);
    const json& d = *c.Last("GuidingDithered");
    const double moved = std::hypot(d["dx"].get<double>(), d["dy"].get<double>());
    EXPECT_GT(moved, 0.0);
    EXPECT_LE(moved, 5.0);
    const json after = b.Call(c, "get_lock_position")["result"];
    EXPECT_NEAR(after[0].get<double>() - lock[0].get<double>(), d["dx"].get<double>(), 0.01);
    // A second dither before the first has settled.
    const json refused = b.Call(c, "dither", {3, false, kSettle});
    EXPECT_EQ(refused["error"]["code"], 1);
    EXPECT_EQ(refused["error"]["message"], "cannot dither while settling");
    ASSERT_TRUE(b.Until(
        c, [&] { return c.Count("SettleDone") == 2; }, 70000));
    EXPECT_EQ((*c.Last("SettleDone"))["Status"], 0);
    // Nothing more follows.
    b.loop.Advance(65000);
    c.Pump();
    EXPECT_EQ(c.Count("SettleDone"), 2);
}

TEST(GuiderServer, PauseStopsThePulsesAndALostStarIsReportedEveryFrame) {
    GuiderBench b;
    ProtocolClient c(b.app->GuiderServer().Server());
    b.StartGuiding(c);

    // Paused: frames go on, no pulses.
    EXPECT_EQ(b.Call(c, "set_paused", {true})["result"], 0);
    EXPECT_EQ(c.Count("Paused"), 1);
    EXPECT_EQ(b.Call(c, "get_paused")["result"], true);
    EXPECT_EQ(b.Call(c, "get_app_state")["result"], "Paused");
    const int pulses = PulseCount(b), shown = b.ui.repaints;
    b.loop.Advance(10000);
    c.Pump();
    EXPECT_EQ(PulseCount(b), pulses);
    EXPECT_GT(b.ui.repaints, shown + 5) << "the loop goes on";
    EXPECT_EQ(b.Call(c, "set_paused", {{"paused", false}})["result"], 0);
    EXPECT_EQ(c.Count("Resumed"), 1);
    ASSERT_TRUE(b.Until(
        c, [&] { return PulseCount(b) > pulses; }, 10000));
    EXPECT_EQ(b.Call(c, "get_app_state")["result"], "Guiding");

    // Paused with the loop stopped, the mount jumps 30 px west: on resuming the star is gone
    // from its search box.
    EXPECT_EQ(b.Call(c, "set_paused", {true, "full"})["result"], 0);
    b.loop.Advance(3000);
    EXPECT_FALSE(b.app->Cycle().Looping());
    b.app->Library().ZorvanePulseGuide(b.app->Camera().handle, 3, 4000);
    b.loop.Advance(5000);
    EXPECT_EQ(b.Call(c, "set_paused", {false})["result"], 0);
    EXPECT_TRUE(b.app->Cycle().Looping());
    ASSERT_TRUE(b.Until(
        c, [&] { return c.Count("StarLost") >= 3; }, 20000));
    EXPECT_EQ(b.Call(c, "get_app_state")["result"], "LostLock");
    ASSERT_NE(c.Last("AppState"), nullptr);
    EXPECT_EQ((*c.Last("AppState"))["State"], "LostLock");
    const json& lost = *c.Last("StarLost");
    for (const char* field : {"Frame", "Time", "StarMass", "SNR", "AvgDist", "ErrorCode", "Status"})
        EXPECT_TRUE(lost.contains(field)) << field;
    const int frames = c.Count("StarLost");
    b.loop.Advance(5000);
    c.Pump();
    EXPECT_GE(c.Count("StarLost"), frames + 4) << "one for every frame";

    // stop_capture ends guiding and the loop.
    const int stops = c.Count("LoopingExposuresStopped");
    EXPECT_EQ(b.Call(c, "stop_capture")["result"], 0);
    c.Pump();
    EXPECT_EQ(c.Count("GuidingStopped"), 1);
    EXPECT_EQ(c.Count("LoopingExposuresStopped"), stops + 1);
    EXPECT_FALSE(b.app->Cycle().Looping());
    EXPECT_FALSE(b.app->Guider().AutoguideOn());
}

TEST(GuiderServer, TwentyDithersOfThreePixelsAllSettle) {
    GuiderBench b;
    ProtocolClient c(b.app->GuiderServer().Server());
    b.StartGuiding(c);
    b.app->GuiderServer().Control().SetDitherSeed(11);
    std::vector<double> seconds;
    for (int i = 0; i < 20; ++i) {
        const int before = c.Count("SettleDone");
        const uint64_t start = b.loop.Now();
        ASSERT_EQ(b.Call(c, "dither", {3, false, kSettle})["result"], 0) << i;
        ASSERT_TRUE(b.Until(
            c, [&] { return c.Count("SettleDone") > before; }, 70000))
            << i;
        EXPECT_EQ((*c.Last("SettleDone"))["Status"], 0) << i;
        seconds.push_back((b.loop.Now() - start) / 1000.0);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("settle after a 3-px dither (1.5 px for 10 s): median %.1f s, max %.1f s\n",
                (seconds[9] + seconds[10]) / 2, seconds.back());
    EXPECT_LT(seconds.back(), 60.0);
}

// ---------------------------------------------------------------------------------------------
// The guide log, read as a log viewer reads it.

struct LogRun {
    double scale = 0;
    std::vector<double> ra, dec;
    int drops = 0;
};

std::vector<std::string> Fields(const std::string& row) {
    std::vector<std::string> out;
    std::string field;
    bool quoted = false;
    for (const char ch : row) {
        if (ch == '"') {
            quoted = !quoted;
        } else if (ch == ',' && !quoted) {
            out.push_back(field);
            field.clear();
        } else {
            field += ch;
        }
    }
    out.push_back(field);
    return out;
}

std::vector<LogRun> ReadGuideLog(const std::string& path, std::string& firstLine) {
    std::ifstream in(path);
    std::vector<LogRun> runs;
    std::string line;
    std::getline(in, firstLine);
    bool inRun = false, inRows = false;
    double scale = 1;
    while (std::getline(in, line)) {
        if (line.rfind("Pixel scale = ", 0) == 0) scale = std::stod(line.substr(14));
        if (line.rfind("Guiding Begins at ", 0) == 0) {
            runs.emplace_back();
            inRun = true;
        } else if (line.rfind("Guiding Ends at ", 0) == 0) {
            inRun = inRows = false;
        } else if (inRun && line.rfind("Frame,Time,mount,", 0) == 0) {
            runs.back().scale = scale;
            inRows = true;
        } else if (inRows && !line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) {
            const std::vector<std::string> f = Fields(line);
            if (f[2] == "DROP") {
                ++runs.back().drops;
            } else {
                runs.back().ra.push_back(std::stod(f[5]));
                runs.back().dec.push_back(std::stod(f[6]));
            }
        }
    }
    return runs;
}

// The viewers' RMS: the population standard deviation.
double Rms(const std::vector<double>& v) {
    double mean = 0, sq = 0;
    for (const double x : v) mean += x;
    mean /= static_cast<double>(v.size());
    for (const double x : v) sq += (x - mean) * (x - mean);
    return std::sqrt(sq / static_cast<double>(v.size()));
}

TEST(GuiderServer, TheGuideLogOfHalfAnHourGivesTheDialogsFigures) {
    GuiderBench b(std::string(kSky) + "drift=2");
    ProtocolClient c(b.app->GuiderServer().Server());
    b.app->Exposure().exposure = 2.0f;
    b.StartGuiding(c);
    ASSERT_EQ(b.Call(c, "dither", {3, false, kSettle})["result"], 0);
    const int before = c.Count("GuideStep");
    b.loop.Advance(30 * 60 * 1000);
    c.Pump();
    const int guided = c.Count("GuideStep");
    EXPECT_GE(guided - before, 850);
    const GuideFigures dialog = b.app->Guider().Model().figures;
    const std::string rmsText = b.app->Guider().GuideRmsText();
    const std::string path = b.app->GuiderServer().Log().Path();
    b.app->GuiderServer().Control().StopCapture();

    std::string first;
    const std::vector<LogRun> runs = ReadGuideLog(path, first);
    EXPECT_NE(first.find("Log version 2.5. Log enabled at "), std::string::npos) << first;
    ASSERT_EQ(runs.size(), 1u);
    const LogRun& run = runs[0];
    EXPECT_EQ(static_cast<int>(run.ra.size()), guided);
    EXPECT_EQ(run.drops, 0);
    EXPECT_NEAR(run.scale, 206.265 * 6.45 / 500, 0.01);
    const double ra = Rms(run.ra), dec = Rms(run.dec);
    std::printf("guide log: %zu frames, RMS RA %.3f Dec %.3f total %.3f px = %.2f\" (dialog %s)\n",
                run.ra.size(), ra, dec, std::hypot(ra, dec), std::hypot(ra, dec) * run.scale,
                rmsText.c_str());
    EXPECT_EQ(dialog.frames, guided);
    EXPECT_NEAR(ra, dialog.ra, 1e-3);
    EXPECT_NEAR(dec, dialog.dec, 1e-3);
    EXPECT_NEAR(std::hypot(ra, dec), dialog.total, 1e-3);
    EXPECT_LT(dialog.total, 0.4);
    char arcsec[32];
    std::snprintf(arcsec, sizeof arcsec, "%.2f\"", dialog.total * run.scale);
    EXPECT_NE(rmsText.find(arcsec), std::string::npos) << rmsText;

    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    for (const char* line : {"Calibration Begins at ", "Direction,Step,dx,dy,x,y,Dist",
                             "Calibration complete, mount = ", "INFO: DITHER by ",
                             "INFO: SETTLING STATE CHANGE, Settling started", "xAngle = "})
        EXPECT_NE(text.str().find(line), std::string::npos) << line;
}

// ---------------------------------------------------------------------------------------------
// Picking a star without the user

TEST(GuiderServer, AutoSelectTakesTheBrightestStarThatIsNeitherSaturatedNorHotNorAtTheEdge) {
    // Bright stars that saturate, hot pixels far brighter than most stars.
    GuiderBench b(
        "flush_ms=0;wait_ms=0;download_mpx_s=100;size=640x480;stars=300;star_flux=20000000;"
        "hot_pixels=60;dark_current=40;seed=9;drift=0;pe=0");
    b.app->Snapshot();
    ASSERT_TRUE(b.loop.RunUntil([&] { return !b.app->View().Frame().IsEmpty(); }, 5000));
    ASSERT_TRUE(b.app->Guider().AutoSelectStar(true));
    const StarMeasurement& m = b.app->Guider().Model().star;
    ASSERT_TRUE(m.Found());

    // The truth, in the program's orientation (frames are turned by 180 degrees).
    const ImageFrame& f = b.app->View().Frame();
    const int margin = 23;  // 1.5 search radii of 15
    int expected = -1, saturated = 0;
    for (int i = 0; i < b.sim.StarCount() && expected < 0; ++i) {
        double x, y, flux;
        b.sim.Star(i, x, y, flux);
        x = kW - x;
        y = kH - y;
        if (std::min({x, y, kW - x, kH - y}) < margin) continue;
        // Saturated: its brightest pixel clipped.
        uint16_t peak = 0;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                peak = std::max(peak, f.At(std::clamp(int(x) + dx, 0, kW - 1),
                                           std::clamp(int(y) + dy, 0, kH - 1)));
        if (peak >= 62000) {
            ++saturated;
            continue;
        }
        expected = i;
    }
    ASSERT_GT(saturated, 0) << "the sky must have saturated stars for this test";
    double x, y, flux;
    b.sim.Star(expected, x, y, flux);
    EXPECT_NEAR(m.column, kW - x, 1.0);
    EXPECT_NEAR(m.row, kH - y, 1.0);
    for (int i = 0; i < b.sim.HotPixelCount(); ++i) {
        int hx, hy;
        b.sim.HotPixel(i, hx, hy);
        EXPECT_GT(std::hypot(m.column - (kW - hx - 0.5), m.row - (kH - hy - 0.5)), 2.0);
    }

    // A region with nothing but the sky finds nothing, and says so to the client.
    ProtocolClient c(b.app->GuiderServer().Server());
    const json none = b.Call(c, "find_star", {{"roi", {0, 0, 5, 5}}});
    EXPECT_EQ(none["error"]["code"], 1);
    EXPECT_EQ(none["error"]["message"], "could not find star");

    // A camera that another activity holds is refused to the client in the owner's words.
    b.app->Owner().Acquire(CameraActivity::Sequence);
    const json loop = b.Call(c, "loop");
    EXPECT_EQ(loop["error"]["code"], 1);
    EXPECT_EQ(loop["error"]["message"], b.app->Owner().Refusal(CameraActivity::Exposures));
    EXPECT_EQ(b.Call(c, "set_exposure", {500})["error"]["code"], 1);
    EXPECT_FALSE(b.app->Cycle().Looping());
    EXPECT_TRUE(b.prompts.messages.empty());
}

}  // namespace
}  // namespace zorvane
