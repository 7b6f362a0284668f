#include <gtest/gtest.h>

#include "support/AppBench.h"
#include "app/SettingsController.h"
#include "settings/QuickPresets.h"
#include "view/ImageView.h"

namespace zorvane {
namespace {

using test::ReadText;
using test::AppBench;
using test::WriteText;

TEST(SettingsControllerTest, FirstStartUsesTheDefaultsAndNamesTheQuickMenu) {
    AppBench b;
    b.Start();
    ASSERT_TRUE(b.app->IsConnected());
    const ExposureSettings& e = b.Exposure();
    EXPECT_FLOAT_EQ(e.exposure, 0.01f);
    EXPECT_EQ(e.binX, 1);
    EXPECT_EQ(e.binY, 0);
    EXPECT_EQ(e.subX, 0);
    EXPECT_EQ(e.subWidth, 640);
    EXPECT_EQ(e.subHeight, 480);
    EXPECT_FALSE(e.rotate180);
    EXPECT_FALSE(b.app->Saver().Settings().autosave);
    EXPECT_EQ(b.app->Saver().Settings().savePath, b.dir.Path() + "/Capture.fit");
    EXPECT_FLOAT_EQ(b.app->View().Gamma(), 1.0f);
    EXPECT_TRUE(b.app->View().Aspect());
    EXPECT_TRUE(b.app->View().AutoLevel());
    EXPECT_EQ(b.app->Focus().searchRadius, 15);
    EXPECT_EQ(b.app->Guiding().guideCalTime, 3000);
    EXPECT_EQ(b.app->Window().right, 600);
    EXPECT_TRUE(b.app->DialogsToReopen().empty());
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerMaximise));
    EXPECT_EQ(b.ui.quickItems[0], "0.1 sec 1x1\tF1");
    EXPECT_EQ(b.ui.quickItems[7], "10 sec 2x2\tF8");
    // The exposure dialog's model follows the loaded settings.
    EXPECT_EQ(b.exposure->Model().controls.width, "640");
}

TEST(SettingsControllerTest, ExitSaveComesBackAtTheNextStart) {
    std::string saved;
    {
        AppBench b;
        b.Start();
        b.Exposure().exposure = 2.5f;
        b.Exposure().rotate180 = true;
        b.Exposure().binX = 4;  // stored, but not read at start
        b.app->Header().object = "M 31";
        b.app->Focus().searchRadius = 22;
        b.app->Cooler().SetSetpointValue(-1000);
        b.app->View().SetGamma(2.0f);
        b.app->View().SetZoom(3);
        b.app->View().SetPan(12, -7);
        b.app->Window() = WindowPlacement{10, 20, 810, 620, true};
        b.app->Presets()[1] = QuickPreset{"Focus", 6};
        ModelessDialogState& exp = b.app->Placement(AppDialog::Exposure);
        exp.exists = true;
        exp.visible = true;
        exp.left = 700;
        exp.top = 40;
        b.app->View().SetDisplayDialogExists(true);
        b.app->View().SetDisplayDialogPlacement(DialogPlacement{5, 6, true});
        ASSERT_TRUE(b.settings->SaveAtExit());
        saved = ReadText(b.iniPath);
    }
    AppBench b;
    WriteText(b.iniPath, saved);
    b.Start();
    EXPECT_FLOAT_EQ(b.Exposure().exposure, 2.5f);
    EXPECT_TRUE(b.Exposure().rotate180);
    EXPECT_EQ(b.Exposure().binX, 1);
    EXPECT_EQ(b.app->Header().object, "M 31");
    EXPECT_EQ(b.app->Focus().searchRadius, 22);
    EXPECT_EQ(b.app->Cooler().SetpointValue(), -1000);
    EXPECT_FLOAT_EQ(b.app->View().Gamma(), 2.0f);
    EXPECT_EQ(b.app->View().ZoomLevel(), 3);
    EXPECT_EQ(b.app->View().PanX(), 12);
    EXPECT_EQ(b.app->Window().left, 10);
    EXPECT_EQ(b.app->Window().bottom, 620);
    EXPECT_EQ(b.ui.quickItems[1], "Focus\tF2");
    EXPECT_EQ(b.app->Presets()[1].flags, 6);
    // Dialogs open at the last exit open again, at their place.
    EXPECT_EQ(b.app->DialogsToReopen(), std::vector<AppDialog>{AppDialog::Exposure});
    EXPECT_EQ(b.app->Placement(AppDialog::Exposure).left, 700);
    EXPECT_TRUE(b.app->View().DispDialogShow());
    EXPECT_EQ(b.app->View().DispDialogLeft(), 5);
    // The window was maximised: timer 3 maximises it once.
    EXPECT_EQ(b.loop.RequestedPeriod(kTimerMaximise), 100);
    b.loop.Advance(150);
    EXPECT_EQ(b.ui.maximised, 1);
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerMaximise));
}

TEST(SettingsControllerTest, FirstStartF5TakesOneShortBinnedExposure) {
    AppBench b;
    b.Start();
    b.app->View().SetSelection({100, 50}, {300, 250});
    b.app->View().SetZoom(2);
    b.app->View().SetPan(30, 40);
    b.sim.ClearCallLog();

    b.settings->ApplyQuickPreset(5);
    const ExposureSettings& e = b.Exposure();
    EXPECT_FLOAT_EQ(e.exposure, 0.1f);
    EXPECT_EQ(e.binX, 2);
    EXPECT_EQ(e.EffectiveBinY(), 2);
    EXPECT_EQ(e.subX, 100);
    EXPECT_EQ(e.subWidth, 200);
    EXPECT_EQ(b.app->View().ZoomLevel(), 2);
    EXPECT_EQ(b.app->View().PanX(), 30);
    EXPECT_TRUE(b.app->Cycle().Exposing());
    EXPECT_FALSE(b.app->Cycle().Looping());
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), 1);
    EXPECT_NE(b.sim.CallLog().find("ZorvaneBin(2,2)"), std::string::npos);
}

TEST(SettingsControllerTest, ExposureOnlyPresetWithoutStartChangesOnlyItsValues) {
    AppBench b;
    b.Start();
    ExposureSettings& e = b.Exposure();
    e.exposure = 3.0f;
    e.delay = 1.5f;
    e.binX = 3;
    b.app->Saver().Settings().autosave = true;
    ASSERT_TRUE(b.settings->SaveQuickPreset(2, "Slow", quick::kRestoreExposure));

    e.exposure = 0.2f;
    e.delay = 0.0f;
    e.binX = 1;
    b.app->Saver().Settings().autosave = false;
    b.app->View().SetSelection({10, 10}, {110, 60});
    b.app->View().SetZoom(-1);
    b.sim.ClearCallLog();

    b.settings->ApplyQuickPreset(2);
    EXPECT_FLOAT_EQ(e.exposure, 3.0f);
    EXPECT_FLOAT_EQ(e.delay, 1.5f);
    EXPECT_EQ(e.binX, 3);
    EXPECT_TRUE(b.app->Saver().Settings().autosave);
    EXPECT_EQ(e.subX, 10);
    EXPECT_EQ(e.subWidth, 100);
    EXPECT_EQ(b.app->View().ZoomLevel(), -1);
    EXPECT_FALSE(b.app->Cycle().Exposing());
    EXPECT_FALSE(b.app->Cycle().Looping());
    EXPECT_EQ(b.sim.CallCount("ZorvaneStartExposure"), 0);
}

TEST(SettingsControllerTest, LockedPresetKeepsExposureButStillRestoresTheRestAndStarts) {
    AppBench b;
    b.Start();
    ExposureSettings& e = b.Exposure();
    e.exposure = 4.0f;
    e.binX = 2;
    b.app->View().SetSelection({0, 0}, {320, 240});
    b.app->View().SetZoom(-2);
    b.app->View().SetPan(5, 6);
    b.app->Saver().Settings().autosave = true;
    ASSERT_TRUE(b.settings->SaveQuickPreset(
        7, "All", quick::kRestoreExposure | quick::kRestoreSubframe | quick::kStartLoop));

    e.exposure = 0.5f;
    e.binX = 1;
    b.app->View().SetSelection({0, 0}, {0, 0});
    b.app->View().SetZoom(1);
    b.app->View().SetPan(0, 0);
    b.app->Saver().Settings().autosave = false;
    b.app->ToggleLock();
    ASSERT_TRUE(e.lockExposure);

    b.settings->ApplyQuickPreset(7);
    EXPECT_FLOAT_EQ(e.exposure, 0.5f);
    EXPECT_EQ(e.binX, 1);
    EXPECT_EQ(e.subWidth, 640);
    EXPECT_TRUE(b.app->Saver().Settings().autosave);
    EXPECT_EQ(b.app->View().ZoomLevel(), -2);
    EXPECT_EQ(b.app->View().PanX(), 5);
    EXPECT_TRUE(b.app->Cycle().Looping());
}

TEST(SettingsControllerTest, SavedPresetRenamesItsMenuItem) {
    AppBench b;
    b.Start();
    ASSERT_TRUE(b.settings->SaveQuickPreset(3, "Guide 2s", quick::kRestoreExposure));
    EXPECT_EQ(b.ui.quickItems[2], "Guide 2s\tF3");
    EXPECT_EQ(b.ui.quickItems[1], "1 sec 1x1\tF2");
    IniDocument doc;
    ASSERT_TRUE(doc.Load(b.iniPath));
    EXPECT_EQ(doc.GetString("Quick", "Name3", ""), "Guide 2s");

    // Without a "&Quick" menu the preset is still stored and still works.
    b.ui.hasQuickMenu = false;
    b.Exposure().exposure = 2.0f;
    ASSERT_TRUE(b.settings->SaveQuickPreset(4, "Two", quick::kRestoreExposure));
    EXPECT_EQ(b.ui.quickItems[3], "10 sec 1x1\tF4");
    EXPECT_EQ(b.settings->Presets()[3].title, "Two");
    b.Exposure().exposure = 0.3f;
    b.settings->ApplyQuickPreset(4);
    EXPECT_FLOAT_EQ(b.Exposure().exposure, 2.0f);
}

TEST(SettingsControllerTest, PresetBinningIsLimitedToTheCamera) {
    AppBench b("size=640x480;maxbin=4x2");
    WriteText(b.iniPath, "[Camera8]\nBinX=8\nBinY=6\n");
    b.Start();
    b.settings->ApplyQuickPreset(8);
    EXPECT_EQ(b.Exposure().binX, 4);
    EXPECT_EQ(b.Exposure().binY, 2);
    EXPECT_FLOAT_EQ(b.Exposure().exposure, 10.0f);
}

TEST(SettingsControllerTest, NoPresetStartsWithoutACamera) {
    AppBench b;
    b.Start();
    b.app->ConnectOrDisconnect();
    ASSERT_FALSE(b.app->IsConnected());
    b.settings->ApplyQuickPreset(1);
    EXPECT_FLOAT_EQ(b.Exposure().exposure, 0.1f);
    EXPECT_FALSE(b.app->Cycle().Exposing());
}

}  // namespace
}  // namespace zorvane
