#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "camera/CameraLibrary.h"
#include "fixtures/FixtureProbe.h"
#include "fixtures/TempDir.h"
#include "support/ScriptedPrompts.h"

namespace zorvane {
namespace {

using test::EnvOverride;
using test::FakeCameraProbe;
using test::FixtureDir;
using test::IsResident;
using test::ReadText;
using test::ScriptedPrompts;
using test::TempDir;

const char* const kEveryEntryPoint[] = {
    "ZorvaneAPIVersion",
    "ZorvaneDeviceIsCamera",
    "ZorvaneDeviceSerial",
    "ZorvaneSetupDialog",
    "ZorvaneConnect",
    "ZorvaneDisconnect",
    "ZorvaneIsConnected",
    "ZorvaneProperties",
    "ZorvaneColourProperties",
    "ZorvaneAutoAdjustBlackLevel",
    "ZorvaneGetBin",
    "ZorvaneGetMaxBin",
    "ZorvaneGetSubframe",
    "ZorvaneSubframePos",
    "ZorvaneSubframeSize",
    "ZorvaneBin",
    "ZorvaneGetAmplifierSwitched",
    "ZorvaneSetAmplifierSwitched",
    "ZorvanePrechargeMode",
    "ZorvaneFIFO",
    "ZorvaneHighPriority",
    "ZorvaneGetProcessing",
    "ZorvaneSetProcessing",
    "ZorvaneTriggeredExposure",
    "ZorvaneSetPreview",
    "ZorvaneSetSubSample",
    "ZorvaneSetDarkMode",
    "ZorvaneExposureReadyCallback",
    "ZorvaneStartExposure",
    "ZorvaneStopExposure",
    "ZorvaneAbortExposure",
    "ZorvaneImageReady",
    "ZorvaneCameraState",
    "ZorvaneExposureTimeRemaining",
    "ZorvaneDownloadPercent",
    "ZorvaneLastExposureDuration",
    "ZorvaneLastStartTime",
    "ZorvaneLastStartTimeMilliseconds",
    "ZorvaneGetImageData",
    "ZorvaneImageBuffer",
    "ZorvaneClearVRegs",
    "ZorvanePulseGuide",
    "ZorvaneTemperatureSensorInfo",
    "ZorvaneCoolingInfo",
    "ZorvaneSetCooling",
    "ZorvaneCoolerWarmUp",
    "ZorvaneDiagnosticUSBError",
};

// Calls every forwarder once; returns the names of those whose result, or whose out-arguments,
// show that something answered (the rest gave the neutral result and left the arguments alone).
std::vector<std::string> CallEveryEntryPoint(CameraLibrary& lib, ZorvaneHandle h) {
    std::vector<std::string> answered;
    auto note = [&](const char* name, bool neutral) {
        if (!neutral) answered.push_back(name);
    };
    constexpr int32_t kUnset = 12345;
    int32_t a = kUnset, b = kUnset, c = kUnset, d = kUnset, e = kUnset, f = kUnset;
    auto untouched = [&] {
        const bool all =
            a == kUnset && b == kUnset && c == kUnset && d == kUnset && e == kUnset && f == kUnset;
        a = b = c = d = e = f = kUnset;
        return all;
    };

    note("ZorvaneAPIVersion", lib.ZorvaneAPIVersion() == 0);
    note("ZorvaneDeviceIsCamera", !lib.ZorvaneDeviceIsCamera(0));
    char serial[40];
    std::memset(serial, '#', sizeof serial);
    note("ZorvaneDeviceSerial", !lib.ZorvaneDeviceSerial(0, serial) && serial[0] == '#');
    lib.ZorvaneSetupDialog();
    note("ZorvaneConnect", lib.ZorvaneConnect(0) == nullptr);
    note("ZorvaneIsConnected", !lib.ZorvaneIsConnected(h));
    CameraProperties props;
    std::memset(&props, 0x5A, sizeof props);
    note("ZorvaneProperties", lib.ZorvaneProperties(h, &props) == 0 && props.pixelsX == 0x5A5A5A5A);
    note("ZorvaneColourProperties",
         lib.ZorvaneColourProperties(h, &a, &b, &c, &d, &e) == 0 && untouched());
    lib.ZorvaneAutoAdjustBlackLevel(h, true);
    lib.ZorvaneGetBin(h, &a, &b);
    note("ZorvaneGetBin", untouched());
    lib.ZorvaneGetMaxBin(h, &a, &b);
    note("ZorvaneGetMaxBin", untouched());
    lib.ZorvaneGetSubframe(h, &a, &b, &c, &d);
    note("ZorvaneGetSubframe", untouched());
    lib.ZorvaneSubframePos(h, 1, 2);
    lib.ZorvaneSubframeSize(h, 3, 4);
    lib.ZorvaneBin(h, 2, 2);
    note("ZorvaneGetAmplifierSwitched", !lib.ZorvaneGetAmplifierSwitched(h));
    lib.ZorvaneSetAmplifierSwitched(h, true);
    lib.ZorvanePrechargeMode(h, 1);
    lib.ZorvaneFIFO(h, true);
    lib.ZorvaneHighPriority(h, false);
    note("ZorvaneGetProcessing", lib.ZorvaneGetProcessing(h) == 0);
    lib.ZorvaneSetProcessing(h, 2);
    lib.ZorvaneTriggeredExposure(h, false);
    lib.ZorvaneSetPreview(h, false);
    lib.ZorvaneSetSubSample(h, false);
    lib.ZorvaneSetDarkMode(h, false);
    lib.ZorvaneExposureReadyCallback(h, nullptr, 0, 0, 0);
    lib.ZorvaneStartExposure(h, 0.01f);
    lib.ZorvaneStopExposure(h);
    lib.ZorvaneAbortExposure(h);
    note("ZorvaneImageReady", !lib.ZorvaneImageReady(h));
    note("ZorvaneCameraState", lib.ZorvaneCameraState(h) == 0);
    note("ZorvaneExposureTimeRemaining", lib.ZorvaneExposureTimeRemaining(h) == 0.0f);
    note("ZorvaneDownloadPercent", lib.ZorvaneDownloadPercent(h) == 0);
    note("ZorvaneLastExposureDuration", lib.ZorvaneLastExposureDuration(h) == 0.0f);
    note("ZorvaneLastStartTime", lib.ZorvaneLastStartTime(h) == nullptr);
    note("ZorvaneLastStartTimeMilliseconds", lib.ZorvaneLastStartTimeMilliseconds(h) == 0);
    lib.ZorvaneGetImageData(h, &a, &b, &c, &d, &e, &f);
    note("ZorvaneGetImageData", untouched());
    note("ZorvaneImageBuffer", lib.ZorvaneImageBuffer(h) == nullptr);
    lib.ZorvaneClearVRegs(h);
    lib.ZorvanePulseGuide(h, 0, 100);
    note("ZorvaneTemperatureSensorInfo",
         lib.ZorvaneTemperatureSensorInfo(h, 0, &a) == 0 && untouched());
    note("ZorvaneCoolingInfo", lib.ZorvaneCoolingInfo(h, &a, &b, &c, &d, &e) == 0 && untouched());
    lib.ZorvaneSetCooling(h, 500);
    lib.ZorvaneCoolerWarmUp(h);
    note("ZorvaneDiagnosticUSBError", lib.ZorvaneDiagnosticUSBError(h) == 0);
    note("ZorvaneDisconnect", !lib.ZorvaneDisconnect(h));
    return answered;
}

std::vector<std::string> ResolvedEntryPoints(const CameraLibrary& lib) {
    std::vector<std::string> resolved;
    for (const char* name : kEveryEntryPoint) {
        if (lib.IsResolved(name)) resolved.push_back(name);
    }
    return resolved;
}

void ExpectNoCameraMessage(const ScriptedPrompts& prompts) {
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "No available camera");
    EXPECT_EQ(prompts.messages[0].caption, "Zorvane Capture");
    EXPECT_EQ(prompts.messages[0].buttons, MessageButtons::Ok);
}

TEST(CameraLibraryChoice, ScanTakesTheFirstCandidateWithACameraAndKeepsOnlyIt) {
    CameraLibrary lib({FixtureDir("both")});
    ScriptedPrompts prompts;
    EXPECT_EQ(lib.ChooseCamera(prompts), 0);
    EXPECT_EQ(lib.LoadedName(), "ZorvaneCCD.dll");
    EXPECT_EQ(lib.LibraryVersionText(), "Using ZorvaneCCD.dll v11");
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(IsResident("both", "ZorvaneCCD.dll"));
    EXPECT_FALSE(IsResident("both", "ZorvaneHSC.dll"));
}

TEST(CameraLibraryChoice, FindsACameraAtDeviceThreeOfTheSecondCandidate) {
    CameraLibrary lib({FixtureDir("second3")});
    ScriptedPrompts prompts;
    EXPECT_EQ(lib.ChooseCamera(prompts), 3);
    EXPECT_EQ(lib.LoadedName(), "ZorvaneHSC.dll");
    EXPECT_EQ(lib.LibraryVersionText(), "Using ZorvaneHSC.dll v12");
    EXPECT_FALSE(IsResident("second3", "ZorvaneCCD.dll")) << "a scanned candidate stays loaded";
}

TEST(CameraLibraryChoice, NoCameraWithinTheFirstSixteenDevicesOrNoLibraryAtAll) {
    for (const std::string& dir : {FixtureDir("device16"), std::string("/nonexistent")}) {
        SCOPED_TRACE(dir);
        CameraLibrary lib({dir});
        ScriptedPrompts prompts;
        EXPECT_EQ(lib.ChooseCamera(prompts), -1);
        EXPECT_EQ(lib.LibraryVersionText(), "");
        EXPECT_FALSE(lib.IsLoaded());
        ExpectNoCameraMessage(prompts);
    }
    EXPECT_FALSE(IsResident("device16", "ZorvaneCCD.dll"));
}

TEST(CameraLibraryChoice, AnIndiCameraAskedForIsNeverReplacedByAnotherCamera) {
    CameraLibrary lib({FixtureDir("indidown")});
    ScriptedPrompts prompts;
    lib.OfferIndiCamera(true);
    // Not found, yet chosen: connecting to it is what reports the failure.
    EXPECT_EQ(lib.ChooseCamera(prompts), 0);
    EXPECT_EQ(lib.LoadedName(), CameraLibrary::kIndiName);
    EXPECT_TRUE(prompts.messages.empty());

    lib.OfferIndiCamera(false);
    EXPECT_EQ(lib.ChooseCamera(prompts), 0);
    EXPECT_EQ(lib.LoadedName(), "ZorvaneCCDDummy.dll");
}

TEST(CameraLibraryChoice, ManagerChoosesAndItsLocksAreReleasedThroughIt) {
    TempDir dir;
    const std::string log = dir.File("manager.log");
    EnvOverride logEnv("ZORVANE_FAKE_MANAGER_LOG", log.c_str());
    CameraLibrary lib({FixtureDir("manager")});
    ScriptedPrompts prompts;

    // The manager's choice stands although a scan would have taken device 0 of the first file.
    EXPECT_EQ(lib.ChooseCamera(prompts), 2);
    EXPECT_EQ(lib.LoadedName(), "ZorvaneHSC.dll");
    EXPECT_EQ(lib.LibraryVersionText(), "Using ZorvaneHSC.dll v12");
    EXPECT_EQ(lib.ManagerLockToken(), 0xC0FFEE42u);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_FALSE(IsResident("manager", "ZorvaneCameraManager.dll"));
    EXPECT_EQ(ReadText(log),
              "choose title=Zorvane Capture "
              "candidates=ZorvaneCCD.dll,ZorvaneHSC.dll,ZorvaneCCDDummy.dll, "
              "reserved=0,0 preset=-1,-1\n");

    lib.ReleaseManagerLocks(lib.ManagerLockToken());
    EXPECT_FALSE(IsResident("manager", "ZorvaneCameraManager.dll"));
    EXPECT_EQ(ReadText(log).substr(ReadText(log).find('\n') + 1), "release 3237998146\n");
}

TEST(CameraLibraryChoice, ManagerIndexOutsideTheCandidateListChoosesNothing) {
    CameraLibrary lib({FixtureDir("managerbad")});
    ScriptedPrompts prompts;
    EXPECT_EQ(lib.ChooseCamera(prompts), -1);
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_EQ(lib.LibraryVersionText(), "");
    EXPECT_EQ(lib.ManagerLockToken(), 7u);  // still handed back when the camera is closed
    EXPECT_TRUE(prompts.messages.empty());  // the manager speaks for itself
}

TEST(CameraLibraryChoice, ManagerWithoutItsExportsChoosesNothingAndScansNothing) {
    CameraLibrary lib({FixtureDir("managerempty")});
    ScriptedPrompts prompts;
    EXPECT_EQ(lib.ChooseCamera(prompts), -1);
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_EQ(lib.LibraryVersionText(), "");
    EXPECT_EQ(lib.ManagerLockToken(), 0u);
    EXPECT_TRUE(prompts.messages.empty());
    lib.ReleaseManagerLocks(5);  // nothing to call; nothing happens
    EXPECT_FALSE(IsResident("managerempty", "ZorvaneCameraManager.dll"));
}

TEST(CameraLibraryEntryPoints, WithoutALibraryEveryCallIsNeutral) {
    CameraLibrary lib({"/nonexistent"});
    EXPECT_FALSE(lib.LoadLibrary("ZorvaneCCD.dll"));
    EXPECT_EQ(lib.LoadedName(), "");
    int dummy = 0;
    EXPECT_TRUE(CallEveryEntryPoint(lib, &dummy).empty());
    EXPECT_TRUE(ResolvedEntryPoints(lib).empty());
}

TEST(CameraLibraryEntryPoints, AMissingEntryPointIsNeutralAndLookedUpOnEveryCall) {
    CameraLibrary lib({FixtureDir("nostate")});
    ScriptedPrompts prompts;
    ASSERT_EQ(lib.ChooseCamera(prompts), 0);
    const ZorvaneHandle h = lib.ZorvaneConnect(0);
    ASSERT_NE(h, nullptr);

    auto lookups = DynamicLibrary::SymbolLookupCount();
    EXPECT_EQ(lib.ZorvaneCameraState(h), 0);
    EXPECT_EQ(lib.ZorvaneCameraState(h), 0);
    EXPECT_FALSE(lib.IsResolved("ZorvaneCameraState"));
    EXPECT_EQ(DynamicLibrary::SymbolLookupCount() - lookups, 2u);

    lookups = DynamicLibrary::SymbolLookupCount();
    EXPECT_EQ(lib.ZorvaneDownloadPercent(h), 40);
    EXPECT_EQ(lib.ZorvaneDownloadPercent(h), 40);
    EXPECT_EQ(DynamicLibrary::SymbolLookupCount() - lookups, 1u) << "a found one is kept";
    EXPECT_TRUE(lib.ZorvaneIsConnected(h));
}

TEST(CameraLibraryEntryPoints, LoadingOrFreeingClearsEveryResolvedEntryPoint) {
    CameraLibrary lib({FixtureDir("both")});
    ASSERT_TRUE(lib.LoadLibrary("ZorvaneCCD.dll"));
    const ZorvaneHandle h = lib.ZorvaneConnect(0);
    ASSERT_NE(h, nullptr);
    CallEveryEntryPoint(lib, h);
    EXPECT_EQ(ResolvedEntryPoints(lib).size(), std::size(kEveryEntryPoint));

    ASSERT_TRUE(lib.LoadLibrary("ZorvaneHSC.dll"));
    EXPECT_TRUE(ResolvedEntryPoints(lib).empty());
    EXPECT_FALSE(IsResident("both", "ZorvaneCCD.dll"));
    EXPECT_EQ(lib.ZorvaneAPIVersion(), 12);  // answered by the new library, not the old pointer

    lib.FreeLibrary();
    EXPECT_TRUE(ResolvedEntryPoints(lib).empty());
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_EQ(lib.LoadedName(), "");
    EXPECT_EQ(lib.ZorvaneAPIVersion(), 0);

    ASSERT_TRUE(lib.LoadLibrary("ZorvaneCCD.dll"));
    EXPECT_FALSE(lib.LoadLibrary("ZorvaneCCDDummy.dll"));  // not in this folder
    EXPECT_FALSE(lib.IsLoaded());
    EXPECT_FALSE(IsResident("both", "ZorvaneCCD.dll"));
}

TEST(CameraLibraryEntryPoints, TruthValuesAreNormalisedAndAbsurdAnswersPassThrough) {
    CameraLibrary lib({FixtureDir("absurd")});
    ScriptedPrompts prompts;
    // The library says "true" as 0x100 and -1.
    ASSERT_EQ(lib.ChooseCamera(prompts), 0);
    const ZorvaneHandle h = lib.ZorvaneConnect(0);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(lib.ZorvaneImageReady(h));
    EXPECT_TRUE(lib.ZorvaneGetAmplifierSwitched(h));
    EXPECT_EQ(lib.ZorvaneImageBuffer(h), nullptr);
    EXPECT_EQ(lib.ZorvaneLastStartTime(h), nullptr);
    int32_t x, y, w, hgt, bx = 9, by = 9;
    lib.ZorvaneGetImageData(h, &x, &y, &w, &hgt, &bx, &by);
    EXPECT_EQ(w, INT32_MAX);
    EXPECT_EQ(hgt, -1);
    EXPECT_EQ(bx, 0);
    EXPECT_EQ(lib.ZorvaneCameraState(h), 77);
}

}  // namespace
}  // namespace zorvane
