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
    std::vector<std::string> captions;
    int stopBeeps = 0;
    MessageAnswer answer = MessageAnswer::No;
    MessageAnswer MessageBox(const std::string& text, const std::string& caption, MessageButtons,
                             MessageIcon) override {
        messages.push_back(text);
        captions.push_back(caption);
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
    bool rotated = false;
    bool FramesRotated() const override { return rotated; }
    Rect SensorRect() const override { return {0, 0, 1000, 1000}; }
    Rect SubframeRect() const override { return SensorRect(); }
    void SetSelection(const Rect&) override {}
    void StartFrame() override {}
    unsigned FrameTimeMs() const override { return 1000; }
    void SendCameraPortPulse(int direction, unsigned ms) override {
        pulses.emplace_back(direction, ms);
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

    // A calibration run on a star at (500, 500), the camera idle, up to its first pulse.
    void StartCalibration() {
        engine.OnAutoguideClicked(false);
        host.owner.Release(CameraActivity::Exposures);
        engine.OnStarMeasured(StarMeasurement{500, 500, 1000, 3});
        engine.Calibrate();
    }
    // The next frame of the run shows the star there (taken once the pulse has run its time).
    void CalibrationFrame(const StarMeasurement& star, bool afterPulse = false) {
        if (afterPulse) engine.OnTimer();
        engine.OnStarMeasured(star);
        engine.OnFrameShown();
    }

    // NS axis (0, 1), WE axis (1, 0), 10 px/s, feedback 10, min 10 ms; target at (100, 100).
    Guider() {
        engine.ToggleTrackingDialog();
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

TEST(GuideStep, PulsesAreFiguredInExtendedPrecisionAndLimitedBeforeTheyAreMadeWhole) {
    Guider g;
    // Feedback 7 on 1 px at 10 px/s: 70 ms, not the 69 a single-precision product gives.
    g.engine.OnFieldEdited(GuidingEngine::Field::FeedbackDec, "7");
    g.Star(100, 101);
    EXPECT_EQ(g.host.pulses, (Pulses{{1, 70}}));

    // A speed next to nothing: the longest pulse, not a figure beyond any integer.
    g.host.pulses.clear();
    g.engine.Calibration().velWE = 1e-30f;
    g.Star(101, 100);
    EXPECT_EQ(g.host.pulses, (Pulses{{3, 2000}}));
}

TEST(GuideStep, ACalibrationThatCannotGuideIsRefused) {
    // Parallel axes, a speed the wrong way round, a calibration made with the frames turned
    // the other way: none of them guides, and the box does not stay ticked.
    GuideCalibration parallel{0, 1, 0, 1, 10, 10}, backwards{0, 1, 1, 0, 10, -10},
        otherTurn{0, 1, 1, 0, 10, 10, CalibrationSetup{true, GuideOutput::CameraPort}};
    for (const GuideCalibration& c : {parallel, backwards, otherTurn}) {
        Guider g;
        g.engine.OnAutoguideClicked(false);
        g.engine.Calibration() = c;
        g.engine.OnAutoguideClicked(true);
        EXPECT_FALSE(g.engine.AutoguideOn());
        EXPECT_EQ(g.prompts.messages, std::vector<std::string>{"Axes not calibrated"});
    }

    // Turning the frames while guiding: the calibration no longer counts; the previous one is
    // offered only when it was measured with the frames turned the new way.
    Guider g;
    g.settings.previousCalibration = GuideCalibration{0, 1, 1, 0, 10, 10};
    g.host.rotated = true;
    g.Star(100, 102);
    EXPECT_FALSE(g.engine.AutoguideOn());
    EXPECT_EQ(g.prompts.messages, std::vector<std::string>{"Axes not calibrated"});
    EXPECT_TRUE(g.host.pulses.empty());
    g.settings.previousCalibration.setup.rotate180 = true;
    g.prompts.answer = MessageAnswer::Yes;
    g.engine.OnAutoguideClicked(true);
    EXPECT_EQ(g.prompts.messages,
              (std::vector<std::string>{"Axes not calibrated",
                                        "Axes not calibrated.\nUse previous calibration data?"}));
    EXPECT_TRUE(g.engine.AutoguideOn());
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

TEST(GuideStep, TheLostWindowComesBackWithItsBeepAfterGuidingWasStopped) {
    Guider g;
    g.Star(StarMeasurement::kNoStar, StarMeasurement::kNoStar);
    ASSERT_TRUE(g.host.lostShown);
    // The user stops guiding while the star is away: the window goes with it.
    g.engine.OnAutoguideClicked(false);
    EXPECT_FALSE(g.host.lostShown);
    g.engine.OnAutoguideClicked(true);
    g.Star(StarMeasurement::kNoStar, StarMeasurement::kNoStar);
    EXPECT_TRUE(g.host.lostShown);
    EXPECT_EQ(g.prompts.stopBeeps, 2);
}

TEST(GuideStep, CalibrationIsRefusedWhileTheCameraIsImaging) {
    Guider g;
    g.engine.Calibrate();
    EXPECT_FALSE(g.engine.Calibrating());
    ASSERT_EQ(g.prompts.messages.size(), 1u);
    EXPECT_EQ(g.prompts.messages[0], "Cannot calibrate while camera is imaging.");
    EXPECT_TRUE(g.host.pulses.empty());
}

TEST(GuideCalibration, AStarLostOnTheGuideBoxFrameEndsTheRunAndKeepsTheCalibration) {
    Guider g;
    const GuideCalibration before = g.engine.Calibration();
    g.StartCalibration();
    ASSERT_TRUE(g.engine.Calibrating());
    g.CalibrationFrame(StarMeasurement{});  // the guide box: a cloud
    EXPECT_TRUE(g.host.pulses.empty());
    EXPECT_EQ(g.prompts.messages, std::vector<std::string>{"Guide star lost"});
    EXPECT_EQ(g.prompts.captions, std::vector<std::string>{"Calibration"});
    g.CalibrationFrame(StarMeasurement{});  // the closing frame
    EXPECT_FALSE(g.engine.Calibrating());
    EXPECT_EQ(g.engine.Calibration().velNS, before.velNS);
    EXPECT_EQ(g.prompts.messages.size(), 1u);
}

TEST(GuideCalibration, TooLittleMovementSaysHowFarTheStarMovedAndWhatToRaise) {
    Guider g;
    g.StartCalibration();
    g.CalibrationFrame(StarMeasurement{500, 500, 1000, 3});
    g.CalibrationFrame(StarMeasurement{500, 504, 1000, 3}, true);  // 4 px after 3 s north
    g.CalibrationFrame(StarMeasurement{500, 504, 1000, 3});        // the closing frame
    EXPECT_FALSE(g.engine.Calibrating());
    EXPECT_EQ(g.prompts.messages,
              std::vector<std::string>{
                  "Insufficient movement of guide star - calibration not valid.\nTry increasing "
                  "the calibration time or checking the connection to the telescope.\n\nThe "
                  "star moved 4.0 pixels with the 3000 ms north pulse; it must move at least 8. "
                  "Raise \"Calib. time\" to 7500 ms."});
    EXPECT_FALSE(g.engine.Calibration().Valid());
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
