// The INDI camera library, loaded as the program loads a camera library, against the INDI CCD
// simulator on a private server: the sensor's facts, an exposure through its states to a frame
// of the right size (posted from the client's thread), binning and subframe, abort, cooling,
// the camera's guide port, and a server killed mid-exposure, also in the middle of a sequence.
#include <fitsio.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "camera/CameraLibrary.h"
#include "indi/CameraChoice.h"
#include "indi/IndiClient.h"
#include "support/AppBench.h"
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
    states = Expose(0.2f);
    EXPECT_TRUE(states.count(ZORVANE_STATE_FLUSHING)) << "the new frame settings are taken up";
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

// Every pixel of a FITS file read back through cfitsio; the image's width and height, or 0 x 0.
std::pair<long, long> ReadWholeImage(const std::string& path) {
    fitsfile* f = nullptr;
    int status = 0;
    long size[2] = {0, 0};
    if (fits_open_image(&f, path.c_str(), READONLY, &status) == 0 &&
        fits_get_img_size(f, 2, size, &status) == 0) {
        std::vector<unsigned short> pixels(static_cast<size_t>(size[0] * size[1]));
        long first[2] = {1, 1};
        fits_read_pix(f, TUSHORT, first, static_cast<LONGLONG>(pixels.size()), nullptr,
                      pixels.data(), nullptr, &status);
    }
    if (f) fits_close_file(f, &status);
    return status == 0 ? std::pair{size[0], size[1]} : std::pair{0L, 0L};
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
    for (const char* name : {"m_000.fit", "m_001.fit"})
        EXPECT_EQ(ReadWholeImage(b.dir.File(name)), (std::pair{1280L, 1024L})) << name;
    EXPECT_FALSE(std::filesystem::exists(b.dir.File("m_002.fit")));
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
