#include <gtest/gtest.h>

#include <cstring>

#include "camera/CameraConnection.h"
#include "fixtures/FixtureProbe.h"

namespace zorvane {
namespace {

using test::FakeCameraProbe;
using test::FixtureDir;

TEST(CameraConnection, StartUpAsksForTheSensorCountFirstTheConnectCommandForCoolingFirst) {
    CameraLibrary lib({FixtureDir("both")});
    ASSERT_TRUE(lib.LoadLibrary("ZorvaneCCD.dll"));
    FakeCameraProbe probe("both", "ZorvaneCCD.dll");
    ASSERT_TRUE(probe.Attached());

    CameraConnection camera;
    ASSERT_TRUE(OpenCamera(lib, 0, true, CoolingDiscoveryOrder::SensorFirst, camera));
    // Both orders start from a count of -1 and flags of 0.
    EXPECT_EQ(probe.Log(),
              "Connect(0) Properties AutoAdjustBlackLevel(1) TemperatureSensorInfo(0,in=-1) "
              "CoolingInfo(in=0)");
    EXPECT_EQ(camera.SerialText(), "FAKE-0000");
    EXPECT_EQ(camera.properties.pixelsX, 999);
    EXPECT_STREQ(camera.properties.model, "Fake v11");
    EXPECT_EQ(camera.coolingFlags, 0x1A);  // 0x7A keeps its low five bits
    EXPECT_EQ(camera.minLevel, 0);
    EXPECT_EQ(camera.maxLevel, 255);
    EXPECT_TRUE(camera.hasSensor);
    EXPECT_TRUE(camera.IsConnected(lib));

    probe.ClearLog();
    CameraConnection again;
    ASSERT_TRUE(OpenCamera(lib, 0, true, CoolingDiscoveryOrder::CoolingFirst, again));
    EXPECT_EQ(probe.Log(),
              "Connect(0) Properties AutoAdjustBlackLevel(1) CoolingInfo(in=0) "
              "TemperatureSensorInfo(0,in=-1)");
    EXPECT_EQ(again.coolingFlags, 0x1A);
    EXPECT_TRUE(again.hasSensor);
}

TEST(CameraConnection, BlackLevelAdjustsOnlyNarrowSensorsWhenTheSwitchAllows) {
    EXPECT_TRUE(BlackLevelAutoAdjust(true, 999));
    EXPECT_FALSE(BlackLevelAutoAdjust(true, 1000));
    EXPECT_FALSE(BlackLevelAutoAdjust(false, 999));

    CameraLibrary lib({FixtureDir("both")});
    ASSERT_TRUE(lib.LoadLibrary("ZorvaneCCD.dll"));
    FakeCameraProbe probe("both", "ZorvaneCCD.dll");
    CameraConnection camera;
    ASSERT_TRUE(ConnectCamera(lib, 0, camera));

    struct Case {
        int32_t width;
        bool switchAllows;
        const char* call;
    };
    for (const Case& c :
         {Case{999, true, "AutoAdjustBlackLevel(1)"}, Case{1000, true, "AutoAdjustBlackLevel(0)"},
          Case{999, false, "AutoAdjustBlackLevel(0)"}}) {
        probe.Set("pixelsX", c.width);
        probe.ClearLog();
        ReadCameraFacts(lib, c.switchAllows, CoolingDiscoveryOrder::SensorFirst, camera);
        EXPECT_NE(probe.Log().find(c.call), std::string::npos)
            << c.width << " " << c.switchAllows << ": " << probe.Log();
    }
}

TEST(CameraConnection, ACameraWithoutCoolingKeepsTheStartingValues) {
    CameraLibrary lib({FixtureDir("second3")});
    ASSERT_TRUE(lib.LoadLibrary("ZorvaneHSC.dll"));
    CameraConnection camera;
    camera.coolingFlags = 31;  // left over from an earlier camera
    camera.hasSensor = true;
    ASSERT_TRUE(OpenCamera(lib, 3, true, CoolingDiscoveryOrder::CoolingFirst, camera));
    EXPECT_EQ(camera.coolingFlags, 0);
    EXPECT_FALSE(camera.hasSensor);
    EXPECT_EQ(camera.SerialText(), "FAKE-0003");
}

TEST(CameraConnection, AFailedConnectStopsBeforeTheFactsAndLeavesNoOldSerial) {
    CameraLibrary lib({FixtureDir("both")});
    ASSERT_TRUE(lib.LoadLibrary("ZorvaneCCD.dll"));
    FakeCameraProbe probe("both", "ZorvaneCCD.dll");
    CameraConnection camera;
    ASSERT_TRUE(ConnectCamera(lib, 0, camera));
    ASSERT_EQ(camera.SerialText(), "FAKE-0000");

    probe.ClearLog();
    EXPECT_FALSE(OpenCamera(lib, 5, true, CoolingDiscoveryOrder::SensorFirst, camera));
    EXPECT_EQ(camera.handle, nullptr);
    EXPECT_EQ(probe.Log(), "Connect(5)");
    EXPECT_FALSE(camera.IsConnected(lib));

    lib.FreeLibrary();
    EXPECT_FALSE(ConnectCamera(lib, 0, camera));
    EXPECT_EQ(camera.SerialText(), "");
}

TEST(CameraConnection, DisconnectReportsWhetherTheCameraWasReleased) {
    for (const char* set : {"both", "disconnectfail"}) {
        SCOPED_TRACE(set);
        const bool releases = std::strcmp(set, "both") == 0;
        CameraLibrary lib({FixtureDir(set)});
        ASSERT_TRUE(lib.LoadLibrary("ZorvaneCCD.dll"));
        CameraConnection camera;
        ASSERT_TRUE(ConnectCamera(lib, 0, camera));
        EXPECT_EQ(lib.ZorvaneDisconnect(camera.handle), releases);
        EXPECT_EQ(camera.IsConnected(lib), !releases);
    }
}

TEST(CameraConnection, AnAbsurdLibraryIsReadWithoutRunningPastItsTexts) {
    CameraLibrary lib({FixtureDir("absurd")});
    ASSERT_TRUE(lib.LoadLibrary("ZorvaneCCD.dll"));
    CameraConnection camera;
    ASSERT_TRUE(OpenCamera(lib, 0, true, CoolingDiscoveryOrder::SensorFirst, camera));
    // All 40 bytes of each text were filled without a terminator.
    EXPECT_EQ(std::strlen(camera.properties.model), 39u);
    EXPECT_EQ(std::strlen(camera.properties.manufacturer), 39u);
    EXPECT_EQ(camera.SerialText(), std::string(40, 'S'));
    EXPECT_EQ(camera.properties.pixelsX, -640);
    EXPECT_EQ(camera.coolingFlags, 31);  // -1 keeps only the five known bits
    EXPECT_TRUE(camera.hasSensor);
}

}  // namespace
}  // namespace zorvane
