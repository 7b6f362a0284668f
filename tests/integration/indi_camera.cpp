// The INDI camera library, loaded as the program loads a camera library, against the INDI CCD
// simulator on a private server: the sensor's facts, an exposure through its states to a frame
// of the right size (posted from the client's thread), binning and subframe, abort, cooling,
// the camera's guide port, and a server killed mid-exposure, also in the middle of a sequence;
// in the program, a camera asked for that cannot be reached and a server killed under a loop.
#include <arpa/inet.h>
#include <fitsio.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "camera/CameraLibrary.h"
#include "indi/CameraChoice.h"
#include "indi/IndiClient.h"
#include "support/AppBench.h"
#include "support/FitsReadBack.h"
#include "support/IndiServer.h"

namespace zorvane {
namespace {

using test::IndiServer;

constexpr const char* kCcd = IndiServer::kCcdDevice;

// Waits, bounded, for `done`: the camera is asked as the program asks, every 20 ms.
template <typename F>
bool Within(int ms, F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

struct Posts {
    std::atomic<int> count{0};
    std::atomic<bool> fromOtherThread{false};
    std::thread::id main = std::this_thread::get_id();
    static void Post(void* self, uint32_t message, uintptr_t, intptr_t) {
        auto* p = static_cast<Posts*>(self);
        if (message == ZORVANE_MSG_FRAME_READY) p->count++;
        if (std::this_thread::get_id() != p->main) p->fromOtherThread = true;
    }
};

class IndiCameraTest : public ::testing::Test {
protected:
    void Open(IndiServer& server) {
        const std::string address = std::string(kCcd) + "@" + server.Address();
        setenv(indi::kCameraEnvironment, address.c_str(), 1);
        ASSERT_TRUE(lib.LoadLibrary(CameraLibrary::kIndiName));
        ASSERT_TRUE(lib.ZorvaneDeviceIsCamera(0));
        EXPECT_FALSE(lib.ZorvaneDeviceIsCamera(1));
        h = lib.ZorvaneConnect(0);
        ASSERT_NE(h, nullptr);
        ASSERT_TRUE(lib.ZorvaneIsConnected(h));
    }
    void TearDown() override {
        if (h) lib.ZorvaneDisconnect(h);
        lib.FreeLibrary();
        unsetenv(indi::kCameraEnvironment);
    }
    // Runs one exposure to its end; the states seen on the way.
    std::set<int32_t> Expose(float seconds) {
        std::set<int32_t> states;
        lib.ZorvaneStartExposure(h, seconds);
        Within(30000, [&] {
            states.insert(lib.ZorvaneCameraState(h));
            return lib.ZorvaneImageReady(h);
        });
        return states;
    }
    struct Geometry {
        int32_t x = -1, y = -1, w = -1, h = -1, bx = -1, by = -1;
    };
    Geometry Frame() {
        Geometry g;
        lib.ZorvaneGetImageData(h, &g.x, &g.y, &g.w, &g.h, &g.bx, &g.by);
        return g;
    }

    CameraLibrary lib;
    ZorvaneHandle h = nullptr;
};

TEST_F(IndiCameraTest, ExposesBinsAbortsCoolsAndGuidesOnTheSimulator) {
    IndiServer server({IndiServer::kCcdDriver}, {kCcd});
    ZORVANE_START_INDI_SERVER(server);
    Open(server);

    CameraProperties p{};
    lib.ZorvaneProperties(h, &p);
    EXPECT_EQ(p.pixelsX, 1280);
    EXPECT_EQ(p.pixelsY, 1024);
    EXPECT_NEAR(p.pixelSizeX, 5.2f, 1e-3f);
    EXPECT_NEAR(p.pixelSizeY, 5.2f, 1e-3f);
    EXPECT_STREQ(p.model, "CCD Simulator");
    EXPECT_EQ(std::string(p.manufacturer).rfind("INDI indi_simulator_ccd", 0), 0u);

    // A 1-s exposure: waiting, exposing (counting down), downloading, then a full frame,
    // announced from the client's listener thread.
    Posts posts;
    const ZorvanePostTarget target{&Posts::Post, &posts};
    lib.ZorvaneExposureReadyCallback(h, &target, ZORVANE_MSG_FRAME_READY, 0, 0);
    lib.ZorvaneStartExposure(h, 1.0f);
    EXPECT_EQ(lib.ZorvaneExposureTimeRemaining(h), 1.0f);
    ASSERT_TRUE(Within(5000, [&] { return lib.ZorvaneCameraState(h) == ZORVANE_STATE_EXPOSING; }));
    EXPECT_LE(lib.ZorvaneExposureTimeRemaining(h), 1.0f);
    std::set<int32_t> states;
    ASSERT_TRUE(Within(30000, [&] {
        states.insert(lib.ZorvaneCameraState(h));
        return lib.ZorvaneImageReady(h);
    }));
    EXPECT_EQ(lib.ZorvaneCameraState(h), ZORVANE_STATE_IDLE);
    EXPECT_EQ(posts.count, 1);
    EXPECT_TRUE(posts.fromOtherThread);
    Geometry g = Frame();
    EXPECT_EQ(g.x, 0);
    EXPECT_EQ(g.y, 0);
    EXPECT_EQ(g.w, 1280);
    EXPECT_EQ(g.h, 1024);
    EXPECT_EQ(g.bx, 1);
    const uint16_t* pixels = lib.ZorvaneImageBuffer(h);
    ASSERT_NE(pixels, nullptr);
    EXPECT_FALSE(lib.ZorvaneImageReady(h));
    EXPECT_EQ(lib.ZorvaneImageBuffer(h), pixels);  // the same frame until a newer one
    EXPECT_FLOAT_EQ(lib.ZorvaneLastExposureDuration(h), 1.0f);
    EXPECT_EQ(std::string(lib.ZorvaneLastStartTime(h)).size(), 19u);
    lib.ZorvaneExposureReadyCallback(h, nullptr, 0, 0, 0);

    // Binning 2 and a subframe: the origin in unbinned pixels, the size in binned ones.
    lib.ZorvaneBin(h, 2, 2);
    lib.ZorvaneSubframePos(h, 100, 200);
    lib.ZorvaneSubframeSize(h, 400, 300);
    // The camera shows Flushing until the server has the new frame settings; that can pass
    // before a loaded machine asks, so the frame's geometry below is what proves it.
    Expose(0.2f);
    ASSERT_TRUE(lib.ZorvaneImageReady(h));
    g = Frame();
    EXPECT_EQ(g.x, 100);
    EXPECT_EQ(g.y, 200);
    EXPECT_EQ(g.w, 200);
    EXPECT_EQ(g.h, 150);
    EXPECT_EQ(g.bx, 2);
    EXPECT_EQ(g.by, 2);
    ASSERT_NE(lib.ZorvaneImageBuffer(h), nullptr);

    // Abort: at once idle, no frame; the camera takes the next exposure as usual.
    lib.ZorvaneStartExposure(h, 10.0f);
    ASSERT_TRUE(Within(5000, [&] { return lib.ZorvaneCameraState(h) == ZORVANE_STATE_EXPOSING; }));
    lib.ZorvaneAbortExposure(h);
    EXPECT_EQ(lib.ZorvaneCameraState(h), ZORVANE_STATE_IDLE);
    EXPECT_FALSE(lib.ZorvaneImageReady(h));
    Expose(0.1f);
    EXPECT_TRUE(lib.ZorvaneImageReady(h));
    EXPECT_EQ(Frame().w, 200);

    // Cooling: a setpoint camera; a setpoint 5 degrees down moves the reading down.
    int32_t count = -1, t0 = 0, flags = 0, level, minLevel, maxLevel, setpoint;
    EXPECT_EQ(lib.ZorvaneTemperatureSensorInfo(h, 0, &count), 0);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(lib.ZorvaneTemperatureSensorInfo(h, 1, &t0), 0);
    ASSERT_EQ(lib.ZorvaneCoolingInfo(h, &flags, &level, &minLevel, &maxLevel, &setpoint), 0);
    EXPECT_EQ(flags, ZORVANE_COOLING_CONTROL | ZORVANE_COOLING_SETPOINT);
    lib.ZorvaneSetCooling(h, t0 - 500);
    lib.ZorvaneCoolingInfo(h, &flags, &level, &minLevel, &maxLevel, &setpoint);
    EXPECT_TRUE(flags & ZORVANE_COOLING_COOLING);
    EXPECT_EQ(setpoint, t0 - 500);
    EXPECT_TRUE(Within(20000, [&] {
        int32_t t = t0;
        return lib.ZorvaneTemperatureSensorInfo(h, 1, &t) == 0 && t <= t0 - 100;
    }));
    lib.ZorvaneCoolerWarmUp(h);
    lib.ZorvaneCoolingInfo(h, &flags, &level, &minLevel, &maxLevel, &setpoint);
    EXPECT_TRUE(flags & ZORVANE_COOLING_WARMING_UP);

    // A guide pulse goes to the camera's own guide port, seen by a second client.
    indi::IndiClient watcher;
    ASSERT_TRUE(watcher.Connect("localhost", server.Port(), 1000));
    ASSERT_TRUE(watcher.WaitForProperty(kCcd, "TELESCOPE_TIMED_GUIDE_WE", 5000));
    const uint64_t before = watcher.Get(kCcd, "TELESCOPE_TIMED_GUIDE_WE")->updates;
    lib.ZorvanePulseGuide(h, ZORVANE_GUIDE_WEST, 300);
    EXPECT_TRUE(watcher.WaitUntil(
        [&](const indi::DeviceSet& s) {
            return s.Find(kCcd, "TELESCOPE_TIMED_GUIDE_WE")->updates > before;
        },
        5000));
}

TEST_F(IndiCameraTest, AServerKilledMidExposureGivesAFailedFrameAndNoHang) {
    IndiServer server({IndiServer::kCcdDriver}, {kCcd});
    ZORVANE_START_INDI_SERVER(server);
    Open(server);
    Posts posts;
    const ZorvanePostTarget target{&Posts::Post, &posts};
    lib.ZorvaneExposureReadyCallback(h, &target, ZORVANE_MSG_FRAME_READY, 0, 0);

    lib.ZorvaneStartExposure(h, 30.0f);
    ASSERT_TRUE(Within(5000, [&] { return lib.ZorvaneCameraState(h) == ZORVANE_STATE_EXPOSING; }));
    server.Kill();
    // The high-speed path hears of it too: a frame-ready post with no frame behind it.
    EXPECT_TRUE(Within(10000, [&] { return posts.count == 1; }));
    EXPECT_TRUE(lib.ZorvaneImageReady(h));
    EXPECT_EQ(lib.ZorvaneCameraState(h), ZORVANE_STATE_IDLE);
    EXPECT_FALSE(lib.ZorvaneIsConnected(h));
    EXPECT_EQ(Frame().w, 0);
    EXPECT_EQ(lib.ZorvaneImageBuffer(h), nullptr);
    EXPECT_FALSE(lib.ZorvaneImageReady(h));
    // Nothing more is started on a camera that has gone.
    lib.ZorvaneStartExposure(h, 1.0f);
    EXPECT_EQ(lib.ZorvaneCameraState(h), ZORVANE_STATE_IDLE);
}

TEST(IndiCameraSequence, AServerKilledMidSequenceStopsItWithAWordAndTheFilesBeforeStayWhole) {
    IndiServer server({IndiServer::kCcdDriver}, {kCcd});
    ZORVANE_START_INDI_SERVER(server);
    const std::string address = std::string(kCcd) + "@" + server.Address();
    test::EnvOverride asked(indi::kCameraEnvironment, address.c_str());
    test::AppBench b;
    b.Start();
    ASSERT_TRUE(b.app->IsConnected());
    ASSERT_EQ(b.SensorWidth(), 1280);
    b.app->Saver().Settings().savePath = b.dir.File("m.fit");
    b.app->Sequence().lines[0] = {true, "0.5", 0, 1, "", ""};
    b.app->Sequence().repeat = 10;
    b.app->Sequencer().StartStopSequence();
    ASSERT_TRUE(test::RunReal(
        b, [&] { return std::filesystem::exists(b.dir.File("m_001.fit")); }, 30000));
    // The third frame's exposure has started (or is about to): the server dies under it.
    server.Kill();
    const auto killed = std::chrono::steady_clock::now();
    ASSERT_TRUE(test::RunReal(
        b, [&] { return !b.app->Sequencer().Running(); }, 10000));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - killed)
                        .count();
    std::printf("the sequence stopped %lld ms after its server was killed\n",
                static_cast<long long>(ms));
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text.rfind(
                  "Lost connection to Camera\nThe sequence stopped at line 1, repeat 3;", 0),
              0u)
        << b.prompts.messages[0].text;
    EXPECT_EQ(b.prompts.messages[0].caption, "Sequencer");
    for (const char* name : {"m_000.fit", "m_001.fit"}) {
        const test::FitsContent c = test::ReadFitsBack(b.dir.File(name));
        EXPECT_EQ(c.error, "") << name;
        EXPECT_EQ(c.width, 1280) << name;
        EXPECT_EQ(c.height, 1024) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(b.dir.File("m_002.fit")));
}

// The program asked for an INDI camera it cannot reach: the start-up's connection failure
// names the server and the device tried and why, with Abort / Retry / Ignore, and no other
// camera stands in for it (the title says there is none).
TEST(IndiCameraInTheProgram, ACameraThatCannotBeReachedIsReportedAndNeverReplaced) {
    IndiServer ccd({IndiServer::kCcdDriver}, {kCcd});
    ZORVANE_START_INDI_SERVER(ccd);
    IndiServer video({"indi_v4l2_ccd"}, {"V4L2 CCD"});
    ZORVANE_START_INDI_SERVER(video);
    {
        // A video device that is not there, whatever this machine has.
        indi::IndiClient c;
        ASSERT_TRUE(c.Connect("localhost", video.Port(), 1000));
        ASSERT_TRUE(c.WaitForProperty("V4L2 CCD", "DEVICE_PORT", 5000));
        c.SendTexts("V4L2 CCD", "DEVICE_PORT", {{"PORT", "/nonexistent/video9"}});
    }
    const std::string nobody = "localhost:" + std::to_string(IndiServer::FreePort());
    // A server that takes connections and never says a word.
    const int silentPort = IndiServer::FreePort();
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(silentPort));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(listen(silent, 8), 0);
    const std::string mute = "localhost:" + std::to_string(silentPort);
    struct Case {
        std::string setting, why;
    };
    for (const Case& c :
         {Case{std::string(kCcd) + "@" + nobody,
               "INDI camera \"CCD Simulator\" on " + nobody + ": no INDI server answers there."},
          Case{"Guide Camera@" + ccd.Address(),
               "INDI camera \"Guide Camera\" on " + ccd.Address() +
                   ": the server has no such device (its cameras: CCD Simulator)."},
          Case{std::string(kCcd) + "@" + mute,
               "INDI camera \"CCD Simulator\" on " + mute +
                   ": the server described no devices (it does not answer, or runs no drivers)."},
          Case{"V4L2 CCD@" + video.Address(), "INDI camera \"V4L2 CCD\" on " + video.Address() +
                                                  ": its driver could not connect the camera."}}) {
        SCOPED_TRACE(c.setting);
        test::EnvOverride asked(indi::kCameraEnvironment, c.setting.c_str());
        test::AppBench b;
        b.prompts.answers = {MessageAnswer::Ignore};
        const auto start = std::chrono::steady_clock::now();
        b.Start();
        std::printf(
            "%s: reported after %.1f s\n", c.setting.c_str(),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        ASSERT_EQ(b.prompts.messages.size(), 1u);
        EXPECT_EQ(b.prompts.messages[0].text, "Failed to connect to Camera\n\n" + c.why);
        EXPECT_EQ(b.prompts.messages[0].buttons, MessageButtons::AbortRetryIgnore);
        EXPECT_FALSE(b.app->IsConnected());
        EXPECT_EQ(b.app->Library().LoadedName(), CameraLibrary::kIndiName);
        EXPECT_EQ(b.app->WindowTitle(), "Zorvane Capture - no camera");
    }
    close(silent);
}

// A failure that is no fault of the frame's settings is not reported as one: a server that
// dies under a loop is a lost camera.
TEST(IndiCameraInTheProgram, AServerKilledUnderALoopIsALostCamera) {
    IndiServer server({IndiServer::kCcdDriver}, {kCcd});
    ZORVANE_START_INDI_SERVER(server);
    const std::string setting = std::string(kCcd) + "@" + server.Address();
    test::EnvOverride asked(indi::kCameraEnvironment, setting.c_str());
    test::AppBench b;
    b.Start();
    ASSERT_TRUE(b.app->IsConnected());
    EXPECT_EQ(b.app->WindowTitle(), "Zorvane Capture - CCD Simulator");
    b.app->Exposure().exposure = 3.0f;
    b.app->ToggleLoop();
    ASSERT_TRUE(test::RunReal(
        b, [&] { return b.app->CameraStatePaneText().rfind("Exp.", 0) == 0; }, 10000));
    server.Kill();
    ASSERT_TRUE(test::RunReal(
        b, [&] { return !b.prompts.messages.empty(); }, 10000));
    EXPECT_EQ(b.prompts.messages[0].text, ExposureCycle::kCameraLostInLoopText);
    EXPECT_FALSE(b.app->Cycle().Looping());
}

TEST(IndiCameraChoice, OnlyAnAskedForIndiCameraIsScannedAndThenFirst) {
    CameraLibrary lib;
    EXPECT_EQ(lib.ScanCandidates(), CameraLibrary::Candidates());
    lib.OfferIndiCamera(true);
    const auto names = lib.ScanCandidates();
    ASSERT_EQ(names.size(), CameraLibrary::Candidates().size() + 1);
    EXPECT_EQ(names.front(), CameraLibrary::kIndiName);

    const auto a = indi::ParseCameraAddress("Main Camera@observatory.local:7625");
    EXPECT_EQ(a.device, "Main Camera");
    EXPECT_EQ(a.host, "observatory.local");
    EXPECT_EQ(a.port, 7625);
    const auto d = indi::ParseCameraAddress("@");
    EXPECT_EQ(d.device, "");
    EXPECT_EQ(d.host, "localhost");
    EXPECT_EQ(d.port, 7624);
}

}  // namespace
}  // namespace zorvane
