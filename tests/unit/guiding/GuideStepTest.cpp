// The guide step's arithmetic and rules, and the calibration's derivation, on a recording host.

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "guiding/GuideCalibrator.h"
#include "guiding/GuidingEngine.h"

using namespace zorvane;

namespace {

struct FakeClock : Clock {
    uint64_t Milliseconds() override { return 100000; }
};

struct NoTimers : TimerService {
    void SetTimer(int, unsigned) override {}
    void KillTimer(int) override {}
};

struct QuietPrompts : Prompts {
    std::vector<std::string> messages;
    int stopBeeps = 0;
    MessageAnswer answer = MessageAnswer::No;
    MessageAnswer MessageBox(const std::string& text, const std::string&, MessageButtons,
                             MessageIcon) override {
        messages.push_back(text);
        return answer;
    }
    FileDialogResult SaveFileDialog(const FileDialogRequest&) override { return {}; }
    FileDialogResult OpenFileDialog(const FileDialogRequest&) override { return {}; }
    void Beep(BeepKind kind) override { stopBeeps += kind == BeepKind::Stop; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    bool IsShiftHeld() override { return false; }
};

struct RecordingHost : GuidingHost {
    ImageFrame frame;
    std::vector<std::pair<int, unsigned>> pulses;
    bool lostShown = false;
    const ImageFrame& ShownFrame() const override { return frame; }
    Point TrackedStar() const override { return {-1000, -1000}; }
    void SetTrackedStar(Point) override {}
    void SetGuideTargetMarker(Point) override {}
    void RedrawView() override {}
    void ShowTrackingDialog(bool) override {}
    void RefreshTrackingDialog() override {}
    void RefreshDeviationCharts(bool) override {}
    std::string TelescopeId() const override { return {}; }
    // Exposures hold the camera: a calibration is refused.
    CameraOwner owner;
    bool exposing = owner.Acquire(CameraActivity::Exposures);
    CameraOwner& Owner() override { return owner; }
    Rect SensorRect() const override { return {0, 0, 1000, 1000}; }
    Rect SubframeRect() const override { return SensorRect(); }
    void SetSelection(const Rect&) override {}
    void StartFrame() override {}
    unsigned FrameTimeMs() const override { return 1000; }
    bool SendCameraPortPulse(int direction, unsigned ms) override {
        pulses.emplace_back(direction, ms);
        return false;
    }
    void SetCalibrationTrack(const std::vector<Point>&) override {}
    void ShowCalibrationProgress(bool) override {}
    void SetCalibrationProgress(int) override {}
    void ShowGuideStarLost(bool show) override { lostShown = show; }
};

struct Guider {
    FakeClock clock;
    NoTimers timers;
    QuietPrompts prompts;
    RecordingHost host;
    FocusSettings focus;
    GuidingSettings settings;
    GuidingEngine engine{host, prompts, clock, timers, focus, settings};

    // NS axis (0, 1), WE axis (1, 0), 10 px/s, feedback 10, min 10 ms; target at (100, 100).
    Guider() {
        engine.ToggleDialog();
        engine.Calibration() = GuideCalibration{0, 1, 1, 0, 10, 10};
        engine.OnFieldEdited(GuidingEngine::Field::FeedbackRA, "10");
        engine.OnFieldEdited(GuidingEngine::Field::FeedbackDec, "10");
        engine.OnFieldEdited(GuidingEngine::Field::MinGuide, "10");
        Star(100, 100);
        engine.OnAutoguideClicked(true);
    }
    // A frame: the star measured there, then the guide step.
    void Star(float x, float y) {
        engine.OnStarMeasured(StarMeasurement{x, y, 1000, 3});
        if (engine.AutoguideOn()) engine.GuideStep();
    }
};

using Pulses = std::vector<std::pair<int, unsigned>>;

}  // namespace

TEST(GuideCalibration, FourVelocitiesGiveTheAxesAndSpeeds) {
    // 500-ms pulses moving the star +10 / -10 px in x for north / south: 20 px/s along (1, 0).
    const float vx[4] = {20, -20, 0, 0}, vy[4] = {0, 0, -6, 8};
    const GuideCalibration c = DeriveCalibration(vx, vy);
    EXPECT_FLOAT_EQ(c.velNS, 20);
    EXPECT_FLOAT_EQ(c.axisNSX, 1);
    EXPECT_FLOAT_EQ(c.axisNSY, 0);
    EXPECT_FLOAT_EQ(c.velWE, 7);
    EXPECT_FLOAT_EQ(c.axisWEY, -1);
}

TEST(GuideStep, ResolvesClampsAndSendsNorthSouthFirst) {
    Guider g;
    ASSERT_TRUE(g.engine.AutoguideOn());
    // 2 px right of and 3 px below the target: u = 3, v = 2.
    g.Star(102, 103);
    EXPECT_EQ(g.host.pulses, (Pulses{{1, 300}, {3, 200}}));
    EXPECT_FLOAT_EQ(g.engine.History().Last(DeviationHistory::Dec), 3);
    EXPECT_FLOAT_EQ(g.engine.History().Last(DeviationHistory::RA), 2);

    // 20 px off along NS is corrected as 5 px, but recorded as it was.
    g.host.pulses.clear();
    g.Star(99, 80);
    EXPECT_EQ(g.host.pulses, (Pulses{{0, 500}, {2, 100}}));
    EXPECT_FLOAT_EQ(g.engine.History().Last(DeviationHistory::Dec), -20);

    // Below the minimum: nothing.
    g.host.pulses.clear();
    g.Star(100.05f, 100.05f);
    EXPECT_TRUE(g.host.pulses.empty());
}

TEST(GuideStep, DecPlusOnlySendsOnlyNorthPulses) {
    Guider g;
    g.engine.OnGuideAxesChanged(5);  // "Dec+ only"
    g.Star(104, 103);                // would need south and west
    g.Star(104, 97);                 // would need north and west
    EXPECT_EQ(g.host.pulses, (Pulses{{0, 300}}));
}

TEST(GuideStep, ALostStarSendsNothingAndGuidingResumesWhenItIsFound) {
    Guider g;
    g.Star(StarMeasurement::kNoStar, StarMeasurement::kNoStar);
    EXPECT_TRUE(g.host.pulses.empty());
    EXPECT_TRUE(g.host.lostShown);
    EXPECT_EQ(g.prompts.stopBeeps, 1);
    EXPECT_TRUE(g.engine.AutoguideOn());
    g.Star(StarMeasurement::kNoStar, StarMeasurement::kNoStar);
    EXPECT_EQ(g.prompts.stopBeeps, 1) << "one beep while it stays lost";
    g.Star(100, 102);
    EXPECT_FALSE(g.host.lostShown);
    EXPECT_EQ(g.host.pulses, (Pulses{{1, 200}}));
}

TEST(GuideStep, CalibrationIsRefusedWhileTheCameraIsImaging) {
    Guider g;
    g.engine.Calibrate();
    EXPECT_FALSE(g.engine.Calibrating());
    ASSERT_EQ(g.prompts.messages.size(), 1u);
    EXPECT_EQ(g.prompts.messages[0], "Cannot calibrate while camera is imaging.");
    EXPECT_TRUE(g.host.pulses.empty());
}

TEST(GuideStep, RefusingThePreviousCalibrationReArmsTheTarget) {
    Guider g;
    g.engine.OnAutoguideClicked(false);
    g.settings.previousCalibration = GuideCalibration{0, 1, 1, 0, 10, 10};
    g.engine.Calibration() = GuideCalibration{};
    g.engine.OnAutoguideClicked(true);
    ASSERT_EQ(g.prompts.messages,
              std::vector<std::string>{"Axes not calibrated.\nUse previous calibration data?"});
    EXPECT_FALSE(g.engine.AutoguideOn());
    // The star has moved on: the next measurement is the new target, not the old (100, 100).
    g.Star(120, 130);
    EXPECT_FLOAT_EQ(g.engine.TargetX(), 120);
    EXPECT_FLOAT_EQ(g.engine.TargetY(), 130);
    g.prompts.answer = MessageAnswer::Yes;
    g.engine.OnAutoguideClicked(true);
    ASSERT_TRUE(g.engine.AutoguideOn());
    g.Star(120, 133);
    EXPECT_EQ(g.host.pulses, (Pulses{{1, 300}}));
}
