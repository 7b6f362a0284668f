#include <gtest/gtest.h>

#include <filesystem>

#include "support/AppBench.h"
#include "app/ExposureDialogController.h"
#include "view/ImageView.h"

namespace zorvane {
namespace {

using namespace exposure_ids;
using test::ScriptedPrompts;
using test::AppBench;

class ExposureDialogControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        b.Start();
        ASSERT_TRUE(b.app->IsConnected());
        b.exposure->Refresh();
    }
    ExposureControls& Controls() { return b.exposure->Model().controls; }

    AppBench b;
};

TEST_F(ExposureDialogControllerTest, ApplyTakesTheFieldsThroughTheCyclesRules) {
    Controls().exposure = "0";
    Controls().binX = 1;
    Controls().binY = 0;  // "=X"
    Controls().startX = "100";
    Controls().startY = "50";
    Controls().width = "200";
    Controls().height = "100";
    Controls().dark = true;
    Controls().inCamPrecharge = false;  // precharge mode 2: FIFO cannot stay on
    Controls().fifo = true;
    b.sim.ClearCallLog();
    b.exposure->Apply();

    const ExposureSettings& e = b.Exposure();
    EXPECT_FLOAT_EQ(e.exposure, 0.001f);
    EXPECT_EQ(Controls().exposure, "0.001");
    EXPECT_EQ(e.binX, 2);
    EXPECT_EQ(e.binY, 0);
    EXPECT_EQ(e.prechargeMode, 2);
    EXPECT_FALSE(e.fifo);
    EXPECT_FALSE(Controls().fifo);
    EXPECT_TRUE(e.dark);
    EXPECT_EQ(b.sim.CallCount("ZorvaneSetDarkMode"), 1);
    EXPECT_TRUE(b.app->Cycle().SettingsChanged());
    // The subframe reaches the view as its selection.
    EXPECT_EQ(b.app->View().Selection(), (Rect{100, 50, 300, 150}));
    EXPECT_EQ(e.subWidth, 200);

    // Dark stays on: the camera is not told again. The whole sensor shows no selection.
    b.exposure->OnFullFrame();
    EXPECT_EQ(b.sim.CallCount("ZorvaneSetDarkMode"), 1);
    EXPECT_TRUE(b.app->View().Selection().IsEmpty());
    EXPECT_EQ(e.subX, 0);
    EXPECT_EQ(e.subWidth, 640);
    EXPECT_EQ(Controls().width, "640");
}

TEST_F(ExposureDialogControllerTest, RefusedValueIsReportedAndTheRestStillApplies) {
    Controls().exposure = "2";
    Controls().delay = "abc";
    Controls().width = "50";
    b.exposure->Apply();
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text, "Please enter a number.");
    EXPECT_EQ(b.prompts.messages[0].caption, "Zorvane Capture");
    EXPECT_FLOAT_EQ(b.Exposure().exposure, 2.0f);  // taken before the refused field
    EXPECT_FLOAT_EQ(b.Exposure().delay, 0.0f);
    EXPECT_EQ(b.Exposure().subWidth, 640);  // after it: not taken

    Controls().delay = "0";
    Controls().exposure = "10001";
    b.exposure->Apply();
    ASSERT_EQ(b.prompts.messages.size(), 2u);
    EXPECT_EQ(b.prompts.messages[1].text, "Please enter a number between 0 and 10000.");
    EXPECT_FLOAT_EQ(b.Exposure().exposure, 2.0f);
}

// The steps and rounding are the model's (ExposureDialogModelTest); here only that a click
// shows its result and applies it.
TEST_F(ExposureDialogControllerTest, SpinButtonsChangeTheExposureAndApply) {
    Controls().exposure = "5.25";
    b.exposure->OnSpin(ExposureSpin::Seconds, true);
    EXPECT_EQ(Controls().exposure, "6.3");
    EXPECT_FLOAT_EQ(b.Exposure().exposure, 6.3f);
}

TEST_F(ExposureDialogControllerTest, LockFromTheDialogOrTheMenuKeepsWhatIsBeingTyped) {
    b.exposure->Attach(nullptr, &b.loop);  // the typing timer runs on the virtual clock
    Controls().lock = true;
    b.exposure->Apply();
    EXPECT_TRUE(b.Exposure().lockExposure);
    EXPECT_FALSE(Controls().lockedControlsEnabled);

    b.app->ToggleLock();  // the menu's "Loc&k exp"
    EXPECT_FALSE(Controls().lock);
    EXPECT_TRUE(Controls().lockedControlsEnabled);

    // Ctrl+K within two seconds of typing: the typed exposure is taken, not thrown away.
    Controls().exposure = "2.5";
    b.exposure->OnEdited(kExposureEdit);
    ASSERT_TRUE(b.loop.IsTimerSet(kTimerDialogEdit));
    b.app->ToggleLock();
    EXPECT_TRUE(b.Exposure().lockExposure);
    EXPECT_FLOAT_EQ(b.Exposure().exposure, 2.5f);
    EXPECT_EQ(Controls().exposure, "2.5");
    EXPECT_TRUE(Controls().lock);
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerDialogEdit));
    b.exposure->Detach();
}

// How the next folder is named is the saver's rule (ImageSaverTest); here only that the dialog
// shows the result and that the request lives until the next apply.
TEST_F(ExposureDialogControllerTest, NextDirectoryShowsTheMovedSavePath) {
    Controls().savePath = b.dir.Path() + "/night/m31.fit";
    Controls().sequenceNumber = "17";
    b.exposure->OnNextDir();
    EXPECT_NE(b.app->Saver().Settings().savePath, b.dir.Path() + "/night/m31.fit");
    EXPECT_EQ(Controls().savePath, b.app->Saver().Settings().savePath);
    EXPECT_EQ(Controls().sequenceNumber, "0");
    EXPECT_FALSE(b.exposure->Model().nextDirRequested);

    // A name without a folder cannot move: a beep, and the typed values are still taken.
    Controls().savePath = "m31.fit";
    Controls().sequenceNumber = "5";
    b.exposure->OnNextDir();
    EXPECT_EQ(b.prompts.beeps, std::vector<BeepKind>{BeepKind::Exclamation});
    EXPECT_EQ(b.app->Saver().Settings().savePath, "m31.fit");
    EXPECT_EQ(b.app->Saver().Settings().sequenceNumber, 5);
}

TEST_F(ExposureDialogControllerTest, BrowseTakesTheChosenNameUnchanged) {
    Controls().savePath = "/data/run/m31.TIF";
    b.prompts.saveResults.push_back(ScriptedPrompts::Chosen("/data/other/shot.png", 1));
    b.exposure->OnBrowse();
    ASSERT_EQ(b.prompts.saveRequests.size(), 1u);
    const FileDialogRequest& r = b.prompts.saveRequests[0];
    EXPECT_EQ(r.title, "Save images as...");
    EXPECT_EQ(r.initialPath, "/data/run/m31.TIF");
    EXPECT_EQ(r.presetFilter, 2);
    ASSERT_EQ(r.filters.size(), 3u);
    EXPECT_EQ(r.filters[0].name, "Fits (16 bit)");
    EXPECT_EQ(b.app->Saver().Settings().savePath, "/data/other/shot.png");

    // Cancel changes nothing.
    b.exposure->OnBrowse();
    EXPECT_EQ(b.app->Saver().Settings().savePath, "/data/other/shot.png");
    EXPECT_EQ(Controls().savePath, "/data/other/shot.png");
}

TEST_F(ExposureDialogControllerTest, AutoExposureTextShowsInTheExposureBox) {
    b.exposure->SetExposureText(0.024f);
    EXPECT_EQ(Controls().exposure, "0.024");
    b.exposure->SetExposureText(120.5f);
    EXPECT_EQ(Controls().exposure, "120.5");
}

}  // namespace
}  // namespace zorvane
