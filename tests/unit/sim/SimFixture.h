#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zorvane/camera_api.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zorvane_sim.h"

// Every camera entry point of the ABI.
#define ZORVANE_SIM_CAMERA_ENTRY_POINTS(X) \
    X(ZorvaneAPIVersion)                   \
    X(ZorvaneDeviceIsCamera)               \
    X(ZorvaneDeviceSerial)                 \
    X(ZorvaneSetupDialog)                  \
    X(ZorvaneConnect)                      \
    X(ZorvaneDisconnect)                   \
    X(ZorvaneIsConnected)                  \
    X(ZorvaneProperties)                   \
    X(ZorvaneColourProperties)             \
    X(ZorvaneAutoAdjustBlackLevel)         \
    X(ZorvaneGetBin)                       \
    X(ZorvaneGetMaxBin)                    \
    X(ZorvaneGetSubframe)                  \
    X(ZorvaneSubframePos)                  \
    X(ZorvaneSubframeSize)                 \
    X(ZorvaneBin)                          \
    X(ZorvaneGetAmplifierSwitched)         \
    X(ZorvaneSetAmplifierSwitched)         \
    X(ZorvanePrechargeMode)                \
    X(ZorvaneFIFO)                         \
    X(ZorvaneHighPriority)                 \
    X(ZorvaneGetProcessing)                \
    X(ZorvaneSetProcessing)                \
    X(ZorvaneTriggeredExposure)            \
    X(ZorvaneSetPreview)                   \
    X(ZorvaneSetSubSample)                 \
    X(ZorvaneSetDarkMode)                  \
    X(ZorvaneExposureReadyCallback)        \
    X(ZorvaneStartExposure)                \
    X(ZorvaneStopExposure)                 \
    X(ZorvaneAbortExposure)                \
    X(ZorvaneImageReady)                   \
    X(ZorvaneCameraState)                  \
    X(ZorvaneExposureTimeRemaining)        \
    X(ZorvaneDownloadPercent)              \
    X(ZorvaneLastExposureDuration)         \
    X(ZorvaneLastStartTime)                \
    X(ZorvaneLastStartTimeMilliseconds)    \
    X(ZorvaneGetImageData)                 \
    X(ZorvaneImageBuffer)                  \
    X(ZorvaneClearVRegs)                   \
    X(ZorvanePulseGuide)                   \
    X(ZorvaneTemperatureSensorInfo)        \
    X(ZorvaneCoolingInfo)                  \
    X(ZorvaneSetCooling)                   \
    X(ZorvaneCoolerWarmUp)                 \
    X(ZorvaneDiagnosticUSBError)

#define ZORVANE_SIM_TEST_CONTROLS(X) \
    X(ZorvaneSimConfigure)           \
    X(ZorvaneSimUseVirtualClock)     \
    X(ZorvaneSimSetTime)             \
    X(ZorvaneSimStarCount)           \
    X(ZorvaneSimStar)                \
    X(ZorvaneSimMountOffset)         \
    X(ZorvaneSimCallLog)             \
    X(ZorvaneSimClearCallLog)        \
    X(ZorvaneSimCallCount)           \
    X(ZorvaneSimSensorTemperature)

namespace zorvane::test {

// The simulated camera library loaded from beside the test program, with every entry point
// resolved by name.
struct SimApi {
#define ZORVANE_SIM_FIELD(name) name##_fn name = nullptr;
    ZORVANE_SIM_CAMERA_ENTRY_POINTS(ZORVANE_SIM_FIELD)
    ZORVANE_SIM_TEST_CONTROLS(ZORVANE_SIM_FIELD)
#undef ZORVANE_SIM_FIELD
    void* module = nullptr;

    static std::string LibraryPath();
    // Loads once per process; the library keeps its state until the process ends.
    static SimApi& Get();
};

// A copied frame with its geometry.
struct Frame {
    int x = 0, y = 0, width = 0, height = 0, binX = 0, binY = 0;
    std::vector<uint16_t> pixels;
    uint16_t At(int c, int r) const { return pixels[static_cast<size_t>(r) * width + c]; }
    double Mean() const;
    // Mean over pixels whose column and row have the given remainders (mod cm, rm).
    double MeanOfSite(int c0, int cm, int r0, int rm) const;
};

// Runs the library on its virtual clock, configured per test.
class SimTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // ZorvaneSimConfigure; true when every option was understood.
    bool Configure(const std::string& options);
    ZorvaneHandle Connect(int device = 0);
    // Moves virtual time forward.
    void Advance(uint64_t ms);
    uint64_t Now() const { return nowMs_; }
    // Starts an exposure and advances in `stepMs` steps until the frame is ready (at most
    // limitMs); then fetches it.
    Frame Expose(ZorvaneHandle h, float seconds, uint64_t stepMs = 5, uint64_t limitMs = 600000);
    bool RunUntilReady(ZorvaneHandle h, uint64_t stepMs = 5, uint64_t limitMs = 600000);
    Frame Fetch(ZorvaneHandle h);

    SimApi& api = SimApi::Get();

private:
    uint64_t nowMs_ = 0;
};

// Quiet, fixed conditions for tests that measure pixels.
inline constexpr const char* kStill = "drift=0;pe=0;";

}  // namespace zorvane::test
