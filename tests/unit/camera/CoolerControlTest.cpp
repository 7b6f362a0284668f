#include "camera/CoolerControl.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "core/TimerIds.h"
#include "support/SimHarness.h"

namespace zorvane {
namespace {

struct CoolerBench : test::SimBench {
    explicit CoolerBench(const std::string& options) : SimBench(options), cooler(lib, camera, loop) {
        cooler.sleep = [this](unsigned ms) { loop.Advance(ms); };
        loop.SetTimerHandler([this](int id) {
            if (id == kTimerCooler) cooler.Poll();
        });
        connected = Connect();
        cooler.SetDialogExists(true);
    }
    CoolerControl cooler;
    bool connected = false;
};

TEST(CoolerControl, PollsOnlyOnceTheDialogExistsThenEveryTenSeconds) {
    CoolerBench b("cooling=setpoint");
    ASSERT_TRUE(b.connected);
    b.cooler.SetDialogExists(false);
    b.cooler.Poll();
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerCooler));
    EXPECT_EQ(b.sim.CallCount("ZorvaneCoolingInfo"), 1) << "only the connection's own query";
    b.cooler.SetDialogExists(true);
    b.cooler.Poll();
    EXPECT_EQ(b.loop.RequestedPeriod(kTimerCooler), 10000);
    b.loop.Advance(30000);
    EXPECT_EQ(b.sim.CallCount("ZorvaneCoolingInfo"), 5);
    EXPECT_EQ(b.cooler.Model().StatusText(), "Status: Off");
    EXPECT_EQ(b.cooler.Model().TemperatureText(), "Temp: 20.0\u00b0C");
    EXPECT_EQ(b.cooler.Model().ButtonText(), "Cooler on");
}

// The box shows the program's setpoint (stored, or stepped), never the camera's: what is shown
// is what a step starts from and what "Cooler on" sends.
TEST(CoolerControl, TheBoxShowsTheStoredSetpointWhichCoolerOnSends) {
    CoolerBench b("cooling=setpoint");
    ASSERT_TRUE(b.connected);
    b.cooler.SetSetpointValue(-1500);
    b.cooler.Poll();
    ASSERT_EQ(b.cooler.Model().mode, CoolerDialogModel::kSetpoint);
    EXPECT_EQ(b.cooler.Model().LabelText(), "Setpoint:");
    EXPECT_EQ(b.cooler.Model().editText, "-15.0\u00b0C");
    b.loop.Advance(10000);  // the next poll
    EXPECT_EQ(b.cooler.Model().editText, "-15.0\u00b0C");

    // Off: a step changes the stored setpoint only.
    b.cooler.SpinStep(+1);
    EXPECT_EQ(b.cooler.SetpointValue(), -1490);
    EXPECT_EQ(b.sim.CallCount("ZorvaneSetCooling"), 0);
    b.loop.Advance(10000);
    EXPECT_EQ(b.cooler.Model().editText, "-14.9\u00b0C");
    b.cooler.PressOnOffButton();
    EXPECT_NE(b.sim.CallLog().find("ZorvaneSetCooling(-1490)"), std::string::npos);
    EXPECT_EQ(b.cooler.Model().editText, "-14.9\u00b0C");
    EXPECT_EQ(b.cooler.Model().state, CoolerDialogModel::kCooling);
    EXPECT_EQ(b.cooler.Model().ButtonText(), "Warm up");

    // A damaged stored value is limited to what the box can set.
    b.cooler.SetSetpointValue(INT32_MIN);
    EXPECT_EQ(b.cooler.SetpointValue(), -4000);
    b.cooler.SetSetpointValue(30000);
    EXPECT_EQ(b.cooler.SetpointValue(), 2500);
}

TEST(CoolerControl, SetpointStepsAndClamps) {
    CoolerBench b("cooling=setpoint");
    ASSERT_TRUE(b.connected);
    b.cooler.SetSetpointValue(-1500);
    b.cooler.PressOnOffButton();  // cooling at -15 °C
    ASSERT_EQ(b.cooler.Model().state, CoolerDialogModel::kCooling);
    EXPECT_EQ(b.cooler.Model().editText, "-15.0\u00b0C");
    for (int i = 0; i < 10; ++i) b.cooler.SpinStep(+1);
    EXPECT_EQ(b.cooler.SetpointValue(), -1400) << "ten steps move the setpoint by 1.0 degree";
    EXPECT_EQ(b.cooler.Model().editText, "-14.0\u00b0C");
    EXPECT_NE(b.sim.CallLog().find("ZorvaneSetCooling(-1400)"), std::string::npos);
    for (int i = 0; i < 500; ++i) b.cooler.SpinStep(-1);
    EXPECT_EQ(b.cooler.Model().editText, "-40.0\u00b0C");
    EXPECT_EQ(b.cooler.SetpointValue(), -4000);
    for (int i = 0; i < 1000; ++i) b.cooler.SpinStep(+1);
    EXPECT_EQ(b.cooler.Model().editText, "25.0\u00b0C");
    EXPECT_EQ(b.cooler.SetpointValue(), 2500);

    b.cooler.PressOnOffButton();  // warm up
    EXPECT_EQ(b.sim.CallCount("ZorvaneCoolerWarmUp"), 1);
    EXPECT_EQ(b.cooler.Model().StatusText(), "Status: Warming up");
    EXPECT_FALSE(b.cooler.Model().ButtonEnabled());
}

TEST(CoolerControl, PowerLevelShowsPercentAndSendsRawLevels) {
    CoolerBench b("cooling=power");
    ASSERT_TRUE(b.connected);
    b.cooler.SetSetpointValue(128);
    b.cooler.PressOnOffButton();
    ASSERT_EQ(b.cooler.Model().mode, CoolerDialogModel::kPower);
    EXPECT_EQ(b.cooler.Model().LabelText(), "Power level:");
    EXPECT_EQ(b.cooler.Model().editText, "50%") << "level 128 of 0..255";
    for (int i = 0; i < 60; ++i) b.cooler.SpinStep(+1);
    EXPECT_EQ(b.cooler.Model().editText, "100%");
    EXPECT_EQ(b.cooler.SetpointValue(), 255);
    EXPECT_NE(b.sim.CallLog().find("ZorvaneSetCooling(255)"), std::string::npos);
}

TEST(CoolerControl, OutOfRangeReadingsAreUnknown) {
    for (const char* ambient : {"60", "-60"}) {
        CoolerBench b(std::string("cooling=setpoint;ambient=") + ambient);
        ASSERT_TRUE(b.connected);
        b.cooler.Poll();
        EXPECT_EQ(b.cooler.Model().TemperatureText(), "Unknown") << ambient;
        EXPECT_FALSE(b.cooler.Model().TemperatureKnown());
        EXPECT_EQ(b.cooler.SensorTemperature(), -1000.0f) << "an invalid reading is not kept";
    }
}

TEST(CoolerControl, AReadOutIsNeverDisturbed) {
    CoolerBench b("cooling=setpoint;flush_ms=0;wait_ms=0;download_mpx_s=0.5");
    ASSERT_TRUE(b.connected);
    b.lib.ZorvaneStartExposure(b.camera.handle, 0.0f);
    ASSERT_TRUE(b.loop.RunUntil(
        [&] { return b.lib.ZorvaneCameraState(b.camera.handle) == ZORVANE_STATE_DOWNLOADING; },
        100));
    const int before = b.sim.CallCount("ZorvaneCoolingInfo");
    const int sensorBefore = b.sim.CallCount("ZorvaneTemperatureSensorInfo");
    b.cooler.Poll();
    EXPECT_EQ(b.sim.CallCount("ZorvaneCoolingInfo"), before);
    EXPECT_EQ(b.sim.CallCount("ZorvaneTemperatureSensorInfo"), sensorBefore);
    EXPECT_TRUE(b.loop.IsTimerSet(kTimerCooler)) << "it tries again in ten seconds";
}

// Regression: after Disconnect the still open dialog called the library with a null handle.
TEST(CoolerControl, AfterDisconnectNothingReachesTheLibrary) {
    CoolerBench b("cooling=setpoint");
    ASSERT_TRUE(b.connected);
    b.cooler.ReadTemperature();
    EXPECT_NEAR(b.cooler.SensorTemperature(), 20.0f, 0.01f) << "read once at connect";
    b.cooler.Poll();
    b.cooler.PressOnOffButton();
    ASSERT_EQ(b.cooler.Model().state, CoolerDialogModel::kCooling);
    ASSERT_TRUE(b.lib.ZorvaneDisconnect(b.camera.handle));
    b.camera.handle = nullptr;
    b.camera.coolingFlags = 0;
    b.sim.ClearCallLog();
    b.cooler.SpinStep(5);
    b.cooler.PressOnOffButton();
    b.cooler.ReadTemperature();
    EXPECT_EQ(b.sim.CallLog(), "");
}

TEST(CoolerControl, OnOffAndNoControlModes) {
    CoolerDialogModel m;
    m.mode = CoolerDialogModel::kOnOff;
    m.value = 100.0f;
    m.RefreshEditText();
    EXPECT_EQ(m.editText, "on");
    EXPECT_EQ(m.LabelText(), "Power:");
    m.mode = CoolerDialogModel::kNoControl;
    m.RefreshEditText();
    EXPECT_EQ(m.editText, "-----");
    EXPECT_EQ(m.LabelText(), "Power");
    EXPECT_FALSE(m.ValueEnabled());
    // Rounding of the shown temperature is to the nearest tenth, both sides of zero.
    m.temperature = -15.0f;
    EXPECT_EQ(m.TemperatureText(), "Temp: -15.0\u00b0C");
    m.temperature = -14.96f;
    EXPECT_EQ(m.TemperatureText(), "Temp: -15.0\u00b0C");
    m.temperature = 7.04f;
    EXPECT_EQ(m.TemperatureText(), "Temp: 7.0\u00b0C");
}

}  // namespace
}  // namespace zorvane
