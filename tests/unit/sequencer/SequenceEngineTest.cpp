#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "core/CommandIds.h"
#include "core/TimerIds.h"
#include "sequencer/SequenceEngine.h"
#include "support/AppBench.h"

namespace zorvane {
namespace {

using test::AppBench;
using test::WriteText;

constexpr const char* kFast = "flush_ms=0;wait_ms=0;download_mpx_s=100;size=320x240";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The value text of a FITS header card, or "<none>".
std::string HeaderValue(const std::string& path, const std::string& keyword) {
    const std::string text = ReadAll(path);
    std::string key = keyword;
    key.resize(8, ' ');
    for (size_t at = 0; at + 80 <= text.size() && at < 2880; at += 80) {
        if (text.compare(at, 8, key) != 0) continue;
        std::string value = text.substr(at + 20, 60);
        value.erase(value.find_last_not_of(' ') + 1);
        value.erase(0, value.find_first_not_of(' '));
        return value;
    }
    return "<none>";
}

// A wheel that answers on the next turn of the event loop, or, while `hold` is set, only when
// the test lets its move end.
struct WheelDouble : FilterWheelControl {
    explicit WheelDouble(test::VirtualEventLoop& l) : loop(l) {}
    test::VirtualEventLoop& loop;
    int count = 5;
    bool arrives = true;
    bool inUse = true;
    bool connected = true;
    bool comesBack = true;  // a quiet connect finds it
    bool hold = false;
    std::function<void()> held;
    std::vector<std::string> calls;
    void ConnectQuietly(std::function<void(bool)> done) override {
        calls.push_back("connect");
        loop.Post([this, done] { done(connected = comesBack); });
    }
    bool IsConnected() override { return connected; }
    bool InUse() override { return inUse; }
    int GetPositionCount() override { return count; }
    bool SetPosition(int p) override {
        calls.push_back("set " + std::to_string(p));
        return true;
    }
    void MoveAndWait(int p, std::function<void(bool)> done) override {
        calls.push_back("wait " + std::to_string(p));
        auto end = [this, done] { done(arrives); };
        if (hold)
            held = end;
        else
            loop.Post(end);
    }
};

// A started application on the simulated camera saving under <tmp>/m.fit, with the steps the
// sequencer takes recorded as (line, repeat), both counted from 1, and the camera calls each
// step's start made.
struct SequencerBench : AppBench {
    std::vector<std::pair<int, int>> steps;
    std::vector<std::string> startCalls;

    explicit SequencerBench(const std::string& moreOptions = "")
        : AppBench(std::string(kFast) + ";" + moreOptions) {
        Start();
        app->Saver().Settings().savePath = dir / "m.fit";
        loop.SetTimerHandler([this](int id) {
            if (id != kTimerSeqStart) return app->OnTimer(id);
            steps.emplace_back(Seq().Line() + 1, Seq().Repeat() + 1);
            sim.ClearCallLog();
            app->OnTimer(id);
            startCalls.push_back(sim.CallLog());
        });
    }
    SequenceModel& Model() { return app->Sequence(); }
    SequenceEngine& Seq() { return app->Sequencer(); }
    void Line(int n, const char* exposure, int binning, int filter, const char* suffix,
              std::string command = {}) {
        Model().lines[n - 1] = {true, exposure, binning, filter, suffix, std::move(command)};
    }
    bool RunToEnd(uint64_t limitMs = 120000) {
        return loop.RunUntil([this] { return !Seq().Running(); }, limitMs);
    }
    // Virtual time goes on while a real child process gets real time to end.
    bool RunWhileCommandRuns(const std::function<bool()>& done) {
        for (int i = 0; i < 5000 && !done(); ++i) {
            loop.Advance(20);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : prompts.messages) texts.push_back(m.text);
        return texts;
    }
};

TEST(SequenceEngine, BothRepeatModesTakeTheirStepsWithEachLinesSettings) {
    using Steps = std::vector<std::pair<int, int>>;
    for (const RepeatMode mode : {RepeatMode::Lines, RepeatMode::Sequence}) {
        SCOPED_TRACE(static_cast<int>(mode));
        SequencerBench b;
        b.Line(1, "0.5", 1, 2, "R");
        b.Line(3, "3", 0, 4, "B");
        b.Model().repeat = 2;
        b.Model().repeatMode = static_cast<int>(mode);
        b.app->Saver().Settings().sequenceNumber = 7;
        b.Seq().StartStopSequence();
        EXPECT_TRUE(b.Seq().Running());
        EXPECT_EQ(b.Seq().StatusText(), "Line 1, Repeat 1");
        EXPECT_EQ(b.Seq().RunButtonText(), "Stop");
        EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_SNAPSHOT).enabled);
        ASSERT_TRUE(b.RunToEnd());

        const Steps expected = mode == RepeatMode::Lines ? Steps{{1, 1}, {1, 2}, {3, 1}, {3, 2}}
                                                         : Steps{{1, 1}, {3, 1}, {1, 2}, {3, 2}};
        EXPECT_EQ(b.steps, expected);
        EXPECT_EQ(b.MessageTexts(), std::vector<std::string>{"Sequence complete."});
        EXPECT_EQ(b.prompts.messages[0].caption, "Sequencer");
        EXPECT_EQ(b.app->Saver().Settings().sequenceNumber, 9) << "7 + the repeat count";
        EXPECT_EQ(b.Seq().StatusText(), "");
        EXPECT_EQ(b.Seq().RunButtonText(), "Run");
        EXPECT_FALSE(b.app->Cycle().Exposing());

        // Each line's binning and exposure went to the camera; the amplifier is switched off
        // only for the exposure over 2.5 s.
        ASSERT_EQ(b.startCalls.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            const std::string& calls = b.startCalls[i];
            const bool first = b.steps[i].first == 1;
            EXPECT_NE(calls.find(first ? "ZorvaneBin(2,2)\nZorvaneSetAmplifierSwitched(0)"
                                       : "ZorvaneBin(1,1)\nZorvaneSetAmplifierSwitched(1)"),
                      std::string::npos)
                << calls;
            EXPECT_NE(calls.find(first ? "ZorvaneStartExposure(0.5)" : "ZorvaneStartExposure(3)"),
                      std::string::npos);
        }

        // Named by sequence number + repeat index and the line's suffix, with its filter.
        for (const auto& [name, filter, width] : {std::tuple{"m_007R.fit", "'Position 2'", "160"},
                                                  {"m_008R.fit", "'Position 2'", "160"},
                                                  {"m_007B.fit", "'Position 4'", "320"},
                                                  {"m_008B.fit", "'Position 4'", "320"}}) {
            SCOPED_TRACE(name);
            EXPECT_EQ(HeaderValue(b.dir / name, "FILTER"), filter);
            EXPECT_EQ(HeaderValue(b.dir / name, "NAXIS1"), width);
        }
        EXPECT_EQ(b.app->LastSavedName(), b.dir / "m_008B.fit");
    }
}

TEST(SequenceEngine, TheCommandRunsOnTheSavedFileAndTheSequenceWaitsForIt) {
    SequencerBench b;
    // A folder name that a shell would split and act on, unless the path is quoted.
    const std::string night = b.dir / "my night; touch hacked";
    std::filesystem::create_directory(night);
    b.app->Saver().Settings().savePath = night + "/m31.fit";
    b.app->Saver().Settings().sequenceNumber = 10;
    const std::string out = b.dir / "out.txt", go = b.dir / "go";
    b.Line(2, "1", 0, 1, "R",
           "test -f \"$FILE\" && echo $FILE $SEQ $LOOP $LINE >> " + out + "; while [ ! -f " + go +
               " ]; do sleep 0.01; done");
    b.Model().repeat = 3;
    b.Seq().StartStopSequence();

    ASSERT_TRUE(b.loop.RunUntil([&] { return b.Seq().WaitingForCommand(); }, 10000));
    const int started = b.sim.CallCount("ZorvaneStartExposure");
    // However long the command takes, the sequence does not step on.
    ASSERT_TRUE(b.RunWhileCommandRuns([&] { return std::filesystem::exists(out); }));
    b.loop.Advance(60000);
    EXPECT_TRUE(b.Seq().WaitingForCommand());
    EXPECT_EQ(b.Seq().StatusText(), "Line 2, Repeat 1");
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), started);
    EXPECT_TRUE(b.app->Cycle().Exposing());

    WriteText(go, "");
    ASSERT_TRUE(b.RunWhileCommandRuns([&] { return !b.Seq().Running(); }));
    EXPECT_EQ(ReadAll(out), night + "/m31_010R.fit 10 1 2\n" + night + "/m31_011R.fit 11 2 2\n" +
                                night + "/m31_012R.fit 12 3 2\n");
    EXPECT_FALSE(std::filesystem::exists(b.dir / "hacked"));
    EXPECT_FALSE(b.app->Cycle().Exposing());
}

TEST(SequenceEngine, NothingToDoStartsNothingAndZeroDelaysStillGoThroughTheTimer) {
    SequencerBench b;
    b.Seq().StartStopSequence();  // no enabled line
    EXPECT_FALSE(b.Seq().Running());
    b.Line(4, "0.01", 0, 1, "");
    for (const int mode : {0, 1}) {
        b.Model().repeatMode = mode;
        b.Model().repeat = 0;
        b.Seq().StartStopSequence();
        EXPECT_FALSE(b.Seq().Running()) << mode;
    }
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerSeqStart));
    EXPECT_TRUE(b.prompts.messages.empty());

    b.Model().repeat = 2;
    b.Seq().StartStopSequence();
    ASSERT_TRUE(b.Seq().Running());
    EXPECT_EQ(b.Seq().StatusText(), "Line 4, Repeat 1");
    b.loop.DrainPosted();  // the wheel looked for, which is not there
    EXPECT_EQ(b.loop.RequestedPeriod(kTimerSeqStart), 1);
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), 0) << "not before the timer fires";
    ASSERT_TRUE(b.loop.RunUntil([&] { return b.steps.size() == 2; }, 5000));
    EXPECT_EQ(b.loop.FireCount(kTimerSeqStart), 2);
    ASSERT_TRUE(b.RunToEnd());
}

TEST(SequenceEngine, StopAbortsAndShiftStopEndsEarlyAndEitherWayNothingMoreIsSaved) {
    for (const bool shift : {false, true}) {
        SCOPED_TRACE(shift);
        SequencerBench b;
        b.Line(1, "30", 0, 1, "");
        b.Model().repeat = 3;
        b.Seq().StartStopSequence();
        ASSERT_TRUE(b.loop.RunUntil([&] { return b.loop.IsTimerSet(kTimerSeqPoll); }, 1000));
        b.loop.Advance(2000);
        // A long exposure's registers are cleared every 512 poll ticks, as in any exposure.
        EXPECT_GE(b.sim.CallCount("ZorvaneClearVRegs"), 3);
        b.prompts.shiftHeld = shift;
        b.Seq().StartStopSequence();
        EXPECT_FALSE(b.Seq().Running());
        EXPECT_FALSE(b.app->Cycle().Exposing());
        EXPECT_EQ(b.sim.CallCount("ZorvaneAbortExposure"), shift ? 0 : 1);
        EXPECT_EQ(b.sim.CallCount("ZorvaneStopExposure"), shift ? 1 : 0);
        for (int id : {kTimerSeqStart, kTimerSeqPoll, kTimerSeqCommand})
            EXPECT_FALSE(b.loop.IsTimerSet(id));
        b.loop.Advance(30000);
        EXPECT_EQ(b.sim.CallCount("ZorvaneImageBuffer"), 0);
        EXPECT_FALSE(std::filesystem::exists(b.dir / "m_000.fit"));
        EXPECT_TRUE(b.prompts.messages.empty());
        EXPECT_TRUE(b.app->GetCommandUi(ids::ID_CAMERA_SNAPSHOT).enabled);
    }
}

TEST(SequenceEngine, AFailedSaveStopsTheSequenceWithItsMessage) {
    SequencerBench b;
    b.app->Saver().Settings().savePath = b.dir / "missing/m.fit";
    b.Line(1, "0.1", 0, 1, "", "touch " + (b.dir / "ran"));
    b.Model().repeat = 5;
    b.Seq().StartStopSequence();
    ASSERT_TRUE(b.RunToEnd(10000));
    EXPECT_EQ(b.MessageTexts(), std::vector<std::string>{"Failed to write file '" +
                                                         (b.dir / "missing/m_000.fit") + "'"});
    EXPECT_EQ(b.prompts.messages[0].caption, "Sequencer");
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), 1);
    EXPECT_FALSE(b.Seq().WaitingForCommand());
    EXPECT_FALSE(b.app->Cycle().Exposing());
}

TEST(SequenceEngine, TheWheelMovesBeforeEachLineAndAWheelThatNeverArrivesEndsTheSequence) {
    SequencerBench b;
    WheelDouble wheel{b.loop};
    b.Seq().SetFilterWheel(&wheel);
    b.Line(1, "0.1", 0, 3, "a");
    b.Line(2, "0.1", 0, 1, "b");
    b.Seq().StartStopSequence();
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(wheel.calls, (std::vector<std::string>{"set 2", "wait 2", "set 0", "wait 0"}));
    EXPECT_EQ(HeaderValue(b.dir / "m_000a.fit", "FILTER"), "'Position 3'");
    EXPECT_EQ(HeaderValue(b.dir / "m_000b.fit", "FILTER"), "'Position 1'");

    const std::string terminating = "Failed to position filter wheel: sequence terminating";
    b.prompts.messages.clear();
    wheel.arrives = false;
    b.sim.ClearCallLog();
    b.Seq().StartStopSequence();
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(b.MessageTexts(), std::vector<std::string>{terminating});
    EXPECT_EQ(b.prompts.messages[0].caption, "Sequencer");
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), 0);

    // A filter the wheel does not have is refused before anything moves.
    b.prompts.messages.clear();
    wheel.calls.clear();
    wheel.arrives = true;
    wheel.count = 2;
    b.Seq().StartStopSequence();
    EXPECT_FALSE(b.Seq().Running());
    EXPECT_EQ(b.MessageTexts(), std::vector<std::string>{terminating});
    EXPECT_TRUE(wheel.calls.empty());
    EXPECT_EQ(b.Model().lines[0].filter, 3) << "the user's filter is kept";
    EXPECT_EQ(b.Model().FilterPositions(), 2);
}

TEST(SequenceEngine, RunChecksAWheelInUseAndStopsWhenItCannotBeReached) {
    SequencerBench b;
    WheelDouble wheel{b.loop};
    b.Seq().SetFilterWheel(&wheel);
    b.Line(1, "0.1", 0, 2, "a");
    // Connected and in use: checked, not connected again (which would cycle the device).
    b.Seq().StartStopSequence();
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(wheel.calls, (std::vector<std::string>{"set 1", "wait 1"}));

    // In use, its server gone, and it does not come back: no frame through an unmoved filter.
    b.prompts.messages.clear();
    wheel.calls.clear();
    wheel.connected = wheel.comesBack = false;
    b.sim.ClearCallLog();
    b.Seq().StartStopSequence();
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(wheel.calls, std::vector<std::string>{"connect"});
    EXPECT_EQ(b.MessageTexts(),
              std::vector<std::string>{"Failed to position filter wheel: sequence terminating"});
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), 0);

    // A wheel the program does not use and cannot find: the lines run without filter moves.
    b.prompts.messages.clear();
    wheel.calls.clear();
    wheel.inUse = false;
    b.Seq().StartStopSequence();
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(wheel.calls, std::vector<std::string>{"connect"});
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), 1);
}

// The window goes on while the wheel moves; Stop then ends the sequence, and the move's end
// starts no exposure.
TEST(SequenceEngine, StopWhileTheWheelMovesTakesNoFrame) {
    SequencerBench b;
    WheelDouble wheel{b.loop};
    b.Seq().SetFilterWheel(&wheel);
    b.Line(1, "0.1", 0, 2, "a");
    wheel.hold = true;
    b.Seq().StartStopSequence();
    ASSERT_TRUE(b.loop.RunUntil([&] { return wheel.held != nullptr; }, 5000));
    b.loop.Advance(20000);
    EXPECT_TRUE(b.Seq().Running());
    EXPECT_EQ(b.Seq().RunButtonText(), "Stop");
    b.Seq().StartStopSequence();
    EXPECT_FALSE(b.Seq().Running());
    wheel.held();
    b.loop.Advance(2000);
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), 0);
    EXPECT_TRUE(b.prompts.messages.empty());
    EXPECT_FALSE(b.app->Owner().Holds(CameraActivity::Sequence));
}

TEST(SequenceEngine, FilterZeroIsTheFirstPositionAndEachFileNamesTheFilterItWasTakenThrough) {
    SequencerBench b;
    WheelDouble wheel{b.loop};
    b.Seq().SetFilterWheel(&wheel);
    b.Line(1, "1", 0, 0, "a");  // filter 0, as a line without a stored filter has
    b.Model().repeat = 2;
    b.Seq().StartStopSequence();
    ASSERT_TRUE(b.loop.RunUntil([&] { return b.loop.IsTimerSet(kTimerSeqPoll); }, 1000));
    // Edited during the exposure: the next frame goes through position 3; this one does not.
    b.Model().lines[0].filter = 3;
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(b.MessageTexts(), std::vector<std::string>{"Sequence complete."});
    EXPECT_EQ(wheel.calls, (std::vector<std::string>{"set 0", "wait 0", "set 2", "wait 2"}));
    EXPECT_EQ(HeaderValue(b.dir / "m_000a.fit", "FILTER"), "'Position 1'");
    EXPECT_EQ(HeaderValue(b.dir / "m_001a.fit", "FILTER"), "'Position 3'");
}

TEST(SequenceEngine, AnEmptyFrameIsRefusedAtRunAndFramesNotSavedAreCounted) {
    SequencerBench b;
    b.Line(1, "0.1", 0, 1, "a");
    b.Line(2, "0.1", 3, 1, "b");  // 4x4 on a 3-pixel subframe leaves nothing
    b.Exposure().subWidth = 3;
    b.Seq().StartStopSequence();
    EXPECT_FALSE(b.Seq().Running());
    EXPECT_EQ(b.MessageTexts(),
              std::vector<std::string>{"Line 2: the subframe is smaller than the binning 4x4, so "
                                       "the frame would be empty.\nChoose a larger subframe or a "
                                       "smaller binning."});
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), 0);

    // A camera that gives no frames: the sequence goes through its steps and then says so.
    b.prompts.messages.clear();
    b.Exposure().subWidth = b.SensorWidth();
    b.sim.Configure(std::string(kFast) + ";faults=nullbuffer");
    b.app->ConnectOrDisconnect();
    ASSERT_TRUE(b.app->IsConnected());
    b.Model().repeat = 2;
    b.Seq().StartStopSequence();
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(b.MessageTexts(),
              std::vector<std::string>{"Sequence ended: 0 of 4 frames were saved.\nThe camera "
                                       "gave no frame for the others."});
    EXPECT_EQ(b.prompts.messages[0].caption, "Sequencer");
}

// Regression: Snapshot during a sequence's exposure aborted it and the sequence waited for a frame
// that never came; a preset during a sequence changed the settings of its frames.
TEST(SequenceEngine, ASequenceAndOrdinaryExposuresNeverShareTheCamera) {
    SequencerBench b;
    b.Line(1, "2", 0, 1, "");
    b.Model().repeat = 2;
    EXPECT_TRUE(b.app->SequencerRunEnabled());
    b.app->ToggleLoop();
    EXPECT_FALSE(b.app->SequencerRunEnabled());
    EXPECT_FALSE(b.ui.sequencerRunEnabled);
    b.Seq().StartStopSequence();
    EXPECT_FALSE(b.Seq().Running()) << "not over a running loop";
    EXPECT_EQ(b.MessageTexts(),
              std::vector<std::string>{"Cannot start a sequence while camera is imaging."});
    b.app->ToggleLoop();
    EXPECT_TRUE(b.ui.sequencerRunEnabled);

    b.prompts.messages.clear();
    b.Seq().StartStopSequence();
    EXPECT_TRUE(b.app->SequencerRunEnabled()) << "reads Stop";
    ASSERT_TRUE(b.loop.RunUntil([&] { return b.app->Cycle().Exposing(); }, 1000));
    for (const int id : {ids::ID_CAMERA_SNAPSHOT, ids::ID_CAMERA_LOOP, ids::QuickPresetCommand(6)})
        EXPECT_FALSE(b.app->GetCommandUi(id).enabled) << id;
    // Arriving all the same (a shortcut, a preset key), each is refused and changes nothing.
    b.app->ExecuteCommand(ids::ID_CAMERA_SNAPSHOT);
    b.app->ExecuteCommand(ids::ID_CAMERA_LOOP);
    b.settings->ApplyQuickPreset(6);  // "2x2 1s", a single exposure
    const std::string refused =
        "Cannot take exposures while a sequence is running.\nStop the sequence first.";
    ASSERT_EQ(b.MessageTexts(), std::vector<std::string>(3, refused));
    EXPECT_EQ(b.prompts.messages[0].caption, "Zorvane Capture");
    EXPECT_EQ(b.app->Exposure().binX, 1);
    EXPECT_EQ(b.sim.CallCount("ZorvaneAbortExposure"), 0);
    ASSERT_TRUE(b.RunToEnd(20000));
    EXPECT_EQ(b.prompts.messages.back().text, "Sequence complete.");
    EXPECT_FALSE(b.app->Cycle().Looping());
    EXPECT_TRUE(b.app->GetCommandUi(ids::ID_CAMERA_LOOP).enabled);
}

// Regression: a camera lost during a sequence left it waiting for its frame all night, unsaid.
TEST(SequenceEngine, ALostCameraEndsTheSequenceSayingWhereAndTheFilesBeforeStayWhole) {
    SequencerBench b("faults=disconnect;disconnect_after=3");
    b.Line(1, "1", 0, 1, "a");
    b.Line(2, "1", 0, 1, "b");
    b.Model().repeat = 3;
    b.Model().repeatMode = static_cast<int>(RepeatMode::Sequence);
    b.Seq().StartStopSequence();
    // The fourth frame (line 2, repeat 2) never comes: the camera drops during its exposure.
    ASSERT_TRUE(b.loop.RunUntil([&] { return !b.app->IsConnected(); }, 20000));
    EXPECT_TRUE(b.loop.RunUntil([&] { return !b.Seq().Running(); }, 2))
        << "noticed at the next poll, as the loop does";
    ASSERT_EQ(b.MessageTexts(),
              std::vector<std::string>{"Lost connection to Camera\nThe sequence stopped at line 2, "
                                       "repeat 2; the files saved before it are complete.\nUse "
                                       "Connect to reconnect."});
    EXPECT_EQ(b.prompts.messages[0].caption, "Sequencer");
    EXPECT_EQ(b.prompts.beeps.size(), 1u);
    EXPECT_FALSE(b.app->Cycle().Exposing());
    EXPECT_EQ(b.Seq().StatusText(), "");
    const auto size = std::filesystem::file_size(b.dir / "m_000a.fit");
    EXPECT_EQ(size % 2880, 0u);
    for (const char* name : {"m_000a.fit", "m_000b.fit", "m_001a.fit"}) {
        EXPECT_EQ(std::filesystem::file_size(b.dir / name), size) << name;
        EXPECT_EQ(HeaderValue(b.dir / name, "NAXIS2"), "240") << name;
    }
    EXPECT_FALSE(std::filesystem::exists(b.dir / "m_001b.fit"));
    b.loop.Advance(60000);
    EXPECT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_TRUE(b.app->SequencerRunEnabled()) << "the camera is free again";
}

TEST(SequenceEngine, ProgressCountsTheFramesAndTheTimeLeftFromExposuresDelaysAndHolds) {
    // A gate that expects to hold each frame still to come for 5 s.
    struct HoldingGate : SequenceGate {
        void Begin(StopHandler) override {}
        Answer BeforeExposure(int) override { return {}; }
        void ExposureStarted() override {}
        void ExposureEnded() override {}
        void FilterMoving() override {}
        void FilterArrived() override {}
        void End() override {}
        std::string WaitText() const override { return {}; }
        double ExpectedHoldSeconds(int, int framesLeft) const override { return 5.0 * framesLeft; }
    } gate;
    SequencerBench b;
    b.Seq().SetGate(&gate);
    b.Line(1, "2", 0, 1, "a");
    b.Model().repeat = 3;
    b.Model().delay = 10;
    EXPECT_EQ(b.Seq().ProgressText(), "");
    b.Seq().StartStopSequence();
    // 2 s now, then two frames of 2 s each after a delay of 10 s, and 3 holds of 5 s.
    EXPECT_EQ(b.Seq().ProgressText(), "Frame 1 of 3, about 41 s left");
    ASSERT_TRUE(b.loop.RunUntil([&] { return b.Seq().FramesTaken() == 1; }, 10000));
    EXPECT_EQ(b.Seq().ProgressText(), "Frame 2 of 3, about 24 s left");
    // Edits made while it runs count at once.
    b.Model().repeat = 300;
    b.Line(1, "60", 0, 1, "a");
    EXPECT_EQ(b.Seq().ProgressText(), "Frame 2 of 300, about 6 h 13 min left");
    b.Seq().StartStopSequence();
    b.Seq().SetGate(&b.app->SequenceGuiding());
}

}  // namespace
}  // namespace zorvane
