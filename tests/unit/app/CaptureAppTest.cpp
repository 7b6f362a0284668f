#include "app/CaptureApp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "core/CommandIds.h"
#include "core/TimerIds.h"
#include "fixtures/TempDir.h"
#include "support/AppBench.h"
#include "view/ImageView.h"

namespace zorvane {
namespace {

using test::AppBench;
using test::ExitRequested;

constexpr const char* kFast = "flush_ms=0;wait_ms=0;download_mpx_s=100";

TEST(CaptureApp, WithoutAnyCameraLibraryItStillStarts) {
    test::TempDir empty;
    AppBench b("");
    b.prompts.answers = {MessageAnswer::Ok, MessageAnswer::Ignore};
    b.Start({empty.Path()});
    ASSERT_EQ(b.prompts.messages.size(), 2u) << "four silent attempts, then one report";
    EXPECT_EQ(b.prompts.messages[0].text, "No available camera");
    EXPECT_EQ(b.prompts.messages[0].caption, "Zorvane Capture");
    EXPECT_EQ(b.prompts.messages[1].text, "Failed to connect to Camera");
    EXPECT_EQ(b.prompts.messages[1].buttons, MessageButtons::AbortRetryIgnore);
    EXPECT_FALSE(b.app->IsConnected());
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_SNAPSHOT).enabled);
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_LOOP).enabled);
    EXPECT_EQ(b.app->GetCommandUi(ids::ID_CAMERA_CONNECT).text, "&Connect");
    EXPECT_EQ(b.app->InfoProtocolText(), "Protocol ver 0.00");
    EXPECT_EQ(b.app->InfoModelText(), "Model: ");
    EXPECT_EQ(b.app->LibraryVersionText(), "");
    EXPECT_EQ(b.app->CameraStatePaneText(), "Idle");
    EXPECT_EQ(b.app->WindowTitle(), "Zorvane Capture - no camera");
}

TEST(CaptureApp, AbortEndsTheProcessWithExitCodeZero) {
    test::TempDir empty;
    AppBench b("");
    b.Create({empty.Path()});
    b.prompts.answers = {MessageAnswer::Ok, MessageAnswer::Abort};
    try {
        b.app->Construct();
        FAIL() << "Abort must end the process";
    } catch (const ExitRequested& e) {
        EXPECT_EQ(e.code, 0);
    }
}

TEST(CaptureApp, RetryChoosesAgainAndCountsAfresh) {
    // The camera refuses five connections: four, a report, then the fifth fails silently and
    // the sixth succeeds.
    AppBench b(std::string(kFast) + ";faults=connect;connect_failures=5");
    b.prompts.answers = {MessageAnswer::Retry};
    b.Start();
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text, "Failed to connect to Camera");
    EXPECT_TRUE(b.app->IsConnected());
    EXPECT_EQ(b.sim.CallCount("ZorvaneConnect"), 6);
    EXPECT_TRUE(b.app->GetCommandUi(ids::ID_CAMERA_SNAPSHOT).enabled);
    EXPECT_EQ(b.app->GetCommandUi(ids::ID_CAMERA_CONNECT).text, "Dis&connect");
    EXPECT_EQ(b.app->LibraryVersionText().rfind("Using ZorvaneCCDDummy.dll v", 0), 0u);
}

TEST(CaptureApp, CreationForcesFourCameraSettingsAndQueriesTheCamera) {
    AppBench b(std::string(kFast) + ";size=999x600;pixel=8.6x8.3");
    b.Start();
    ASSERT_TRUE(b.app->IsConnected());
    const ExposureSettings& e = b.app->Exposure();
    EXPECT_TRUE(e.amplifier);
    EXPECT_EQ(e.prechargeMode, 1);
    EXPECT_TRUE(e.fifo);
    EXPECT_FALSE(e.highPriority);
    EXPECT_EQ(e.binX, 1);
    EXPECT_EQ(e.binY, 0) << "equal binnings are kept as 'same as X'";
    EXPECT_EQ(e.subWidth, 999);
    EXPECT_EQ(e.subHeight, 600);
    EXPECT_EQ(b.app->View().SensorRect(), (Rect{0, 0, 999, 600}));
    EXPECT_FLOAT_EQ(b.app->View().AspectX(), 8.6f / 8.3f);
    EXPECT_EQ(b.app->LastSavedName(), "");
    EXPECT_EQ(b.app->SavedPaneText(), "Not saved");
    // Nobody takes the simulated camera for a real one.
    EXPECT_EQ(b.app->WindowTitle(), "Zorvane Capture - SIM-1392M (simulated)");
}

TEST(CaptureApp, BlackLevelAdjustmentFollowsTheMachineSwitchAndSensorWidth) {
    test::TempDir dir;
    const std::string machine = dir.Path() + "/capture.ini";
    for (const char* value : {"0", "1"}) {
        std::ofstream(machine) << "[Capture]\nDisableBlackLevelAutoAdjustment=" << value << "\n";
        for (int width : {999, 1000}) {
            AppBench b(std::string(kFast) + ";size=" + std::to_string(width) + "x500");
            b.Start({}, machine);
            const bool expected = std::string(value) != "1" && width < 1000;
            EXPECT_NE(b.sim.CallLog().find(std::string("ZorvaneAutoAdjustBlackLevel(") +
                                           (expected ? "1" : "0") + ")"),
                      std::string::npos)
                << "switch " << value << ", width " << width;
        }
    }
}

TEST(CaptureApp, ConnectCommandDisconnectsAndConnectsAgain) {
    AppBench b(std::string(kFast) + ";size=1392x1040");
    b.Start();
    ASSERT_TRUE(b.app->IsConnected());
    b.app->Exposure().exposure = 5.0f;
    b.app->ToggleLoop();
    b.loop.Advance(100);
    ASSERT_TRUE(b.app->Cycle().Exposing());

    b.app->ExecuteCommand(ids::ID_CAMERA_CONNECT);
    EXPECT_FALSE(b.app->Cycle().Looping()) << "the loop stops first";
    EXPECT_FALSE(b.app->IsConnected());
    EXPECT_EQ(b.app->GetCommandUi(ids::ID_CAMERA_CONNECT).text, "&Connect");
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_SNAPSHOT).enabled);
    EXPECT_TRUE(b.app->View().Frame().IsEmpty());
    EXPECT_EQ(b.app->View().SensorRect(), Rect{});
    EXPECT_FALSE(b.app->Cooler().HasControl());

    b.app->ExecuteCommand(ids::ID_CAMERA_CONNECT);
    EXPECT_TRUE(b.app->IsConnected());
    EXPECT_EQ(b.app->GetCommandUi(ids::ID_CAMERA_CONNECT).text, "Dis&connect");
    EXPECT_TRUE(b.app->Cooler().HasControl());
    EXPECT_TRUE(b.prompts.messages.empty());
}

// Regression: a dropped camera left the poll spinning with Snapshot and Loop checked but
// disabled, and Connect freed the library under the handle still held.
TEST(CaptureApp, ACameraThatDropsInAnAutosaveLoopComesBackAtTheNextNumber) {
    AppBench b(std::string(kFast) + ";faults=disconnect;disconnect_after=2");
    b.Start();
    ASSERT_TRUE(b.app->IsConnected());
    b.app->Saver().Settings().savePath = b.dir.File("m31.fit");
    b.app->ExecuteCommand(ids::ID_FILE_AUTOSAVE);
    b.app->Exposure().exposure = 0.5f;
    b.app->Exposure().binX = 2;
    b.app->View().SetSelection({100, 50}, {300, 250});
    b.app->ExecuteCommand(ids::ID_CAMERA_LOOP);
    b.loop.Advance(5000);
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_LOOP).checked);
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_SNAPSHOT).checked);
    EXPECT_EQ(b.app->GetCommandUi(ids::ID_CAMERA_CONNECT).text, "&Connect");
    EXPECT_EQ(b.prompts.beeps.size(), 1u);
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text, ExposureCycle::kCameraLostInLoopText);
    EXPECT_EQ(b.app->Saver().Settings().sequenceNumber, 2);

    b.sim.ClearCallLog();
    b.app->ExecuteCommand(ids::ID_CAMERA_CONNECT);
    const std::string log = b.sim.CallLog();
    const auto disconnect = log.find("ZorvaneDisconnect(");
    ASSERT_NE(disconnect, std::string::npos) << log;
    EXPECT_LT(disconnect, log.find("ZorvaneConnect(")) << log;
    EXPECT_TRUE(b.app->IsConnected());
    EXPECT_TRUE(b.app->Cycle().Looping()) << "the loop goes on";
    EXPECT_EQ(b.app->Exposure().binX, 2) << "with the binning and subframe it had";
    EXPECT_EQ(b.app->Exposure().subX, 100);
    EXPECT_EQ(b.app->Exposure().subWidth, 200);

    b.loop.Advance(5000);  // two more frames, then the camera drops again
    for (const char* name : {"m31_000.fit", "m31_001.fit", "m31_002.fit", "m31_003.fit"})
        EXPECT_TRUE(std::ifstream(b.dir.File(name)).good()) << name;
    EXPECT_EQ(b.app->Saver().Settings().sequenceNumber, 4);
    EXPECT_EQ(b.prompts.messages.size(), 2u);
}

// Regression: a frame autosaved after the exit save took a number the next start offered again.
TEST(CaptureApp, TheExitSaveStopsTheExposuresFirst) {
    AppBench b(kFast);
    b.Start();
    b.app->Saver().Settings().savePath = b.dir.File("m31.fit");
    b.app->ExecuteCommand(ids::ID_FILE_AUTOSAVE);
    b.app->Exposure().exposure = 0.2f;
    b.app->ExecuteCommand(ids::ID_CAMERA_LOOP);
    b.loop.Advance(1000);
    ASSERT_GT(b.app->Saver().Settings().sequenceNumber, 0);
    ASSERT_TRUE(b.settings->SaveAtExit());
    const int stored = b.app->Saver().Settings().sequenceNumber;
    EXPECT_FALSE(b.app->Cycle().Looping());
    b.loop.Advance(2000);
    EXPECT_EQ(b.app->Saver().Settings().sequenceNumber, stored);
}

// Regression: a quick preset that stopped a high-speed loop left "High-speed imaging" on show.
TEST(CaptureApp, AQuickPresetEndsTheHighSpeedText) {
    AppBench b(kFast);
    b.Start();
    b.app->Exposure().preview = true;
    b.app->Exposure().exposure = 0.02f;
    b.app->ExecuteCommand(ids::ID_CAMERA_LOOP);
    b.loop.Advance(200);
    ASSERT_EQ(b.app->CameraStatePaneText(), "High-speed imaging");
    b.settings->ApplyQuickPreset(2);
    b.loop.Advance(2000);
    EXPECT_FALSE(b.app->Cycle().Looping());
    EXPECT_EQ(b.app->CameraStatePaneText(), "Idle");
    // The next snapshot waits on the poll again and gets its frame.
    b.app->Exposure().exposure = 0.5f;
    b.app->ExecuteCommand(ids::ID_CAMERA_SNAPSHOT);
    ASSERT_TRUE(b.app->Cycle().Exposing());
    b.loop.Advance(2000);
    EXPECT_FALSE(b.app->Cycle().Exposing());
    EXPECT_EQ(b.app->View().Frame().Width, b.SensorWidth());
}

TEST(CaptureApp, AFailedDisconnectOffersAbortRetryIgnore) {
    AppBench b(std::string(kFast) + ";faults=disconnect_fails");
    b.Start();
    ASSERT_TRUE(b.app->IsConnected());
    b.prompts.answers = {MessageAnswer::Retry, MessageAnswer::Ignore};
    b.app->ExecuteCommand(ids::ID_CAMERA_CONNECT);
    ASSERT_EQ(b.prompts.messages.size(), 2u);
    EXPECT_EQ(b.prompts.messages[0].text, "Can't connect");
    EXPECT_EQ(b.prompts.messages[0].buttons, MessageButtons::AbortRetryIgnore);
    EXPECT_EQ(b.sim.CallCount("ZorvaneDisconnect"), 2) << "Retry repeats the disconnect";
    EXPECT_TRUE(b.app->IsConnected()) << "Ignore keeps the camera";

    b.prompts.answers = {MessageAnswer::Abort};
    EXPECT_THROW(b.app->ExecuteCommand(ids::ID_CAMERA_CONNECT), ExitRequested);
}

TEST(CaptureApp, SnapshotShowsAFrameAndTheStatusFollowsTheCamera) {
    AppBench b(std::string(kFast) + ";size=1392x1040;download_mpx_s=1");
    b.Start();
    b.app->Exposure().exposure = 2.0f;
    b.app->ExecuteCommand(ids::ID_CAMERA_SNAPSHOT);
    EXPECT_TRUE(b.app->GetCommandUi(ids::ID_CAMERA_SNAPSHOT).checked);
    b.loop.Advance(500);
    EXPECT_EQ(b.app->CameraStatePaneText(), "Exp. 1 sec");
    EXPECT_TRUE(b.app->CameraStatePaneActive());
    b.loop.Advance(1600);
    EXPECT_EQ(b.app->CameraStatePaneText().rfind("Downloading: ", 0), 0u)
        << b.app->CameraStatePaneText();
    ASSERT_TRUE(b.loop.RunUntil([&] { return !b.app->View().Frame().IsEmpty(); }, 5000));
    EXPECT_EQ(b.app->CameraStatePaneText(), "Idle");
    EXPECT_EQ(b.app->View().Frame().Width, 1392);
    EXPECT_EQ(b.app->SavedPaneText(), "Not saved");
    EXPECT_FALSE(b.app->StartTimeText().empty());
    EXPECT_EQ(b.app->StartTimeText().front(), '\'');
}

TEST(CaptureApp, UsbErrorsRaiseTheWarningOncePerOpenDialog) {
    AppBench b(std::string(kFast) + ";faults=usb");
    b.Start();
    EXPECT_FALSE(b.app->CheckUsbError()) << "no errors before the first exposure";
    b.app->Snapshot();
    b.loop.Advance(500);
    EXPECT_TRUE(b.app->CheckUsbError());
    EXPECT_FALSE(b.app->CheckUsbError()) << "the dialog is open";
    b.app->UsbErrorDialogClosed();
    EXPECT_TRUE(b.app->CheckUsbError()) << "errors persist: it comes back";
}

TEST(CaptureApp, SubframeCommandArmsAndClearsTheSelection) {
    AppBench b(std::string(kFast) + ";size=1392x1040");
    b.Start();
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_SUBFRAME).checked);
    b.app->ExecuteCommand(ids::ID_CAMERA_SUBFRAME);
    EXPECT_TRUE(b.app->SubframeMode());
    EXPECT_TRUE(b.app->View().DefineMode());
    b.app->View().SetSelection({100, 50}, {300, 250});
    EXPECT_FALSE(b.app->SubframeMode()) << "taking a subframe ends the mode";
    EXPECT_EQ(b.app->Exposure().subX, 100);
    EXPECT_EQ(b.app->Exposure().subWidth, 200);
    EXPECT_TRUE(b.app->GetCommandUi(ids::ID_CAMERA_SUBFRAME).checked);
    b.app->ExecuteCommand(ids::ID_CAMERA_SUBFRAME);
    EXPECT_EQ(b.app->Exposure().subWidth, 1392) << "back to the full sensor";
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_SUBFRAME).checked);

    b.app->ExecuteCommand(ids::ID_CAMERA_LOCK);
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_SUBFRAME).enabled);
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_CAMERA_SET_EXP).enabled);
    EXPECT_TRUE(b.app->GetCommandUi(ids::ID_CAMERA_LOCK).checked);
}

TEST(CaptureApp, CameraInformationTexts) {
    AppBench b(std::string(kFast) + ";size=1392x1040");
    b.Start();
    EXPECT_EQ(b.app->InfoProtocolText(), "Protocol ver 1.03");
    EXPECT_EQ(b.app->InfoModelText().rfind("Model: ", 0), 0u);
    EXPECT_GT(b.app->InfoModelText().size(), 7u);
    EXPECT_EQ(b.app->InfoSerialText().rfind("Serial: ", 0), 0u);
    EXPECT_GT(b.app->InfoSerialText().size(), 8u);
}

}  // namespace
}  // namespace zorvane
