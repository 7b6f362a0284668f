#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "camera/ExposureCycle.h"
#include "core/TimerIds.h"
#include "fixtures/FixtureProbe.h"
#include "support/SimHarness.h"

namespace zorvane {
namespace {

using test::SimBench;

// Records where the cycle sends each frame, and takes its pixels by exchange as the view does.
struct RecordingHost : ExposureHost {
    struct Frame {
        FrameGeometry geometry;
        bool turned;
        bool preview;
        std::vector<uint16_t> pixels;
    };
    std::vector<Frame> frames;
    std::unique_ptr<uint16_t[]> held;  // the pixel array taken last
    size_t heldCapacity = 0;
    int timeTexts = 0, shown = 0, autosaves = 0, guideSteps = 0;
    std::vector<bool> awakeCalls;
    bool autosave = false, autoguide = false;
    std::vector<bool> runButton;
    std::vector<float> autoExposures;
    int priority = 0, raised = 0;

    void MakeExposureTimeText() override { ++timeTexts; }
    void SetFrame(FrameBuffer& pixels, FrameHistogram&, const FrameGeometry& g, bool turned,
                  bool preview) override {
        const uint16_t* p = pixels.Data();
        frames.push_back(
            {g, turned, preview, std::vector<uint16_t>(p, p + size_t(g.width) * g.height)});
        pixels.Exchange(held, heldCapacity);
    }
    void OnNewFrameShown() override { ++shown; }
    bool AutosaveEnabled() const override { return autosave; }
    void AutosaveImage() override { ++autosaves; }
    bool IsAutoguideOn() const override { return autoguide; }
    bool guideStepOver = true;  // false: its pulses through the mount still run
    bool GuideStep() override {
        ++guideSteps;
        return guideStepOver;
    }
    void EnableSequencerRun(bool enable) override { runButton.push_back(enable); }
    void ShowAutoExposure(float s) override { autoExposures.push_back(s); }
    int RaiseThreadPriority() override {
        ++raised;
        const int saved = priority;
        priority = -2;
        return saved;
    }
    void RestoreThreadPriority(int saved) override { priority = saved; }
    void KeepSystemAwake(bool on) override { awakeCalls.push_back(on); }
};

// A connected simulated camera driven by an exposure cycle in virtual time.
struct CycleBench : SimBench {
    explicit CycleBench(const std::string& options = "")
        : SimBench(options), cycle(lib, camera, settings, loop, loop, prompts, host, owner) {
        loop.SetTimerHandler([this](int id) { cycle.OnTimer(id); });
        connected = Connect();
        settings.subWidth = camera.properties.pixelsX;
        settings.subHeight = camera.properties.pixelsY;
    }
    ~CycleBench() { cycle.ClearLooping(); }

    ExposureSettings settings;
    RecordingHost host;
    CameraOwner owner;
    ExposureCycle cycle;
    bool connected = false;
};

constexpr const char* kFast = "flush_ms=0;wait_ms=0;download_mpx_s=100";

TEST(ExposureCycle, SnapshotDeliversOneTurnedFrame) {
    CycleBench b(std::string(kFast) + ";size=1000x800");
    ASSERT_TRUE(b.connected);
    b.settings.exposure = 0.1f;
    b.cycle.Snapshot();
    EXPECT_TRUE(b.cycle.Exposing());
    EXPECT_EQ(b.loop.RequestedPeriod(kTimerPoll), 1);
    EXPECT_EQ(b.host.runButton, std::vector<bool>{false});

    b.Advance(2000);
    ASSERT_EQ(b.host.frames.size(), 1u);
    EXPECT_FALSE(b.cycle.Exposing());
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerPoll));
    EXPECT_EQ(b.host.timeTexts, 1);
    EXPECT_EQ(b.host.shown, 1);
    EXPECT_TRUE(b.host.frames[0].turned);
    EXPECT_TRUE(b.cycle.FrameTurned());
    EXPECT_EQ(b.host.frames[0].geometry.width, 1000);
    EXPECT_EQ(b.host.frames[0].geometry.height, 800);
    EXPECT_EQ(b.host.frames[0].geometry.x, 0);
    EXPECT_EQ(b.host.autosaves, 0);
    EXPECT_EQ(b.host.runButton.back(), true);
}

TEST(ExposureCycle, ShiftStopsEarlyAndKeepsTheFramePlainSnapshotDiscardsIt) {
    {
        CycleBench b(kFast);
        ASSERT_TRUE(b.connected);
        b.settings.exposure = 30.0f;
        b.cycle.Snapshot();
        b.Advance(1000);
        b.prompts.shiftHeld = true;
        b.cycle.Snapshot();
        EXPECT_EQ(b.sim.CallCount("ZorvaneStopExposure"), 1);
        b.Advance(2000);
        ASSERT_EQ(b.host.frames.size(), 1u) << "the early-stopped frame arrives";
    }
    {
        CycleBench b(kFast);
        ASSERT_TRUE(b.connected);
        b.settings.exposure = 30.0f;
        b.cycle.Snapshot();
        b.Advance(1000);
        b.cycle.Snapshot();
        EXPECT_FALSE(b.cycle.Exposing());
        EXPECT_FALSE(b.loop.IsTimerSet(kTimerPoll));
        EXPECT_FALSE(b.loop.IsTimerSet(kTimerLoopNext));
        EXPECT_EQ(b.sim.CallCount("ZorvaneAbortExposure"), 1);
        b.Advance(40000);
        EXPECT_TRUE(b.host.frames.empty());
    }
}

TEST(ExposureCycle, SnapshotDuringALoopAbortsAndResumesHalfASecondLater) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    b.settings.exposure = 5.0f;
    b.cycle.ToggleLoop();
    EXPECT_EQ(b.host.priority, -2);
    b.Advance(1000);
    ASSERT_TRUE(b.cycle.Exposing());
    b.cycle.Snapshot();
    EXPECT_EQ(b.loop.RequestedPeriod(kTimerLoopNext), 500);
    const int startsBefore = b.sim.CallCount("ZorvaneStartExposure");
    b.Advance(499);
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), startsBefore);
    b.Advance(1);
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), startsBefore + 1);
    EXPECT_TRUE(b.cycle.Exposing());
    EXPECT_TRUE(b.cycle.Looping());
    b.cycle.ToggleLoop();
    EXPECT_EQ(b.host.priority, 0) << "priority restored";
}

TEST(ExposureCycle, SwitchingTheLoopOffDiscardsAFrameThatIsStillComing) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    b.host.autosave = true;
    b.settings.exposure = 0.2f;
    b.cycle.ToggleLoop();
    b.Advance(1);  // timer 1 starts the first exposure
    ASSERT_TRUE(b.cycle.Exposing());
    // The exposure is over and the frame is being read out when the loop is switched off.
    ASSERT_TRUE(b.loop.RunUntil(
        [&] { return b.lib.ZorvaneCameraState(b.camera.handle) == ZORVANE_STATE_DOWNLOADING; },
        1000));
    b.cycle.ToggleLoop();
    EXPECT_TRUE(b.cycle.StopRequested());
    b.Advance(2000);
    // A frame-ready report that still arrives is not fetched, shown or saved.
    b.cycle.EndShot();
    EXPECT_FALSE(b.cycle.StopRequested());
    b.Advance(2000);
    EXPECT_TRUE(b.host.frames.empty());
    EXPECT_EQ(b.host.autosaves, 0);
    EXPECT_EQ(b.host.shown, 0);
}

TEST(ExposureCycle, LoopWithoutDelayStartsTheNextExposureBeforeFetching) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    b.settings.exposure = 0.05f;
    b.settings.delay = 0.0004f;  // under a millisecond: the same as no delay
    b.cycle.ToggleLoop();
    b.sim.ClearCallLog();
    b.Advance(400);
    ASSERT_GE(b.host.frames.size(), 2u);
    const std::string log = b.sim.CallLog();
    // Each frame is fetched after the next exposure was started.
    const auto start = log.find("ZorvaneStartExposure(");
    const auto fetch = log.find("ZorvaneImageBuffer(");
    ASSERT_NE(start, std::string::npos);
    ASSERT_NE(fetch, std::string::npos);
    EXPECT_LT(start, fetch);
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerLoopNext));
}

TEST(ExposureCycle, AutoguidingOrChangedSettingsWaitForTheLoopTimer) {
    for (int variant = 0; variant < 2; ++variant) {
        CycleBench b(kFast);
        ASSERT_TRUE(b.connected);
        b.settings.exposure = 0.05f;
        b.settings.delay = 0.0004f;
        if (variant == 0) b.host.autoguide = true;
        b.cycle.ToggleLoop();
        b.Advance(1);
        if (variant == 1) b.cycle.ApplyExposureSettings(b.settings);
        ASSERT_TRUE(b.loop.RunUntil([&] { return !b.host.frames.empty(); }, 1000));
        EXPECT_EQ(b.loop.RequestedPeriod(kTimerLoopNext), 0) << "variant " << variant;
        EXPECT_FALSE(b.cycle.Exposing());
        EXPECT_EQ(b.host.guideSteps, variant == 0 ? 1 : 0);
        EXPECT_FALSE(b.cycle.SettingsChanged());
    }
}

// The mount still moves the star while its guide pulses run: no exposure starts meanwhile.
TEST(ExposureCycle, TheLoopWaitsForAGuideStepThatIsStillRunning) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    b.settings.exposure = 0.05f;
    b.settings.delay = 0.2f;
    b.host.autoguide = true;
    b.host.guideStepOver = false;
    b.cycle.ToggleLoop();
    ASSERT_TRUE(b.loop.RunUntil([&] { return !b.host.frames.empty(); }, 1000));
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerLoopNext));
    b.Advance(3000);
    EXPECT_EQ(b.host.frames.size(), 1u);
    b.cycle.GuideStepEnded();
    EXPECT_EQ(b.loop.RequestedPeriod(kTimerLoopNext), 200) << "then the delay as usual";
    b.cycle.GuideStepEnded();
    ASSERT_TRUE(b.loop.RunUntil([&] { return b.host.frames.size() == 2; }, 1000));

    // Stopped while the step runs: its end starts nothing.
    b.cycle.ToggleLoop();
    b.cycle.GuideStepEnded();
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerLoopNext));
}

TEST(ExposureCycle, PrepareSendsTheSettingsTheCameraNeeds) {
    CycleBench b(std::string(kFast) + ";size=1000x800");
    ASSERT_TRUE(b.connected);
    b.settings.binX = 2;
    b.settings.binY = 0;  // same as X
    b.settings.subX = 100;
    b.settings.subY = 50;
    b.settings.subWidth = 20;
    b.settings.subHeight = 10;
    b.settings.exposure = 3.0f;
    b.settings.vbe = true;
    b.sim.ClearCallLog();
    b.cycle.PrepareToExpose();
    std::string log = b.sim.CallLog();
    EXPECT_NE(log.find("ZorvaneBin(2,2)"), std::string::npos) << log;
    // The program turns frames, so the camera gets the mirrored subframe.
    EXPECT_NE(log.find("ZorvaneSubframePos(880,740)"), std::string::npos) << log;
    EXPECT_NE(log.find("ZorvaneSubframeSize(20,10)"), std::string::npos) << log;
    EXPECT_NE(log.find("ZorvaneSetAmplifierSwitched(1)"), std::string::npos) << log;
    EXPECT_NE(log.find("ZorvaneSetProcessing(2)"), std::string::npos) << log;
    EXPECT_NE(log.find("ZorvaneExposureReadyCallback(0,0,0,0)"), std::string::npos) << log;

    b.settings.rotate180 = true;
    b.settings.preview = true;
    b.settings.vbe = false;
    b.sim.ClearCallLog();
    b.cycle.PrepareToExpose();
    log = b.sim.CallLog();
    EXPECT_NE(log.find("ZorvaneSubframePos(100,50)"), std::string::npos) << log;
    EXPECT_NE(log.find("ZorvaneSetAmplifierSwitched(0)"), std::string::npos) << log;
    EXPECT_NE(log.find("ZorvaneSetProcessing(0)"), std::string::npos) << log;
}

TEST(ExposureCycle, TurnedSubframeLandsOnTheTurnedSensorWithTheLastPixelFirst) {
    CycleBench b(std::string(kFast) + ";size=1000x800");
    ASSERT_TRUE(b.connected);
    b.settings.binX = 2;
    b.settings.binY = 2;
    b.settings.subX = 100;
    b.settings.subY = 50;
    b.settings.subWidth = 20;
    b.settings.subHeight = 10;
    b.settings.exposure = 0.01f;
    b.settings.rotate180 = true;  // first as the camera delivers it
    b.cycle.Snapshot();
    b.Advance(1000);
    ASSERT_EQ(b.host.frames.size(), 1u);
    const auto raw = b.host.frames[0];
    EXPECT_EQ(raw.geometry.x, 100);
    EXPECT_EQ(raw.geometry.width, 10);
    EXPECT_EQ(raw.geometry.height, 5);
    EXPECT_FALSE(raw.turned);

    // The same area turned: the camera reads the mirrored subframe (880, 740) and the program
    // turns it back, so it lands at (880, 740) of the turned sensor, last pixel first.
    b.settings.rotate180 = false;
    b.settings.subX = 880;
    b.settings.subY = 740;
    b.cycle.Snapshot();
    b.Advance(1000);
    ASSERT_EQ(b.host.frames.size(), 2u);
    const auto turned = b.host.frames[1];
    EXPECT_EQ(turned.geometry.x, 880);
    EXPECT_EQ(turned.geometry.y, 740);
    EXPECT_EQ(turned.geometry.width, 10);
    EXPECT_EQ(turned.geometry.height, 5);
    EXPECT_TRUE(turned.turned);
    ASSERT_EQ(turned.pixels.size(), 50u);
}

TEST(ExposureCycle, TheTurnedFrameIsTheDeliveredFrameBackwards) {
    // Two identical simulated nights: the same exposure taken as delivered and turned.
    std::vector<uint16_t> delivered, turned;
    for (bool rotate180 : {true, false}) {
        CycleBench b(std::string(kFast) + ";size=1000x800;seed=7");
        ASSERT_TRUE(b.connected);
        b.settings.exposure = 0.5f;
        b.settings.binX = 2;
        b.settings.binY = 2;
        b.settings.rotate180 = rotate180;
        b.settings.subX = rotate180 ? 100 : 880;
        b.settings.subY = rotate180 ? 50 : 740;
        b.settings.subWidth = 20;
        b.settings.subHeight = 10;
        b.cycle.Snapshot();
        b.Advance(2000);
        ASSERT_EQ(b.host.frames.size(), 1u);
        (rotate180 ? delivered : turned) = b.host.frames[0].pixels;
    }
    ASSERT_EQ(delivered.size(), 50u);
    std::vector<uint16_t> backwards(delivered.rbegin(), delivered.rend());
    EXPECT_EQ(turned, backwards);
    EXPECT_NE(delivered, backwards) << "a symmetric frame would prove nothing";
}

TEST(ExposureCycle, ApplyKeepsTheRulesTheCycleReliesOn) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    ExposureSettings edited = b.settings;
    edited.exposure = 0.0f;
    edited.prechargeMode = 0;
    edited.fifo = true;
    edited.binX = 12;
    edited.dark = true;
    b.sim.ClearCallLog();
    b.cycle.ApplyExposureSettings(edited);
    EXPECT_FLOAT_EQ(b.settings.exposure, 0.001f);
    EXPECT_FALSE(b.settings.fifo);
    EXPECT_EQ(b.settings.binX, 8);
    EXPECT_TRUE(b.cycle.SettingsChanged());
    EXPECT_EQ(b.sim.CallCount("ZorvaneSetDarkMode"), 1);
    b.cycle.ApplyExposureSettings(b.settings);
    EXPECT_EQ(b.sim.CallCount("ZorvaneSetDarkMode"), 1) << "only a change of dark goes out";
    edited = b.settings;
    edited.exposure = 0.000999f;
    b.cycle.ApplyExposureSettings(edited);
    EXPECT_FLOAT_EQ(b.settings.exposure, 0.000999f);
}

TEST(ExposureCycle, AutoExposureScalesTheLastExposureAndRoundsDown) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    b.settings.autoExposure = true;
    b.settings.exposure = 0.0123f;
    b.cycle.Snapshot();
    b.Advance(1000);
    ASSERT_EQ(b.host.frames.size(), 1u);
    ASSERT_FLOAT_EQ(b.lib.ZorvaneLastExposureDuration(b.camera.handle), 0.0123f);

    b.cycle.AutoExposureAdjust(0, 10000);  // far too dark: double
    EXPECT_FLOAT_EQ(b.settings.exposure, 0.024f);
    b.cycle.AutoExposureAdjust(0, 50000);  // too bright: × 0.8
    EXPECT_FLOAT_EQ(b.settings.exposure, 0.009f);
    b.cycle.AutoExposureAdjust(0, 40000);  // on target: the last exposure again, rounded
    EXPECT_FLOAT_EQ(b.settings.exposure, 0.012f);
    b.cycle.AutoExposureAdjust(0, 44000);  // within 10 %
    EXPECT_FLOAT_EQ(b.settings.exposure, 0.012f);
    EXPECT_EQ(b.host.autoExposures.size(), 4u);

    b.settings.autoExposure = false;
    b.cycle.AutoExposureAdjust(0, 10000);
    EXPECT_EQ(b.host.autoExposures.size(), 4u);
}

TEST(ExposureCycle, LongExposuresClearTheRegistersEvery512Polls) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    b.settings.exposure = 30.0f;
    b.cycle.Snapshot();
    b.Advance(511);
    EXPECT_EQ(b.sim.CallCount("ZorvaneClearVRegs"), 0);
    b.Advance(1);
    EXPECT_EQ(b.sim.CallCount("ZorvaneClearVRegs"), 1);
    b.Advance(512 * 3);
    EXPECT_EQ(b.sim.CallCount("ZorvaneClearVRegs"), 4);
    // The last 15 s are left alone.
    b.Advance(14 * 1000);
    const int clears = b.sim.CallCount("ZorvaneClearVRegs");
    b.Advance(8 * 512);
    EXPECT_EQ(b.sim.CallCount("ZorvaneClearVRegs"), clears);
}

TEST(ExposureCycle, TheSystemIsKeptAwakeFromTheFirstExposureToTheLastFrame) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    b.settings.exposure = 0.5f;
    b.cycle.Snapshot();
    EXPECT_EQ(b.host.awakeCalls, std::vector<bool>{true});
    b.Advance(2000);
    ASSERT_EQ(b.host.frames.size(), 1u);
    EXPECT_EQ(b.host.awakeCalls, (std::vector<bool>{true, false}));

    // A loop holds it across its frames and delays, and lets go when switched off.
    b.host.awakeCalls.clear();
    b.settings.delay = 1.0f;
    b.cycle.ToggleLoop();
    b.Advance(5000);
    EXPECT_GE(b.host.frames.size(), 3u);
    EXPECT_EQ(b.host.awakeCalls, std::vector<bool>{true});
    b.cycle.ToggleLoop();
    EXPECT_EQ(b.host.awakeCalls, (std::vector<bool>{true, false}));
}

// Regression: once one frame was left in the camera, every later exposure "ended" at once with
// the frame before it, saved under the new number.
TEST(ExposureCycle, AFrameLeftInTheCameraIsNeverHandedOverAsTheNextOne) {
    // Also with a library that never lowers its ready flag.
    for (const char* faults : {"", ";faults=sticky_ready"}) {
        CycleBench b(std::string(kFast) + faults);
        ASSERT_TRUE(b.connected);
        b.host.autosave = true;
        // A single exposure aborted after the camera finished it but before it was collected.
        b.settings.exposure = 0.2f;
        b.cycle.Snapshot();
        ASSERT_TRUE(b.loop.RunUntil(
            [&] { return b.lib.ZorvaneCameraState(b.camera.handle) == ZORVANE_STATE_DOWNLOADING; },
            1000));
        b.loop.KillTimer(kTimerPoll);  // the poll has not seen it yet
        b.Advance(1000);
        ASSERT_TRUE(b.lib.ZorvaneImageReady(b.camera.handle));
        b.cycle.Snapshot();  // aborts: the finished frame stays in the camera
        ASSERT_FALSE(b.cycle.Exposing());

        for (float seconds : {1.0f, 2.0f}) {
            b.settings.exposure = seconds;
            b.cycle.Snapshot();
            b.Advance(10);
            EXPECT_TRUE(b.cycle.Exposing()) << seconds << " s ended after 10 ms" << faults;
            b.Advance(4000);
            EXPECT_FALSE(b.cycle.Exposing()) << faults;
        }
        ASSERT_EQ(b.host.frames.size(), 2u);
        EXPECT_EQ(b.host.autosaves, 2);
        EXPECT_FLOAT_EQ(b.lib.ZorvaneLastExposureDuration(b.camera.handle), 2.0f);
    }
}

// Regression: a subframe narrower than the binning gave 0 x 0 frames that restarted the camera
// a thousand times a second, saying nothing.
TEST(ExposureCycle, SettingsThatGiveAnEmptyFrameAreRefusedBeforeTheStart) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    b.settings.binX = 4;
    b.settings.subWidth = 3;
    b.settings.subHeight = 3;
    b.cycle.ToggleLoop();
    b.Advance(1000);
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), 0);
    EXPECT_FALSE(b.cycle.Looping());
    EXPECT_EQ(b.host.priority, 0);
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text, ExposureCycle::kEmptyFrameText);
    EXPECT_EQ(b.prompts.messages[0].caption, "Zorvane Capture");
    // Subsampling doubles the step: 6 pixels at binning 4 still give nothing.
    b.settings.subWidth = b.settings.subHeight = 6;
    b.settings.subSample = true;
    EXPECT_FALSE(b.cycle.SettingsGiveAFrame());
    b.settings.subSample = false;
    EXPECT_TRUE(b.cycle.SettingsGiveAFrame());
}

// Regression: the loop switched on during a long snapshot aborted it.
TEST(ExposureCycle, LoopSwitchedOnDuringASnapshotGoesOnFromItsFrame) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    b.settings.exposure = 60.0f;
    b.cycle.Snapshot();
    b.Advance(30000);
    b.sim.ClearCallLog();
    b.cycle.ToggleLoop();
    b.Advance(100);
    EXPECT_TRUE(b.cycle.Exposing());
    EXPECT_EQ(b.sim.CallCount("ZorvaneAbortExposure"), 0);
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), 0);
    EXPECT_EQ(b.sim.CallCount("ZorvaneBin"), 0) << "no settings in the middle of the exposure";
    b.Advance(31000);
    ASSERT_EQ(b.host.frames.size(), 1u);
    EXPECT_FLOAT_EQ(b.lib.ZorvaneLastExposureDuration(b.camera.handle), 60.0f);
    EXPECT_TRUE(b.cycle.Looping());
    EXPECT_TRUE(b.cycle.Exposing()) << "the loop's next exposure runs";
    EXPECT_EQ(b.sim.CallCount("ZorvaneBin"), 1);
}

// Regression: a camera that dropped left the poll asking for a frame forever.
TEST(ExposureCycle, ACameraThatDropsEndsTheLoopAndTheUserIsTold) {
    CycleBench b(std::string(kFast) + ";faults=disconnect;disconnect_after=2");
    ASSERT_TRUE(b.connected);
    b.settings.exposure = 0.5f;
    b.cycle.ToggleLoop();
    b.Advance(5000);
    EXPECT_EQ(b.host.frames.size(), 2u);
    EXPECT_FALSE(b.cycle.Looping());
    EXPECT_FALSE(b.cycle.Exposing());
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerPoll));
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerLoopNext));
    EXPECT_EQ(b.host.priority, 0);
    EXPECT_EQ(b.host.awakeCalls.back(), false);
    EXPECT_EQ(b.prompts.beeps, std::vector<BeepKind>{BeepKind::Exclamation});
    EXPECT_TRUE(b.cycle.ResumesAfterReconnect());

    // A high-speed loop, which waits for the library's messages, notices it as well.
    CycleBench fast(std::string(kFast) + ";faults=disconnect;disconnect_after=5");
    ASSERT_TRUE(fast.connected);
    fast.settings.preview = true;
    fast.settings.exposure = 0.02f;
    fast.cycle.ToggleLoop();
    ASSERT_TRUE(fast.cycle.HighSpeed());
    fast.Advance(1000);
    EXPECT_EQ(fast.host.frames.size(), 5u);
    EXPECT_FALSE(fast.cycle.Looping());
    EXPECT_FALSE(fast.cycle.HighSpeed());
    EXPECT_EQ(fast.prompts.messages.size(), 1u);
}

TEST(ExposureCycle, HighSpeedLoopRunsOnPostedMessagesWithoutPolling) {
    CycleBench b(std::string(kFast) + ";download_mpx_s=1000");
    ASSERT_TRUE(b.connected);
    b.settings.preview = true;
    b.settings.exposure = 0.02f;
    b.cycle.ToggleLoop();
    EXPECT_TRUE(b.cycle.HighSpeed());
    b.loop.ResetCounts();
    b.Advance(1000);
    EXPECT_GE(b.host.frames.size(), 20u);
    EXPECT_EQ(b.loop.FireCount(kTimerPoll), 1) << "only to see that the camera is still there";
    EXPECT_TRUE(b.host.frames.back().preview);
    b.cycle.ToggleLoop();
    const size_t n = b.host.frames.size();
    b.Advance(1000);
    EXPECT_EQ(b.host.frames.size(), n);
}

TEST(ExposureCycle, NullBufferSkipsTheFrameAndTheLoopGoesOn) {
    CycleBench b(std::string(kFast) + ";faults=nullbuffer");
    ASSERT_TRUE(b.connected);
    b.host.autosave = true;
    b.settings.exposure = 0.05f;
    b.settings.delay = 0.1f;
    b.cycle.ToggleLoop();
    b.Advance(1000);
    EXPECT_TRUE(b.host.frames.empty());
    EXPECT_EQ(b.host.autosaves, 0);
    EXPECT_GE(b.sim.CallCount("ZorvaneStartExposure"), 3);
}

// Regression: a null image buffer grew the frame copy first, so the next save paired
// uninitialised pixels with the previous frame's geometry. Two frames are handed over first, so
// that the download buffer is the array the first one was shown in.
TEST(ExposureCycle, ANullBufferKeepsThePreviousFrameWhole) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    b.settings.rotate180 = true;
    b.settings.subWidth = b.settings.subHeight = 100;
    b.cycle.Snapshot();
    b.Advance(1000);
    b.cycle.Snapshot();
    b.Advance(1000);
    ASSERT_EQ(b.host.frames.size(), 2u);
    const std::vector<uint16_t> kept = b.host.frames[1].pixels;

    b.sim.Configure(std::string(kFast) + ";faults=nullbuffer");
    ASSERT_TRUE(b.Connect());
    b.settings.subWidth = b.camera.properties.pixelsX;
    b.settings.subHeight = b.camera.properties.pixelsY;
    b.cycle.Snapshot();
    b.Advance(1000);
    EXPECT_EQ(b.host.frames.size(), 2u);
    EXPECT_EQ(b.cycle.Geometry().width, 100);
    EXPECT_EQ(b.cycle.Geometry().height, 100);
    ASSERT_NE(b.host.held, nullptr);
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), b.host.held.get()));
}

// The 0 x 0 frame a camera delivers anyway stops the loop with a message: no spinning.
TEST(ExposureCycle, AnUnusableFrameStopsTheLoopWithAMessage) {
    CycleBench b(kFast);
    ASSERT_TRUE(b.connected);
    b.settings.exposure = 0.05f;
    b.cycle.ToggleLoop();
    b.Advance(1);
    // The camera is told a subframe the cycle would refuse, behind its back.
    b.lib.ZorvaneSubframeSize(b.camera.handle, 3, 3);
    b.lib.ZorvaneBin(b.camera.handle, 4, 4);
    b.cycle.Snapshot();  // aborts; the loop resumes with the camera's settings
    b.Advance(3000);
    EXPECT_FALSE(b.cycle.Looping());
    EXPECT_LE(b.sim.CallCount("ZorvaneStartExposure"), 4);
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text, ExposureCycle::kUnusableFrameText);
    EXPECT_TRUE(b.host.frames.empty());
}

TEST(ExposureCycle, NonsenseGeometryFromTheLibraryIsNeverCopied) {
    CameraLibrary lib({test::FixtureDir("absurd")});
    test::ScriptedPrompts prompts;
    test::VirtualEventLoop loop;
    CameraConnection camera;
    ExposureSettings settings;
    RecordingHost host;
    CameraOwner owner;
    ExposureCycle cycle(lib, camera, settings, loop, loop, prompts, host, owner);
    const int device = lib.ChooseCamera(prompts);
    ASSERT_GE(device, 0);
    OpenCamera(lib, device, true, CoolingDiscoveryOrder::CoolingFirst, camera);
    ASSERT_NE(camera.handle, nullptr);
    loop.SetTimerHandler([&](int id) { cycle.OnTimer(id); });
    cycle.Snapshot();
    loop.Advance(50);
    EXPECT_FALSE(cycle.DownloadFrame());
    cycle.EndShot();
    EXPECT_TRUE(host.frames.empty());
    lib.ZorvaneDisconnect(camera.handle);
    camera.handle = nullptr;
}

}  // namespace
}  // namespace zorvane
