// Guide calibration and autoguiding closed around the simulated camera's mount, in virtual
// time, through the camera's guide port.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "core/CommandIds.h"
#include "support/AppBench.h"
#include "view/ImageView.h"

namespace zorvane {
namespace {

using test::AppBench;
using Field = GuidingEngine::Field;

constexpr int kW = 640, kH = 480;
constexpr const char* kBase =
    "flush_ms=0;wait_ms=0;download_mpx_s=100;size=640x480;stars=400;star_flux=400000;"
    "hot_pixels=0;seed=5;";

void NextFrame(AppBench& b) {
    const int before = b.ui.repaints;
    ASSERT_TRUE(b.loop.RunUntil([&] { return b.ui.repaints > before; }, 20000));
}

// Takes a frame and double-clicks a bright star well inside the sensor (or one 30 to 70 px
// from its edge); true when the dialog measured it.
bool PickStar(AppBench& b, bool nearEdge = false) {
    b.app->Exposure().exposure = 1.0f;
    b.app->View().SetClientSize(1000, 800);
    b.app->Snapshot();
    NextFrame(b);
    for (int i = 0; i < b.sim.StarCount(); ++i) {
        double x, y, flux;
        b.sim.Star(i, x, y, flux);
        // Frames are turned by 180 degrees.
        x = kW - x;
        y = kH - y;
        const double edge = std::min({x, y, kW - x, kH - y});
        if (flux < 3000 || flux > 60000 || (nearEdge ? edge < 25 || edge > 74 : edge < 120))
            continue;
        const Point click = b.app->View().Geometry().SensorToScreen(
            Point{static_cast<int>(x), static_cast<int>(y)});
        b.app->View().Interaction().LeftDoubleClick(click);
        const StarMeasurement& m = b.app->Guider().Model().star;
        if (m.Found() && std::hypot(m.column - x, m.row - y) < 2) return true;
    }
    return false;
}

// Picks a star and starts a calibration of 1.5-s pulses over the calibration `before`.
bool StartCalibration(AppBench& b, const GuideCalibration& before) {
    if (!PickStar(b)) return false;
    GuidingEngine& g = b.app->Guider();
    g.OnFieldEdited(Field::CalibrationTime, "1500");
    g.Calibration() = before;
    g.Calibrate();
    return g.Calibrating();
}

bool RunCalibration(AppBench& b) {
    b.app->Guider().Calibrate();
    return b.loop.RunUntil([&] { return !b.app->Guider().Calibrating(); }, 120000);
}

double Degrees(double x, double y) {
    return std::atan2(y, x) * 180.0 / std::numbers::pi;
}

double AngleDiff(double a, double b) {
    return std::remainder(a - b, 360.0);
}

TEST(Guiding, CalibrationRecoversTheMountsAxesAndRateAndRestoresTheSubframe) {
    for (const double angle : {30.0, 118.0}) {
        char opts[160];
        std::snprintf(opts, sizeof opts, "%sguide_angle=%g;guide_rate=7.5", kBase, angle);
        AppBench b(opts);
        b.Start();
        ASSERT_TRUE(PickStar(b)) << angle;
        GuidingEngine& g = b.app->Guider();
        // 1.5 s at 7.5 px/s: 11 px, inside the search radius of 15.
        g.OnFieldEdited(Field::CalibrationTime, "1500");
        ASSERT_TRUE(RunCalibration(b));
        EXPECT_TRUE(b.prompts.messages.empty())
            << (b.prompts.messages.empty() ? "" : b.prompts.messages[0].text);
        const GuideCalibration& c = g.Calibration();
        ASSERT_TRUE(c.Valid()) << angle;
        // The frame is turned by 180 degrees, so the east pulse moves the shown star along the
        // simulator's west axis; north is a quarter turn behind it.
        EXPECT_LE(std::abs(AngleDiff(Degrees(c.axisWEX, c.axisWEY), angle)), 1.0) << angle;
        EXPECT_LE(std::abs(AngleDiff(Degrees(c.axisNSX, c.axisNSY), angle - 90)), 1.0) << angle;
        EXPECT_NEAR(c.velWE, 7.5, 0.15) << angle;
        EXPECT_NEAR(c.velNS, 7.5, 0.15) << angle;
        std::printf("guide_angle %g: WE %.3f deg %.4f px/s, NS %.3f deg %.4f px/s\n", angle,
                    Degrees(c.axisWEX, c.axisWEY), c.velWE, Degrees(c.axisNSX, c.axisNSY), c.velNS);
        // The full sensor again, the track of the nine positions, the star back near its start.
        const ExposureSettings& e = b.app->Exposure();
        EXPECT_EQ(e.subX, 0);
        EXPECT_EQ(e.subWidth, kW);
        EXPECT_EQ(e.subHeight, kH);
        EXPECT_EQ(b.app->View().CalibrationTrack().size(), 9u);
        EXPECT_FALSE(b.app->Cycle().Exposing());
    }
}

TEST(Guiding, CalibrationRefusesAnEdgeStarAndAMountThatDoesNotMove) {
    AppBench b(std::string(kBase) + "guide_rate=0");
    b.Start();
    ASSERT_TRUE(PickStar(b, true));
    GuidingEngine& g = b.app->Guider();
    // A guide box of 150 px does not fit around it: refused, no pulse.
    g.OnFieldEdited(Field::SearchRadius, "50");
    b.sim.ClearCallLog();
    g.Calibrate();
    EXPECT_FALSE(g.Calibrating());
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text, "Please select a star nearer the centre of the CCD.");
    EXPECT_EQ(b.sim.CallCount("ZorvanePulseGuide"), 0);
    EXPECT_EQ(b.app->Exposure().subWidth, kW);

    g.OnFieldEdited(Field::SearchRadius, "15");
    g.OnFieldEdited(Field::CalibrationTime, "1500");
    g.Calibration() = GuideCalibration{0, 1, 1, 0, 7, 7};
    ASSERT_TRUE(RunCalibration(b));
    EXPECT_EQ(b.sim.CallCount("ZorvanePulseGuide"), 1) << "the first direction fails";
    ASSERT_EQ(b.prompts.messages.size(), 2u);
    EXPECT_EQ(b.prompts.messages[1].text.rfind("Insufficient movement of guide star", 0), 0u);
    EXPECT_FALSE(g.Calibration().Valid());
    EXPECT_EQ(b.app->Exposure().subWidth, kW);
}

TEST(Guiding, CancelInTheThirdDirectionKeepsThePreviousCalibration) {
    AppBench b(std::string(kBase) + "guide_angle=30");
    b.Start();
    ASSERT_TRUE(StartCalibration(b, GuideCalibration{0, 1, 1, 0, 3, 4}));
    GuidingEngine& g = b.app->Guider();
    // North out and back, south out and back, then the east pulse.
    ASSERT_TRUE(b.loop.RunUntil([&] { return b.sim.CallCount("ZorvanePulseGuide") == 5; }, 60000));
    g.CancelCalibration();
    ASSERT_TRUE(b.loop.RunUntil([&] { return !g.Calibrating(); }, 60000));
    EXPECT_EQ(b.sim.CallCount("ZorvanePulseGuide"), 5);
    EXPECT_EQ(g.Calibration().velNS, 3.0f);
    EXPECT_EQ(g.Calibration().velWE, 4.0f);
    EXPECT_TRUE(b.prompts.messages.empty());
    EXPECT_EQ(b.app->Exposure().subWidth, kW);
    EXPECT_EQ(b.ui.calibrationProgressShown, 0) << "the progress window is closed";
}

// Regression: Calibrate while a sequence waited between frames took the camera (the sequence's
// frames got the guide box and were saved); a Snapshot during a calibration aborted its frame.
TEST(Guiding, CalibrationAndOtherActivitiesNeverShareTheCamera) {
    AppBench b(std::string(kBase) + "guide_angle=30");
    b.Start();
    ASSERT_TRUE(PickStar(b));
    GuidingEngine& g = b.app->Guider();
    g.OnFieldEdited(Field::CalibrationTime, "1500");
    b.app->Saver().Settings().savePath = b.dir.File("m.fit");
    b.app->Sequence().lines[0] = {true, "0.5", 0, 1, "", ""};
    b.app->Sequence().repeat = 2;
    b.app->Sequence().delay = 5;
    b.app->Sequencer().StartStopSequence();
    ASSERT_TRUE(b.loop.RunUntil([&] { return !b.app->LastSavedName().empty(); }, 5000));
    g.Calibrate();
    EXPECT_FALSE(g.Calibrating());
    ASSERT_TRUE(b.loop.RunUntil([&] { return !b.app->Sequencer().Running(); }, 20000));
    EXPECT_EQ(b.app->View().Frame().Width, kW) << "the sequence's frames stay whole";
    EXPECT_EQ(b.sim.CallCount("ZorvanePulseGuide"), 0);

    g.Calibrate();
    ASSERT_TRUE(g.Calibrating());
    ASSERT_TRUE(b.loop.RunUntil([&] { return b.sim.CallCount("ZorvanePulseGuide") == 1; }, 20000));
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_SNAPSHOT).enabled);
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_LOOP).enabled);
    EXPECT_FALSE(b.app->SequencerRunEnabled());
    b.app->ExecuteCommand(ids::ID_CAMERA_SNAPSHOT);
    b.app->ExecuteCommand(ids::ID_CAMERA_LOOP);
    b.app->Sequencer().StartStopSequence();
    ASSERT_TRUE(b.loop.RunUntil([&] { return !g.Calibrating(); }, 120000));
    EXPECT_TRUE(g.Calibration().Valid());

    const std::string busy = " while a calibration is running.\nWait for it to end, or cancel it.";
    ASSERT_EQ(b.prompts.messages.size(), 5u);
    const std::vector<std::pair<std::string, std::string>> expected{
        {"Cannot calibrate while a sequence is running.\nStop the sequence first.", "Calibrate"},
        {"Sequence complete.", "Sequencer"},
        {"Cannot take exposures" + busy, "Zorvane Capture"},
        {"Cannot take exposures" + busy, "Zorvane Capture"},
        {"Cannot start a sequence" + busy, "Sequencer"}};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(b.prompts.messages[i].text, expected[i].first) << i;
        EXPECT_EQ(b.prompts.messages[i].caption, expected[i].second) << i;
    }
    EXPECT_FALSE(b.app->Sequencer().Running());
    EXPECT_FALSE(b.app->Cycle().Looping());
}

// Regression: a camera lost during a calibration left it waiting half a minute for each frame,
// with three messages, the last frame asked of a camera that was gone.
TEST(Guiding, ALostCameraEndsTheCalibrationWithOneMessageAndKeepsThePreviousOne) {
    AppBench b(std::string(kBase) + "guide_angle=30;faults=disconnect;disconnect_after=3");
    b.Start();
    ASSERT_TRUE(StartCalibration(b, GuideCalibration{0, 1, 1, 0, 3, 4}));
    GuidingEngine& g = b.app->Guider();
    // The guide box's frame and the north leg's come; the return leg's frame does not.
    ASSERT_TRUE(b.loop.RunUntil([&] { return !b.app->IsConnected(); }, 60000));
    EXPECT_TRUE(b.loop.RunUntil([&] { return !g.Calibrating(); }, 2));
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text,
              "Lost connection to Camera\nCalibration stopped. Use Connect to reconnect.");
    EXPECT_EQ(b.prompts.messages[0].caption, "Calibration");
    EXPECT_EQ(g.Calibration().velNS, 3.0f);
    EXPECT_EQ(g.Calibration().velWE, 4.0f);
    EXPECT_EQ(b.app->Exposure().subWidth, kW);
    EXPECT_EQ(b.ui.calibrationProgressShown, 0);
    b.loop.Advance(60000);
    EXPECT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_FALSE(b.app->Cycle().Exposing());
}

// Regression: Connect (disconnecting) left a calibration waiting for frames that could not come.
TEST(Guiding, DisconnectingTheCameraEndsACalibrationQuietly) {
    AppBench b(std::string(kBase) + "guide_angle=30");
    b.Start();
    ASSERT_TRUE(StartCalibration(b, GuideCalibration{0, 1, 1, 0, 3, 4}));
    ASSERT_TRUE(b.loop.RunUntil([&] { return b.sim.CallCount("ZorvanePulseGuide") == 1; }, 20000));
    b.app->ExecuteCommand(ids::ID_CAMERA_CONNECT);
    EXPECT_FALSE(b.app->IsConnected());
    EXPECT_FALSE(b.app->Guider().Calibrating());
    EXPECT_EQ(b.app->Guider().Calibration().velWE, 4.0f);
    b.loop.Advance(60000);
    EXPECT_TRUE(b.prompts.messages.empty());
    EXPECT_EQ(b.ui.calibrationProgressShown, 0);
}

// 30 minutes of 2-s frames with the mount drifting 2 px/min and the default periodic error.
TEST(Guiding, AutoguidingHoldsTheStarOnItsTarget) {
    const std::string opts = std::string(kBase) + "drift=2;guide_angle=118;guide_rate=7.5";
    constexpr int kFrames = 900;
    double unguided = 0;
    {
        AppBench b(opts);
        b.Start();
        for (int i = 0; i < kFrames; ++i) {
            b.loop.Advance(2000);
            double x, y;
            b.sim.MountOffset(x, y);
            unguided = std::max(unguided, std::hypot(x, y));
        }
    }
    AppBench b(opts);
    b.Start();
    ASSERT_TRUE(PickStar(b));
    GuidingEngine& g = b.app->Guider();
    g.OnFieldEdited(Field::CalibrationTime, "1500");
    ASSERT_TRUE(RunCalibration(b));
    ASSERT_TRUE(g.Calibration().Valid());
    g.OnFieldEdited(Field::MinGuide, "10");
    g.OnAutoguideClicked(true);
    ASSERT_TRUE(g.AutoguideOn());
    b.app->Exposure().exposure = 2.0f;
    b.app->ToggleLoop();
    const GuideCalibration c = g.Calibration();
    double sumU = 0, sumV = 0;
    for (int i = 0; i < kFrames; ++i) {
        NextFrame(b);
        const float dx = g.Model().star.column - g.TargetX();
        const float dy = g.Model().star.row - g.TargetY();
        const float det = c.axisNSX * c.axisWEY - c.axisWEX * c.axisNSY;
        const double u = (dx * c.axisWEY - dy * c.axisWEX) / det;
        const double v = (dy * c.axisNSX - dx * c.axisNSY) / det;
        sumU += u * u;
        sumV += v * v;
    }
    b.app->ToggleLoop();
    EXPECT_FALSE(g.StarLostShown());
    const double rmsDec = std::sqrt(sumU / kFrames), rmsRA = std::sqrt(sumV / kFrames);
    const double rms = std::hypot(rmsDec, rmsRA);
    std::printf("unguided excursion %.2f px; guided RMS Dec %.3f RA %.3f total %.3f px\n", unguided,
                rmsDec, rmsRA, rms);
    EXPECT_GT(unguided, 55.0);
    EXPECT_LT(rms, 0.3);
    EXPECT_LT(rms, unguided / 20);
}

}  // namespace
}  // namespace zorvane
