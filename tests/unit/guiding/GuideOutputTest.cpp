// The choice between the camera's guide port and the telescope link, on a recording host and a
// scripted telescope driver and chooser: the chooser, the "Connect" box, the messages, and a
// driver that dies while guiding or calibrating.

#include <gtest/gtest.h>

#include "guiding/GuidingEngine.h"
#include "support/ScriptedPrompts.h"
#include "unit/telescope/FakeTelescope.h"

using namespace zorvane;

namespace {

struct PortHost : GuidingHost {
    ImageFrame frame;
    std::vector<std::pair<int, unsigned>> portPulses;
    std::vector<Rect> selections;
    int framesStarted = 0;
    bool progressShown = false;
    const ImageFrame& ShownFrame() const override { return frame; }
    Point TrackedStar() const override { return {-1000, -1000}; }
    void SetTrackedStar(Point) override {}
    void SetGuideTargetMarker(Point) override {}
    void RedrawView() override {}
    void ShowTrackingDialog(bool) override {}
    void RefreshTrackingDialog() override {}
    void RefreshDeviationCharts(bool) override {}
    std::string TelescopeId() const override { return "unused"; }
    CameraOwner owner;
    CameraOwner& Owner() override { return owner; }
    bool FramesRotated() const override { return false; }
    Rect SensorRect() const override { return {0, 0, 1000, 1000}; }
    Rect SubframeRect() const override { return SensorRect(); }
    void SetSelection(const Rect& r) override { selections.push_back(r); }
    void StartFrame() override { ++framesStarted; }
    unsigned FrameTimeMs() const override { return 1000; }
    void SendCameraPortPulse(int direction, unsigned ms) override {
        portPulses.emplace_back(direction, ms);
    }
    void SetCalibrationTrack(const std::vector<Point>&) override {}
    void ShowCalibrationProgress(bool show) override { progressShown = show; }
    void SetCalibrationProgress(int) override {}
    void ShowGuideStarLost(bool) override {}
    int stepsEnded = 0;
    void GuideStepEnded() override { ++stepsEnded; }
};

struct Bench : test::LinkBench {
    test::ScriptedPrompts prompts;
    PortHost host;
    FocusSettings focus;
    GuidingSettings settings;
    GuidingEngine engine{host, prompts, loop, loop, focus, settings};

    Bench() {
        transport.servers[".Telescope"] = mount;
        engine.AttachTelescope(&link);
        loop.SetTimerHandler([this](int id) {
            if (id == kTimerPulse)
                link.OnTimer();
            else
                engine.OnTimer();
        });
    }
    // The mount answers what it was asked: connects made in the background, pulses ended.
    void Answer() {
        work.RunAll();
        loop.RunUntil([this] { return !link.Pulsing(); }, 60000);
    }
    void Open() {
        engine.ToggleTrackingDialog();
        Answer();
        engine.OnFieldEdited(GuidingEngine::Field::MinGuide, "10");
    }
    // The dialog open and "Maker.Telescope" picked with the chooser, connected.
    void MountChosen() {
        Open();
        chooser->answer = "Maker.Telescope";
        engine.OnAscomChooser();
        Answer();
    }
    // Calibrated through the output in use (NS along y, WE along x, 10 px/s), autoguiding on a
    // target at (100, 100).
    void Autoguide() {
        engine.Calibration() = GuideCalibration{0, 1, 1, 0, 10, 10, engine.CurrentSetup()};
        engine.OnStarMeasured(StarMeasurement{100, 100, 1000, 3});
        engine.OnAutoguideClicked(true);
    }
    std::string LastMessage() const {
        return prompts.messages.empty() ? "" : prompts.messages.back().text;
    }
};

TEST(GuideOutput, ChooserCancelKeepsTheCameraPortAndAChoiceTakesOver) {
    Bench b;
    b.Open();
    EXPECT_TRUE(b.engine.TelescopeLinkAvailable());
    EXPECT_EQ(b.engine.Model().driverName, "test");

    b.chooser->answer = "";
    b.engine.OnAscomChooser();
    EXPECT_FALSE(b.link.DriverOpen());
    EXPECT_FALSE(b.engine.TelescopeInUse());
    EXPECT_EQ(b.engine.Model().output, GuideOutput::CameraPort);
    EXPECT_EQ(b.engine.Model().driverName, "ASCOM");
    EXPECT_TRUE(b.prompts.messages.empty());

    b.chooser->answer = "Maker.Telescope";
    b.engine.OnAscomChooser();
    b.Answer();
    EXPECT_TRUE(b.engine.TelescopeInUse());
    EXPECT_EQ(b.engine.Model().output, GuideOutput::TelescopeLink) << "the Connect box is ticked";
    EXPECT_EQ(b.settings.output, GuideOutput::TelescopeLink);
    EXPECT_EQ(b.engine.Model().driverName, "Maker");
    EXPECT_TRUE(b.mount->connected);

    // Guide pulses (feedback 5) now go to the mount and wait for it; none through the
    // camera's port.
    b.Autoguide();
    b.engine.OnStarMeasured(StarMeasurement{102, 103, 1000, 3});
    const uint64_t start = b.loop.Now();
    EXPECT_FALSE(b.engine.GuideStep()) << "the step runs on while the mount moves";
    b.Answer();
    EXPECT_EQ(b.mount->pulses, (std::vector<std::pair<int, int>>{{1, 150}, {3, 100}}));
    EXPECT_EQ(b.loop.Now() - start, 250u) << "one pulse after the other";
    EXPECT_TRUE(b.host.portPulses.empty());

    // Unticking Connect closes the driver; the camera's port guides again, but not with the
    // mount's calibration: autoguiding asks for a new one.
    b.engine.OnConnectClicked(false);
    b.Answer();
    EXPECT_FALSE(b.link.DriverOpen());
    EXPECT_FALSE(b.mount->connected);
    EXPECT_EQ(b.settings.output, GuideOutput::CameraPort);
    EXPECT_FALSE(b.engine.AutoguideOn());
    EXPECT_EQ(b.LastMessage(), "Axes not calibrated");
    b.engine.Calibration().setup = b.engine.CurrentSetup();
    b.engine.OnAutoguideClicked(true);
    for (const float x : {102.0f, 104.0f}) {  // the target afresh, then 2 px off it
        b.engine.OnStarMeasured(StarMeasurement{x, 100, 1000, 3});
        b.engine.GuideStep();
    }
    EXPECT_EQ(b.host.portPulses.size(), 1u);
    b.prompts.messages.clear();

    // Ticking it again opens and connects the chosen driver, quietly; the port's calibration
    // does not guide the mount.
    b.engine.OnConnectClicked(true);
    b.Answer();
    EXPECT_TRUE(b.engine.TelescopeInUse());
    EXPECT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.LastMessage(), "Axes not calibrated");
}

TEST(GuideOutput, AMountThatCannotGuideOrConnectIsNotUsedAndSaysWhy) {
    Bench b;
    b.Open();
    b.mount->canPulseGuide = false;
    b.chooser->answer = "Maker.Telescope";
    b.engine.OnAscomChooser();
    b.Answer();
    EXPECT_EQ(b.mount->connectedWrites.front(), true) << "it connects";
    EXPECT_FALSE(b.engine.TelescopeInUse()) << "but is not used";
    EXPECT_EQ(b.engine.Model().output, GuideOutput::CameraPort);
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text, "Maker\nThis scope does not support guiding");
    EXPECT_EQ(b.prompts.messages[0].caption, "ASCOM");
    EXPECT_EQ(b.prompts.messages[0].icon, MessageIcon::Exclamation);

    // The Connect box: a driver that refuses to connect is closed and the box unticked.
    b.mount->canPulseGuide = true;
    b.mount->connectable = false;
    b.link.SetScopeId(".Telescope");
    b.engine.OnConnectClicked(true);
    b.Answer();
    EXPECT_FALSE(b.engine.TelescopeInUse());
    EXPECT_FALSE(b.link.DriverOpen());
    EXPECT_EQ(b.engine.Model().output, GuideOutput::CameraPort);
    EXPECT_EQ(b.LastMessage(), ".Telescope\nCannot connect to telescope");
    EXPECT_EQ(b.engine.Model().driverName, ".Telescope");
    // A driver that cannot be created at all (its server is down) says the same.
    b.link.SetScopeId("Gone.Telescope");
    b.engine.OnConnectClicked(true);
    b.Answer();
    EXPECT_EQ(b.engine.Model().output, GuideOutput::CameraPort);
    EXPECT_EQ(b.LastMessage(), "Gone\nCannot connect to telescope");

    // No chooser at all.
    b.transport.servers.erase(TelescopeLink::kChooserProgId);
    b.engine.OnAscomChooser();
    EXPECT_EQ(b.LastMessage(), "ASCOM is not installed on this computer");
    EXPECT_EQ(b.prompts.messages.back().caption, "ASCOM");
}

TEST(GuideOutput, TheChosenLinkConnectsQuietlyWhenTheDialogOpens) {
    Bench b;
    b.link.SetScopeId("Maker.Telescope");
    b.settings.output = GuideOutput::TelescopeLink;
    b.mount->connectable = false;
    b.Open();
    EXPECT_TRUE(b.prompts.messages.empty()) << "quiet";
    EXPECT_EQ(b.engine.Model().output, GuideOutput::CameraPort);
    EXPECT_FALSE(b.link.DriverOpen());

    Bench ok;
    ok.link.SetScopeId("Maker.Telescope");
    ok.settings.output = GuideOutput::TelescopeLink;
    ok.Open();
    EXPECT_TRUE(ok.engine.TelescopeInUse());
    EXPECT_EQ(ok.engine.Model().output, GuideOutput::TelescopeLink);
    EXPECT_EQ(ok.engine.Model().driverName, "Maker");
}

TEST(GuideOutput, AMountThatStopsAnsweringEndsGuidingOnceAndFallsBackToTheCameraPort) {
    Bench b;
    b.MountChosen();
    ASSERT_TRUE(b.engine.TelescopeInUse());
    b.Autoguide();

    b.mount->answers = false;  // the INDI server died
    unsigned lampsBehindMessage = ~0u;
    b.prompts.whileShown = [&](const std::string&) {
        lampsBehindMessage = b.engine.Model().pulseMarks;
    };
    b.engine.OnStarMeasured(StarMeasurement{102, 103, 1000, 3});
    const uint64_t start = b.loop.Now();
    b.engine.GuideStep();
    b.Answer();
    EXPECT_EQ(lampsBehindMessage, 0u) << "the failed pulse's lamp is out while the message waits";
    EXPECT_FALSE(b.engine.AutoguideOn());
    EXPECT_FALSE(b.engine.TelescopeInUse());
    EXPECT_FALSE(b.link.DriverOpen());
    EXPECT_EQ(b.engine.Model().output, GuideOutput::CameraPort) << "Connect unticked";
    EXPECT_EQ(b.settings.output, GuideOutput::CameraPort);
    EXPECT_TRUE(b.host.portPulses.empty()) << "the second pulse is not sent anywhere";
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text, "Maker\nCannot connect to telescope");
    EXPECT_LT(b.loop.Now() - start, 100u) << "no wait on a dead driver";

    // A calibration through a mount that dies: the run ends, the subframe comes back, and the
    // one message is the link's.
    Bench c;
    c.Open();
    c.chooser->answer = "Maker.Telescope";
    c.engine.OnAscomChooser();
    c.Answer();
    c.engine.OnStarMeasured(StarMeasurement{500, 500, 1000, 3});
    c.engine.Calibrate();
    ASSERT_TRUE(c.engine.Calibrating());
    c.engine.OnFrameShown();  // the guide-box frame: the north pulse goes out
    ASSERT_EQ(c.mount->pulses.size(), 1u);
    c.Answer();  // the frame after the pulse
    c.engine.OnStarMeasured(StarMeasurement{500, 520, 1000, 3});
    c.mount->answers = false;
    c.engine.OnFrameShown();  // after the north pulse: its return pulse fails
    c.Answer();
    EXPECT_FALSE(c.engine.TelescopeInUse());
    c.engine.OnFrameShown();  // the closing frame
    EXPECT_FALSE(c.engine.Calibrating());
    EXPECT_FALSE(c.host.progressShown);
    EXPECT_EQ(c.host.selections.back(), Rect{}) << "the full sensor again";
    ASSERT_EQ(c.prompts.messages.size(), 1u);
    EXPECT_EQ(c.prompts.messages[0].text, "Maker\nCannot connect to telescope");
    EXPECT_FALSE(c.engine.Calibration().Valid()) << "the calibration in force is kept (none)";
}

// While the mount runs a step's first pulse the window goes on: a frame shown meanwhile starts
// no second step, and unticking Autoguide ends this one without its second pulse.
TEST(GuideOutput, AutoguideUntickedWhileTheMountMovesSendsNoMore) {
    Bench b;
    b.MountChosen();
    b.Autoguide();
    b.engine.OnStarMeasured(StarMeasurement{102, 103, 1000, 3});
    EXPECT_FALSE(b.engine.GuideStep());
    b.engine.OnStarMeasured(StarMeasurement{104, 106, 1000, 3});
    EXPECT_TRUE(b.engine.GuideStep()) << "no second step over a running one";
    b.engine.OnAutoguideClicked(false);
    b.Answer();
    EXPECT_EQ(b.mount->pulses, (std::vector<std::pair<int, int>>{{1, 150}}));
    EXPECT_EQ(b.host.stepsEnded, 1) << "the loop goes on";
    EXPECT_EQ(b.engine.Model().pulseMarks, 0u);
    EXPECT_TRUE(b.host.portPulses.empty());
}

}  // namespace
