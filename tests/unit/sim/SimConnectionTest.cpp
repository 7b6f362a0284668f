#include <cstring>
#include <string>

#include "SimFixture.h"

namespace zorvane::test {
namespace {

using SimConnection = SimTest;

TEST_F(SimConnection, EveryEntryPointResolves) {
    SimApi& a = api;
#define ZORVANE_SIM_CHECK(name) EXPECT_NE(reinterpret_cast<void*>(a.name), nullptr) << #name;
    ZORVANE_SIM_CAMERA_ENTRY_POINTS(ZORVANE_SIM_CHECK)
    ZORVANE_SIM_TEST_CONTROLS(ZORVANE_SIM_CHECK)
#undef ZORVANE_SIM_CHECK
    EXPECT_EQ(api.ZorvaneAPIVersion(), 7);
    EXPECT_EQ(api.ZorvaneSetupDialog(), 0);
}

TEST_F(SimConnection, DevicesSerialsAndProperties) {
    ASSERT_TRUE(Configure("devices=3"));
    EXPECT_TRUE(api.ZorvaneDeviceIsCamera(0));
    EXPECT_TRUE(api.ZorvaneDeviceIsCamera(2));
    EXPECT_FALSE(api.ZorvaneDeviceIsCamera(3));
    EXPECT_FALSE(api.ZorvaneDeviceIsCamera(-1));

    char serial0[40], serial2[40], none[40];
    std::memset(serial0, 'x', sizeof(serial0));
    EXPECT_TRUE(api.ZorvaneDeviceSerial(0, serial0));
    EXPECT_TRUE(api.ZorvaneDeviceSerial(2, serial2));
    ASSERT_NE(std::memchr(serial0, '\0', sizeof(serial0)), nullptr);
    EXPECT_GT(std::strlen(serial0), 0u);
    EXPECT_STRNE(serial0, serial2);
    EXPECT_FALSE(api.ZorvaneDeviceSerial(5, none));
    EXPECT_STREQ(none, "");

    ZorvaneHandle a = Connect(0);
    ZorvaneHandle b = Connect(2);
    EXPECT_NE(a, b);
    EXPECT_EQ(api.ZorvaneConnect(3), nullptr);
    EXPECT_EQ(api.ZorvaneConnect(0), a);  // already connected: the same camera

    CameraProperties p;
    std::memset(&p, 0xAB, sizeof(p));
    api.ZorvaneProperties(a, &p);
    EXPECT_EQ(p.protocol, 0x0103);
    EXPECT_EQ(p.pixelsX, 1392);
    EXPECT_EQ(p.pixelsY, 1040);
    EXPECT_FLOAT_EQ(p.pixelSizeX, 6.45f);
    EXPECT_EQ(p.sensorFlags, 1);
    EXPECT_EQ(p.cameraFlags, 2 | 4 | 8 | 16);
    EXPECT_STREQ(p.model, "SIM-1392M");
    EXPECT_STREQ(p.manufacturer, "Zorvane Simulation");

    int32_t type = -1, nx = -1, ny = -1, px = -1, py = -1;
    api.ZorvaneColourProperties(a, &type, &nx, &ny, &px, &py);
    EXPECT_EQ(type, 0);

    EXPECT_TRUE(api.ZorvaneDisconnect(a));
    EXPECT_FALSE(api.ZorvaneIsConnected(a));
    EXPECT_TRUE(api.ZorvaneIsConnected(b));
}

TEST_F(SimConnection, ForeignAndStaleHandlesAreRefusedSafely) {
    ASSERT_TRUE(Configure(""));
    int notACamera = 0;
    ZorvaneHandle foreign = &notACamera;
    EXPECT_FALSE(api.ZorvaneIsConnected(foreign));
    EXPECT_FALSE(api.ZorvaneIsConnected(nullptr));
    EXPECT_EQ(api.ZorvaneStartExposure(foreign, 1.0f), 0);
    EXPECT_EQ(api.ZorvaneImageBuffer(foreign), nullptr);
    EXPECT_EQ(api.ZorvaneLastStartTime(nullptr), nullptr);
    EXPECT_FALSE(api.ZorvaneDisconnect(foreign));
    int32_t x = 9, y = 9, w = 9, h = 9, bx = 9, by = 9;
    EXPECT_EQ(api.ZorvaneGetImageData(foreign, &x, &y, &w, &h, &bx, &by), 0);
    EXPECT_EQ(w, 0);
    int32_t t = 0;
    EXPECT_NE(api.ZorvaneTemperatureSensorInfo(foreign, 1, &t), 0);

    ZorvaneHandle cam = Connect();
    ASSERT_TRUE(api.ZorvaneDisconnect(cam));
    EXPECT_EQ(api.ZorvaneStartExposure(cam, 1.0f), 0);  // stale: no longer connected
    EXPECT_EQ(api.ZorvaneCameraState(cam), 0);
}

TEST_F(SimConnection, SensorOptionsAndBadOptions) {
    // The bad items are reported and skipped; the good ones still apply.
    EXPECT_FALSE(Configure("sensor=large;bogus=1;maxbin=4;pixel=8.6x8.3;devices=abc;fwhm"));
    ZorvaneHandle h = Connect();
    CameraProperties p{};
    api.ZorvaneProperties(h, &p);
    EXPECT_EQ(p.pixelsX, 4656);
    EXPECT_EQ(p.pixelsY, 3520);
    EXPECT_FLOAT_EQ(p.pixelSizeX, 8.6f);
    EXPECT_FLOAT_EQ(p.pixelSizeY, 8.3f);
    int32_t mx = 0, my = 0;
    api.ZorvaneGetMaxBin(h, &mx, &my);
    EXPECT_EQ(mx, 4);
    EXPECT_EQ(my, 4);
    EXPECT_FALSE(api.ZorvaneDeviceIsCamera(1));

    ASSERT_TRUE(Configure("sensor=fourrow\nsize = 500x400\n# comment line\n"));
    h = Connect();
    api.ZorvaneProperties(h, &p);
    EXPECT_EQ(p.pixelsX, 500);
    EXPECT_EQ(p.pixelsY, 400);
    EXPECT_FLOAT_EQ(p.pixelSizeX, 8.6f);
    EXPECT_FLOAT_EQ(p.pixelSizeY, 8.3f);
}

TEST_F(SimConnection, StoredSettingsReadBack) {
    ASSERT_TRUE(Configure(""));
    ZorvaneHandle h = Connect();
    EXPECT_TRUE(api.ZorvaneGetAmplifierSwitched(h));
    api.ZorvaneSetAmplifierSwitched(h, 0);
    EXPECT_FALSE(api.ZorvaneGetAmplifierSwitched(h));
    api.ZorvaneSetProcessing(h, 2 | 8);
    EXPECT_EQ(api.ZorvaneGetProcessing(h), 10);
}

TEST_F(SimConnection, CallLogKeepsArgumentsInOrder) {
    ASSERT_TRUE(Configure(""));
    ZorvaneHandle h = Connect();
    api.ZorvaneSimClearCallLog();
    api.ZorvaneBin(h, 2, 2);
    api.ZorvaneSubframePos(h, 880, 740);
    api.ZorvaneStartExposure(h, 0.25f);
    api.ZorvaneExposureReadyCallback(h, nullptr, 0, 0, 0);
    api.ZorvanePulseGuide(h, 3, 120);
    api.ZorvaneClearVRegs(h);
    api.ZorvaneClearVRegs(h);

    const std::string expected =
        "ZorvaneBin(2,2)\nZorvaneSubframePos(880,740)\nZorvaneStartExposure(0.25)\n"
        "ZorvaneExposureReadyCallback(0,0,0,0)\nZorvanePulseGuide(3,120)\n"
        "ZorvaneClearVRegs()\nZorvaneClearVRegs()\n";
    const int32_t length = api.ZorvaneSimCallLog(nullptr, 0);
    ASSERT_EQ(length, static_cast<int32_t>(expected.size()));
    std::string text(static_cast<size_t>(length) + 1, '\0');
    EXPECT_EQ(api.ZorvaneSimCallLog(text.data(), length + 1), length);
    text.resize(static_cast<size_t>(length));
    EXPECT_EQ(text, expected);

    char small[8];
    EXPECT_EQ(api.ZorvaneSimCallLog(small, sizeof(small)), length);
    EXPECT_STREQ(small, "Zorvane");

    EXPECT_EQ(api.ZorvaneSimCallCount("ZorvaneClearVRegs"), 2);
    EXPECT_EQ(api.ZorvaneSimCallCount("ZorvaneAbortExposure"), 0);
    api.ZorvaneSimClearCallLog();
    EXPECT_EQ(api.ZorvaneSimCallCount("ZorvaneClearVRegs"), 0);
    EXPECT_EQ(api.ZorvaneSimCallLog(nullptr, 0), 0);
}

}  // namespace
}  // namespace zorvane::test
