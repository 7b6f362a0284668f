#include <string>

#include "SimFixture.h"

namespace zorvane::test {
namespace {

using SimFaults = SimTest;

struct Cooling {
    int32_t flags = -1, level = -1, minLevel = -1, maxLevel = -1, setpoint = -1;
};

class SimCoolerTest : public SimTest {
protected:
    Cooling Info(ZorvaneHandle h) {
        Cooling c;
        EXPECT_EQ(
            api.ZorvaneCoolingInfo(h, &c.flags, &c.level, &c.minLevel, &c.maxLevel, &c.setpoint),
            0);
        return c;
    }
    int32_t Temperature(ZorvaneHandle h) {
        int32_t t = -99999;
        EXPECT_EQ(api.ZorvaneTemperatureSensorInfo(h, 1, &t), 0);
        return t;
    }
};

// 0.5 degrees per second toward the goal, at most 40 degrees below the 20 degree ambient.
TEST_F(SimCoolerTest, SetpointIsApproachedAndWarmUpReturnsToAmbient) {
    ASSERT_TRUE(Configure(""));
    ZorvaneHandle h = Connect();
    int32_t count = 0;
    EXPECT_EQ(api.ZorvaneTemperatureSensorInfo(h, 0, &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(Temperature(h), 2000);
    Cooling c = Info(h);
    EXPECT_EQ(c.flags, 2 | 16);
    EXPECT_EQ(c.level, 0);
    EXPECT_EQ(c.minLevel, 0);
    EXPECT_EQ(c.maxLevel, 255);

    api.ZorvaneSetCooling(h, -1000);
    c = Info(h);
    EXPECT_EQ(c.flags, 2 | 16 | 64);
    EXPECT_EQ(c.level, 255);  // pulling down at full power
    EXPECT_EQ(c.setpoint, -1000);
    Advance(10000);
    EXPECT_EQ(Temperature(h), 1500);
    EXPECT_DOUBLE_EQ(api.ZorvaneSimSensorTemperature(), 15.0);
    Advance(60000);
    EXPECT_EQ(Temperature(h), -1000);
    c = Info(h);
    EXPECT_GT(c.level, 0);
    EXPECT_LT(c.level, 255);  // holding takes less

    api.ZorvaneCoolerWarmUp(h);
    EXPECT_EQ(Info(h).flags, 2 | 16 | 32);
    Advance(10000);
    EXPECT_EQ(Temperature(h), -500);
    Advance(50000);
    EXPECT_EQ(Temperature(h), 2000);
    c = Info(h);
    EXPECT_EQ(c.flags, 2 | 16);  // warmed up and switched off
    EXPECT_EQ(c.level, 0);

    // Never deeper than the cooler's limit; never above ambient.
    api.ZorvaneSetCooling(h, -9000);
    Advance(200000);
    EXPECT_EQ(Temperature(h), -2000);
    api.ZorvaneSetCooling(h, 3000);
    Advance(200000);
    EXPECT_EQ(Temperature(h), 2000);
}

TEST_F(SimCoolerTest, PowerOnOffAndNoCooler) {
    ASSERT_TRUE(Configure("cooling=power"));
    ZorvaneHandle h = Connect();
    EXPECT_EQ(Info(h).flags, 2 | 8);
    api.ZorvaneSetCooling(h, 128);
    Cooling c = Info(h);
    EXPECT_EQ(c.flags, 2 | 8 | 64);
    EXPECT_EQ(c.level, 128);
    EXPECT_EQ(c.setpoint, 128);
    Advance(100000);
    EXPECT_EQ(Temperature(h), -8);  // 20 - 40 * 128 / 255 = -0.08 degrees
    api.ZorvaneSetCooling(h, 999);
    EXPECT_EQ(Info(h).level, 255);

    ASSERT_TRUE(Configure("cooling=onoff;cool_limit=30"));
    h = Connect();
    EXPECT_EQ(Info(h).flags, 2 | 4);
    api.ZorvaneSetCooling(h, 255);
    EXPECT_EQ(Info(h).flags, 2 | 4 | 64);
    Advance(100000);
    EXPECT_EQ(Temperature(h), -1000);
    api.ZorvaneSetCooling(h, 0);
    EXPECT_EQ(Info(h).flags, 2 | 4);

    ASSERT_TRUE(Configure("cooling=none;ambient=15"));
    h = Connect();
    EXPECT_EQ(Info(h).flags, 0);
    int32_t count = -1, t = -1;
    EXPECT_EQ(api.ZorvaneTemperatureSensorInfo(h, 0, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_NE(api.ZorvaneTemperatureSensorInfo(h, 1, &t), 0);
    api.ZorvaneSetCooling(h, -1000);
    Advance(100000);
    EXPECT_DOUBLE_EQ(api.ZorvaneSimSensorTemperature(), 15.0);
}

TEST_F(SimFaults, UsbConnectAndNullBuffer) {
    ASSERT_TRUE(Configure("faults=usb"));
    ZorvaneHandle h = Connect();
    EXPECT_EQ(api.ZorvaneDiagnosticUSBError(h), 0);
    Expose(h, 0.01f);
    EXPECT_NE(api.ZorvaneDiagnosticUSBError(h), 0);

    ASSERT_TRUE(Configure("connect_failures=2;faults=usb"));  // a later fault list keeps it
    EXPECT_EQ(api.ZorvaneConnect(0), nullptr);
    EXPECT_EQ(api.ZorvaneConnect(0), nullptr);
    EXPECT_NE(api.ZorvaneConnect(0), nullptr);

    ASSERT_TRUE(Configure("faults=connect"));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(api.ZorvaneConnect(0), nullptr);

    ASSERT_TRUE(Configure("faults=nullbuffer"));
    h = Connect();
    api.ZorvaneStartExposure(h, 0.01f);
    ASSERT_TRUE(RunUntilReady(h));
    EXPECT_EQ(api.ZorvaneImageBuffer(h), nullptr);
    EXPECT_FALSE(api.ZorvaneImageReady(h));  // the frame was used up all the same

    // An unknown fault spoils the whole list, which is then ignored.
    EXPECT_FALSE(Configure("faults=usb,bogus"));
    h = Connect();
    Expose(h, 0.01f);
    EXPECT_EQ(api.ZorvaneDiagnosticUSBError(h), 0);
}

TEST_F(SimFaults, CameraDropsMidExposureAndDisconnectCanFail) {
    ASSERT_TRUE(Configure("faults=disconnect;disconnect_after=1"));
    ZorvaneHandle h = Connect();
    EXPECT_EQ(Expose(h, 0.1f).width, 1392);  // the first frame still arrives

    api.ZorvaneStartExposure(h, 2.0f);
    Advance(1000);
    EXPECT_TRUE(api.ZorvaneIsConnected(h));
    Advance(100);  // half-way through the light
    EXPECT_FALSE(api.ZorvaneIsConnected(h));
    EXPECT_EQ(api.ZorvaneCameraState(h), ZORVANE_STATE_IDLE);
    Advance(5000);
    EXPECT_FALSE(api.ZorvaneImageReady(h));
    EXPECT_EQ(api.ZorvaneImageBuffer(h), nullptr);
    EXPECT_TRUE(api.ZorvaneDisconnect(h));
    EXPECT_EQ(api.ZorvaneConnect(0), h);  // plugged in again

    ASSERT_TRUE(Configure("faults=disconnect_fails"));
    h = Connect();
    EXPECT_FALSE(api.ZorvaneDisconnect(h));
    EXPECT_TRUE(api.ZorvaneIsConnected(h));
}

}  // namespace
}  // namespace zorvane::test
