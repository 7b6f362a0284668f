#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/SettingsController.h"
#include "settings/QuickPresets.h"
#include "support/AppBench.h"
#include "view/ImageView.h"

namespace zorvane {
namespace {

using test::AppBench;
using test::ReadText;
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

// Every key the start-up reads, none at its default, in the exit save's order and format: the
// exit save must give back exactly these bytes. The keys the start does not read hold what the
// main settings always start with (FIFO is forced on); the dialog sections, the calibration and
// CameraRelays are not written without their dialogs and must survive untouched.
std::string GoldenSettings(const std::string& savePath) {
    return "[Filenames]\nSaveFile=" + savePath +
           "\nSequence=17\nSequenceFormat=3\n"
           "[Quick]\nName1=Moon\nSnap1=2\nName2=Jupiter 2x2\nSnap2=12\nName3=Flat\nSnap3=8\n"
           "Name4=Dark 60s\nSnap4=9\nName5=Focus\nSnap5=6\nName6=Guide\nSnap6=1\n"
           "Name7=M 42\nSnap7=0\nName8=\" padded \"\nSnap8=13\n"
           "[Camera]\nExposure=2.500000\nExposureDelay=1.250000\nRotate=1\nAmpOff=1\n"
           "PrechargeMode=1\nFIFO=1\nPriority=0\nFixBanding=1\nCoolingSetpoint=-1500\nBinX=1\n"
           "BinY=0\nLeft=0\nTop=0\nWidth=640\nHeight=480\nAutosave=0\n"
           "[Display]\nOffsetX=12\nOffsetY=-7\nZoom=2\nGamma=1.500000\nInvert=1\n"
           "NightVision=1\nAspect=0\nReticle=1\nAutoLevel=0\nPreviewMode=2\nUserBayerCode=3\n"
           "[Focus]\nSearch=20\nMeasure=6\n"
           "[Guiding]\nAggressivenessRA=7\nAggressivenessDEC=3\nAxes=2\nMinGuideTime=150\n"
           "MaxGuideTime=2500\nGuideCalTime=4000\nAxisNSX=0.100000\nAxisNSY=0.990000\n"
           "AxisWEX=-0.990000\nAxisWEY=0.100000\nVelNS=2.500000\nVelWE=3.750000\n"
           "CameraRelays=0\nCalibrationRotate=1\nCalibrationCameraRelays=0\nFocalLength=650\n"
           "[Header]\nObserver=A. Observer\nTelescope=200/1000 Newtonian\nObject=\"\"M 31\"\"\n"
           "ExtraTimePrecision=1\n"
           "[Window]\nMaximised=1\nLeft=10\nRight=810\nTop=20\nBottom=620\n"
           "[ExpDialog]\nShow=1\nLeft=700\nTop=40\n[CoolDialog]\nShow=0\nLeft=720\nTop=400\n"
           "[TrackingDialog]\nLeft=30\nTop=500\nExpand=1\n"
           "[DispDialog]\nShow=1\nLeft=5\nTop=6\n[SeqDialog]\nShow=0\nLeft=-10000\nTop=-10000\n"
           "[FilterDialog]\nShow=0\nLeft=300\nTop=300\n"
           "[Ascom]\nScopeID=Sim.Telescope\n"
           "[EventServer]\nEnabled=0\nPort=4410\nAllInterfaces=1\n";
}

TEST(SettingsControllerTest, GoldenFileComesBackByteForByte) {
    AppBench b;
    std::string deep = b.dir.Path();
    while (deep.size() < 300) deep += "/a-deep-folder";
    const std::string golden = GoldenSettings(deep + "/m31_.fit");
    WriteText(b.iniPath, golden);
    b.Start();
    EXPECT_EQ(b.app->Header().object, "\"M 31\"");
    EXPECT_EQ(b.app->Presets()[7].title, " padded ");
    EXPECT_EQ(b.app->Guiding().focalLength, 650);
    EXPECT_EQ(b.app->GuiderServer().PortToUse(), 4410);
    EXPECT_FALSE(b.app->GuiderServer().Settings().enabled);
    EXPECT_TRUE(b.app->GuiderServer().Settings().allInterfaces);
    ASSERT_TRUE(b.settings->SaveAtExit());
    EXPECT_EQ(ReadText(b.iniPath), golden);
}

TEST(SettingsControllerTest, AFailedExitSaveIsReportedAndCanBeRetried) {
    AppBench b;
    // A file where the settings folder should be: no folder can be made there, not even by
    // the superuser.
    WriteText(b.dir.File("blocked"), "");
    b.iniPath = b.dir.File("blocked/ZorvaneCapture.ini");
    b.Start();
    b.prompts.answers = {MessageAnswer::Retry, MessageAnswer::Cancel};
    b.settings->SaveAtExitOrAsk(b.prompts);
    ASSERT_EQ(b.prompts.messages.size(), 2u) << "Retry tries again; Cancel closes";
    EXPECT_EQ(b.prompts.messages[0].caption, "Zorvane Capture");
    EXPECT_EQ(b.prompts.messages[0].buttons, MessageButtons::RetryCancel);
    EXPECT_EQ(b.prompts.messages[0].text.rfind("Can't save the settings to " + b.iniPath, 0), 0u);
}

TEST(SettingsControllerTest, AWriteProtectedFileIsReadKeptAndReportedOnce) {
    AppBench b;
    WriteText(b.iniPath, "[Camera]\nExposure=2.000000\n");
    ::chmod(b.iniPath.c_str(), 0444);
    b.Start();
    EXPECT_FLOAT_EQ(b.Exposure().exposure, 2.0f);
    b.settings->SaveAtExitOrAsk(b.prompts);
    b.settings->SaveQuickPreset(1, "Moon", 8);
    b.settings->SaveAtExitOrAsk(b.prompts);
    EXPECT_EQ(ReadText(b.iniPath), "[Camera]\nExposure=2.000000\n");
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text.rfind(b.iniPath + " is write-protected.", 0), 0u);
    EXPECT_EQ(b.prompts.messages[0].buttons, MessageButtons::Ok);
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
