#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <string>
#include <vector>

#include "fixtures/TempDir.h"
#include "settings/QuickPresets.h"
#include "settings/SettingsStore.h"

namespace zorvane {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

class SettingsStoreTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.File("ZorvaneCapture.ini");
    SettingsStore store{path};

    SettingsValues Fresh() const {
        SettingsValues v;
        v.sensorWidth = 1000;
        v.sensorHeight = 800;
        v.homeDirectory = dir.Path() + "/home";
        return v;
    }
    SettingsValues LoadedFrom(const std::string& text) {
        WriteText(path, text);
        SettingsValues v = Fresh();
        store.Load(0, v);
        return v;
    }
};

TEST_F(SettingsStoreTest, NoFileStartsWithEveryDefault) {
    SettingsValues v = Fresh();
    // Whatever the program held before, the start-up load begins from the defaults.
    v.exposure.exposure = 7.0f;
    v.exposure.binX = 4;
    v.exposure.subWidth = 10;
    v.exposure.rotate180 = true;
    v.files.autosave = true;
    v.display.gamma = 2.0f;
    v.display.aspect = false;
    v.guiding.minGuideTime = 1;
    v.window.left = 400;

    const SettingsStore::LoadResult r = store.Load(0, v);
    EXPECT_FALSE(r.fileRead);
    EXPECT_FALSE(r.maximise);
    EXPECT_FALSE(r.placement);

    EXPECT_EQ(v.files.savePath, dir.Path() + "/home/Capture.fit");
    EXPECT_EQ(v.files.sequenceNumber, 0);
    EXPECT_FALSE(v.files.autosave);
    EXPECT_FLOAT_EQ(v.exposure.exposure, 0.01f);
    EXPECT_FLOAT_EQ(v.exposure.delay, 0.0f);
    EXPECT_EQ(v.exposure.binX, 1);
    EXPECT_EQ(v.exposure.binY, 0);
    EXPECT_EQ(v.exposure.subX, 0);
    EXPECT_EQ(v.exposure.subY, 0);
    EXPECT_EQ(v.exposure.subWidth, 1000);
    EXPECT_EQ(v.exposure.subHeight, 800);
    EXPECT_FALSE(v.exposure.rotate180);
    EXPECT_EQ(v.coolingSetpoint, 500);
    EXPECT_FLOAT_EQ(v.display.gamma, 1.0f);
    EXPECT_TRUE(v.display.aspect);
    EXPECT_TRUE(v.display.autoLevel);
    EXPECT_FALSE(v.display.invert);
    EXPECT_EQ(v.display.userBayerCode, 4);
    EXPECT_EQ(v.focus.searchRadius, 15);
    EXPECT_EQ(v.focus.measureRadius, 8);
    EXPECT_EQ(v.guiding.aggressivenessRA, 5);
    EXPECT_EQ(v.guiding.aggressivenessDEC, 5);
    EXPECT_EQ(v.guiding.minGuideTime, 200);
    EXPECT_EQ(v.guiding.maxGuideTime, 2000);
    EXPECT_EQ(v.guiding.guideCalTime, 3000);
    EXPECT_EQ(v.guiding.output, GuideOutput::CameraPort);
    EXPECT_EQ(v.window.left, 50);
    EXPECT_EQ(v.window.top, 50);
    EXPECT_EQ(v.window.right, 600);
    EXPECT_EQ(v.window.bottom, 450);
    for (const DialogSection& d : v.dialogs) {
        EXPECT_FALSE(d.show);
        EXPECT_EQ(d.left, -10000);
    }
    EXPECT_EQ(v.presets[4].title, "0.1 sec 2x2");
    EXPECT_EQ(v.presets[4].flags, 9);
    EXPECT_EQ(v.presets[7].title, "10 sec 2x2");
}

TEST_F(SettingsStoreTest, RotateOnAtStartIsWrittenBack) {
    SettingsValues v = LoadedFrom("[Camera]\nRotate=1\n");
    EXPECT_TRUE(v.exposure.rotate180);
    ASSERT_TRUE(store.Save(0, v));
    IniDocument doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_EQ(doc.GetString("Camera", "Rotate", ""), "1");
}

TEST_F(SettingsStoreTest, BinningSubframeAutosaveAndCameraModesAreNotReadAtStart) {
    SettingsValues v = LoadedFrom(
        "[Camera]\nBinX=2\nBinY=2\nLeft=10\nTop=20\nWidth=30\nHeight=40\nAutosave=1\n"
        "AmpOff=0\nPrechargeMode=2\nFIFO=1\nPriority=1\nFixBanding=1\nCoolingSetpoint=-1500\n"
        "Exposure=2.5\n");
    EXPECT_EQ(v.exposure.binX, 1);
    EXPECT_EQ(v.exposure.binY, 0);
    EXPECT_EQ(v.exposure.subX, 0);
    EXPECT_EQ(v.exposure.subWidth, 1000);
    EXPECT_EQ(v.exposure.subHeight, 800);
    EXPECT_FALSE(v.files.autosave);
    EXPECT_TRUE(v.exposure.amplifier);
    EXPECT_EQ(v.exposure.prechargeMode, 1);
    EXPECT_FALSE(v.exposure.highPriority);
    // The keys next to them are read.
    EXPECT_TRUE(v.exposure.vbe);
    EXPECT_EQ(v.coolingSetpoint, -1500);
    EXPECT_FLOAT_EQ(v.exposure.exposure, 2.5f);
}

TEST_F(SettingsStoreTest, WindowPlacementNeedsItsLeftEdge) {
    SettingsValues v = LoadedFrom("[Window]\nRight=900\nTop=70\nBottom=700\n");
    EXPECT_EQ(v.window.right, 600);
    EXPECT_EQ(v.window.top, 50);
    EXPECT_EQ(v.window.bottom, 450);

    WriteText(path, "[Window]\nLeft=10\nRight=900\nBottom=700\nMaximised=1\n");
    v = Fresh();
    const SettingsStore::LoadResult r = store.Load(0, v);
    EXPECT_TRUE(r.placement);
    EXPECT_TRUE(r.maximise);
    EXPECT_EQ(v.window.left, 10);
    EXPECT_EQ(v.window.right, 900);
    EXPECT_EQ(v.window.top, 50);  // missing: the current value stays
    EXPECT_EQ(v.window.bottom, 700);
}

TEST_F(SettingsStoreTest, FloatsThatDoNotScanKeepTheCurrentValue) {
    SettingsValues v = LoadedFrom(
        "[Camera]\nExposure=fast\nExposureDelay= 1.5 seconds\n"
        "[Display]\nGamma=nan\n[Guiding]\nVelNS=-0.25\nVelWE=1e400\n");
    EXPECT_FLOAT_EQ(v.exposure.exposure, 0.01f);
    EXPECT_FLOAT_EQ(v.exposure.delay, 1.5f);  // "%f" stops at the first character it cannot use
    EXPECT_FLOAT_EQ(v.display.gamma, 1.0f);
    EXPECT_FLOAT_EQ(v.guiding.previousCalibration.velNS, -0.25f);
    EXPECT_FLOAT_EQ(v.guiding.previousCalibration.velWE, 0.0f);

    EXPECT_EQ(SettingsStore::FormatFloat(0.01f), "0.010000");
    EXPECT_EQ(SettingsStore::FormatFloat(-1234.5f), "-1234.500000");
    EXPECT_FALSE(SettingsStore::ScanFloat("").has_value());
    EXPECT_FALSE(SettingsStore::ScanFloat("-").has_value());
    EXPECT_FALSE(SettingsStore::ScanFloat("+-3").has_value());
    EXPECT_FLOAT_EQ(*SettingsStore::ScanFloat("  +.5"), 0.5f);
    EXPECT_FLOAT_EQ(*SettingsStore::ScanFloat("2e2x"), 200.0f);
}

TEST_F(SettingsStoreTest, LongTextsComeBackWhole) {
    // A save path in a deep folder: far beyond the classic 255-character read buffer.
    std::string deep = dir.Path();
    while (deep.size() < 3000) deep += "/night-of-the-comet";
    const std::string savePath = deep + "/m31.fit";
    SettingsValues v = Fresh();
    store.Load(0, v);
    v.files.savePath = savePath;
    v.header.object = std::string(400, 'o');
    ASSERT_TRUE(store.Save(0, v));
    SettingsValues back = Fresh();
    store.Load(0, back);
    EXPECT_EQ(back.files.savePath, savePath);
    EXPECT_EQ(back.header.object, std::string(400, 'o'));
}

TEST_F(SettingsStoreTest, NumbersTheControlsWouldRefuseAreLimited) {
    for (const char* exposure : {"1e30", "-5", "0"}) {
        SettingsValues v = LoadedFrom(std::string("[Camera]\nExposure=") + exposure +
                                      "\nExposureDelay=-3\n[Camera2]\nExposure=99999\n"
                                      "[Filenames]\nSequence=-4\nSequenceFormat=9\n");
        EXPECT_GE(v.exposure.exposure, 0.001f) << exposure;
        EXPECT_LE(v.exposure.exposure, 10000.0f) << exposure;
        EXPECT_FLOAT_EQ(v.exposure.delay, 0.0f);
        EXPECT_EQ(v.files.sequenceNumber, 0);
        EXPECT_EQ(v.files.sequenceFormat, 0);
        store.Load(2, v);  // F2 restores its exposure
        EXPECT_FLOAT_EQ(v.exposure.exposure, 10000.0f);
    }
    EXPECT_FLOAT_EQ(LoadedFrom("[Camera]\nExposure=1e30\n").exposure.exposure, 10000.0f);
    EXPECT_FLOAT_EQ(LoadedFrom("[Camera]\nExposure=-5\n").exposure.exposure, 0.001f);
}

TEST_F(SettingsStoreTest, TrackingAndGuidingNumbersAreLimitedToTheDialogsRanges) {
    const SettingsValues v = LoadedFrom(
        "[Focus]\nSearch=0\nMeasure=1000000000\n"
        "[Guiding]\nAggressivenessRA=-4\nAggressivenessDEC=99\nAxes=9\nMinGuideTime=0\n"
        "MaxGuideTime=10000000\nGuideCalTime=-1\n");
    EXPECT_EQ(v.focus.searchRadius, 1);
    EXPECT_EQ(v.focus.measureRadius, 50);
    EXPECT_EQ(v.guiding.aggressivenessRA, 1);
    EXPECT_EQ(v.guiding.aggressivenessDEC, 20);
    EXPECT_EQ(v.guiding.axes, 7);
    EXPECT_EQ(v.guiding.minGuideTime, 1);
    EXPECT_EQ(v.guiding.maxGuideTime, 5000);
    EXPECT_EQ(v.guiding.guideCalTime, 1);
}

TEST_F(SettingsStoreTest, ACalibrationKeepsHowItWasMeasured) {
    // A file from before the setup was stored: the calibration stands for the frames' turn and
    // the guide output saved with it, and keeps standing for them when those change.
    const char* old =
        "[Camera]\nRotate=1\n[Guiding]\nVelNS=2.000000\nVelWE=3.000000\nCameraRelays=0\n";
    SettingsValues v = LoadedFrom(old);
    EXPECT_EQ(v.guiding.previousCalibration.setup,
              (CalibrationSetup{true, GuideOutput::TelescopeLink}));
    v.exposure.rotate180 = false;
    v.guiding.output = GuideOutput::CameraPort;
    v.tracking.exists = true;
    ASSERT_TRUE(store.Save(0, v));
    SettingsValues back = Fresh();
    store.Load(0, back);
    EXPECT_EQ(back.guiding.previousCalibration.setup,
              (CalibrationSetup{true, GuideOutput::TelescopeLink}));

    // A new calibration is stored with its own setup.
    v.tracking.calibration =
        GuideCalibration{0, 1, 1, 0, 5, 6, CalibrationSetup{false, GuideOutput::CameraPort}};
    ASSERT_TRUE(store.Save(0, v));
    back = Fresh();
    store.Load(0, back);
    EXPECT_EQ(back.guiding.previousCalibration.setup,
              (CalibrationSetup{false, GuideOutput::CameraPort}));
    EXPECT_FLOAT_EQ(back.guiding.previousCalibration.velWE, 6);
}

TEST_F(SettingsStoreTest, UserBayerCodeIsReadOnlyWithoutAutomaticColour) {
    WriteText(path, "[Display]\nUserBayerCode=2\nPreviewMode=1\n");
    SettingsValues v = Fresh();
    store.Load(0, v);
    EXPECT_EQ(v.display.userBayerCode, 2);

    v = Fresh();
    v.automaticColour = true;
    store.Load(0, v);
    EXPECT_EQ(v.display.userBayerCode, 4);
    EXPECT_EQ(v.display.previewMode, 1);
}

TEST_F(SettingsStoreTest, ExitSaveWritesDialogSectionsOnlyForDialogsThatExist) {
    WriteText(path,
              "[CoolDialog]\nShow=1\nLeft=5\nTop=6\n"
              "[Guiding]\nAxisNSX=0.500000\nVelNS=2.000000\nVelWE=3.000000\nCameraRelays=0\n");
    SettingsValues v = Fresh();
    store.Load(0, v);
    EXPECT_TRUE(v.Dialog(SettingsDialog::Cooler).show);
    EXPECT_EQ(v.guiding.output, GuideOutput::TelescopeLink);

    std::vector<std::string> sequencerWrites;
    SettingsStore withHook(path);
    withHook.SetSequencerSectionsWriter([&](IniDocument& doc) {
        // The dialog's own section is already there when the sequencer writes its sections.
        sequencerWrites.push_back(doc.GetString("SeqDialog", "Left", "none"));
        doc.SetString("Sequence", "Repeat", "3");
    });

    v.Dialog(SettingsDialog::Exposure) = DialogSection{true, true, 120, 130};
    v.Dialog(SettingsDialog::Display) = DialogSection{true, false, 10, 20};
    v.Dialog(SettingsDialog::Cooler) = DialogSection{false, false, -10000, -10000};
    v.guiding.output = GuideOutput::CameraPort;
    v.tracking.exists = false;
    ASSERT_TRUE(withHook.Save(0, v));

    IniDocument doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_EQ(doc.GetInt("ExpDialog", "Show", -1), 1);
    EXPECT_EQ(doc.GetInt("ExpDialog", "Left", -1), 120);
    EXPECT_EQ(doc.GetInt("DispDialog", "Show", -1), 0);
    EXPECT_EQ(doc.GetInt("DispDialog", "Top", -1), 20);
    // The cooler dialog was never opened: its stored place survives.
    EXPECT_EQ(doc.GetInt("CoolDialog", "Left", -1), 5);
    EXPECT_FALSE(doc.HasSection("SeqDialog"));
    EXPECT_FALSE(doc.HasSection("FilterDialog"));
    EXPECT_FALSE(doc.HasSection("TrackingDialog"));
    EXPECT_FALSE(doc.HasSection("Sequence"));
    EXPECT_TRUE(sequencerWrites.empty());
    // Guide output and calibration are the tracking dialog's: untouched without it.
    EXPECT_EQ(doc.GetInt("Guiding", "CameraRelays", -1), 0);

    // With the tracking dialog open but never calibrated, only the calibration stays.
    v.tracking = TrackingSection{true, 300, 310, true, GuideCalibration{9, 9, 9, 9, 0, 4}};
    v.Dialog(SettingsDialog::Sequencer) = DialogSection{true, false, 44, 45};
    ASSERT_TRUE(withHook.Save(0, v));
    ASSERT_TRUE(doc.Load(path));
    EXPECT_EQ(doc.GetInt("TrackingDialog", "Left", -1), 300);
    EXPECT_EQ(doc.GetInt("TrackingDialog", "Expand", -1), 1);
    EXPECT_EQ(doc.GetInt("Guiding", "CameraRelays", -1), 1);
    EXPECT_EQ(doc.GetString("Guiding", "AxisNSX", ""), "0.500000");
    EXPECT_EQ(doc.GetString("Guiding", "VelNS", ""), "2.000000");
    EXPECT_EQ(sequencerWrites, std::vector<std::string>{"44"});
    EXPECT_EQ(doc.GetInt("Sequence", "Repeat", -1), 3);

    // A valid calibration is written.
    v.tracking.calibration = GuideCalibration{0.25f, -0.75f, 1, 0, 1.5f, -2};
    ASSERT_TRUE(withHook.Save(0, v));
    ASSERT_TRUE(doc.Load(path));
    EXPECT_EQ(doc.GetString("Guiding", "AxisNSY", ""), "-0.750000");
    EXPECT_EQ(doc.GetString("Guiding", "VelWE", ""), "-2.000000");
}

TEST_F(SettingsStoreTest, HandEditedFileKeepsItsOtherLines) {
    const std::string original =
        "; my settings\r\n"
        "[camera]\r\n"
        "  EXPOSURE = 2.5   ; not a comment for the parser\r\n"
        "Mystery=42\r\n"
        "\r\n"
        "[Other program]\r\n"
        "# keep me\r\n"
        "Key=Value\r\n";
    SettingsValues v = LoadedFrom(original);
    // The value is "2.5   ; not a ..." and scans as 2.5.
    EXPECT_FLOAT_EQ(v.exposure.exposure, 2.5f);
    v.exposure.exposure = 4.0f;
    ASSERT_TRUE(store.Save(0, v));

    const std::string text = ReadText(path);
    EXPECT_EQ(text.rfind("; my settings\r\n[camera]\r\n", 0), 0u) << text;
    EXPECT_NE(text.find("Mystery=42\r\n"), std::string::npos);
    EXPECT_NE(text.find("[Other program]\r\n# keep me\r\nKey=Value\r\n"), std::string::npos);
    EXPECT_EQ(text.find("[Camera]"), std::string::npos);  // the odd-case section was reused
    IniDocument doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_EQ(doc.GetString("Camera", "Exposure", ""), "4.000000");
}

TEST_F(SettingsStoreTest, FreshFileHasTheSectionsInSaveOrder) {
    SettingsValues v = Fresh();
    store.Load(0, v);
    v.Dialog(SettingsDialog::FilterWheel).exists = true;
    v.tracking.exists = true;
    ASSERT_TRUE(store.Save(0, v));
    const std::string text = ReadText(path);
    const std::vector<std::string> order = {
        "[Filenames]", "[Quick]",  "[Camera]",         "[Display]",      "[Focus]", "[Guiding]",
        "[Header]",    "[Window]", "[TrackingDialog]", "[FilterDialog]", "[Ascom]"};
    size_t at = 0;
    for (const std::string& section : order) {
        const size_t found = text.find(section);
        ASSERT_NE(found, std::string::npos) << section;
        EXPECT_GE(found, at) << section;
        at = found;
    }
    EXPECT_NE(
        text.find("[Camera]\nExposure=0.010000\nExposureDelay=0.000000\nRotate=0\nAmpOff=1\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("[Window]\nMaximised=0\nLeft=50\nRight=600\nTop=50\nBottom=450\n"),
              std::string::npos);
}

TEST_F(SettingsStoreTest, FailedSaveLeavesTheOldFile) {
    const std::string old = "[Camera]\nExposure=3.000000\n";
    WriteText(path, old);
    SettingsValues v = Fresh();
    store.Load(0, v);

    // A file-size limit makes the write fail part-way, as a full disk would.
    struct sigaction ignore {
    }, saved{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &saved);
    struct rlimit savedLimit {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &savedLimit), 0);
    struct rlimit small = savedLimit;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = store.Save(0, v);
    ::setrlimit(RLIMIT_FSIZE, &savedLimit);
    ::sigaction(SIGXFSZ, &saved, nullptr);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(ReadText(path), old);
}

// ---------------------------------------------------------------------------------------------
// Quick presets

TEST_F(SettingsStoreTest, PresetTitlesAndFlagsAtStart) {
    SettingsValues v =
        LoadedFrom("[Quick]\nName1=Focus\nSnap1=6\nName2=Guide\nName3=<undefined>\nSnap3=2\n");
    EXPECT_EQ(v.presets[0].title, "Focus");
    EXPECT_EQ(v.presets[0].flags, 6);
    EXPECT_EQ(v.presets[1].title, "Guide");
    EXPECT_EQ(v.presets[1].flags, 8);  // a stored title without flags
    EXPECT_EQ(v.presets[2].title, "5 sec 1x1");
    EXPECT_EQ(v.presets[2].flags, 9);  // never saved: the built-in preset
}

TEST_F(SettingsStoreTest, PresetLoadFollowsFlagsAndLock) {
    WriteText(path,
              "[Camera6]\nExposure=3.5\nExposureDelay=1.25\nBinX=3\nBinY=0\nAutosave=1\n"
              "Left=10\nTop=20\nWidth=300\nHeight=200\n"
              "[Display6]\nOffsetX=-40\nOffsetY=50\nZoom=-3\n");
    SettingsValues base = Fresh();
    store.Load(0, base);
    base.exposure.delay = 0.5f;
    base.display.panX = 7;
    base.display.zoom = 2;

    // Exposure only.
    SettingsValues v = base;
    v.presets[5].flags = quick::kRestoreExposure;
    store.Load(6, v);
    EXPECT_FLOAT_EQ(v.exposure.exposure, 3.5f);
    EXPECT_FLOAT_EQ(v.exposure.delay, 1.25f);
    EXPECT_EQ(v.exposure.binX, 3);
    EXPECT_EQ(v.exposure.binY, 0);
    EXPECT_TRUE(v.files.autosave);
    EXPECT_EQ(v.exposure.subWidth, 1000);
    EXPECT_EQ(v.display.panX, 7);
    EXPECT_EQ(v.display.zoom, 2);

    // Subframe, pan and zoom only.
    v = base;
    v.presets[5].flags = quick::kRestoreSubframe;
    store.Load(6, v);
    EXPECT_FLOAT_EQ(v.exposure.exposure, 0.01f);
    EXPECT_FALSE(v.files.autosave);
    EXPECT_EQ(v.exposure.subX, 10);
    EXPECT_EQ(v.exposure.subY, 20);
    EXPECT_EQ(v.exposure.subWidth, 300);
    EXPECT_EQ(v.exposure.subHeight, 200);
    EXPECT_EQ(v.display.panX, -40);
    EXPECT_EQ(v.display.panY, 50);
    EXPECT_EQ(v.display.zoom, -3);

    // Locked: autosave, pan and zoom still come, exposure, delay, binning and subframe not.
    v = base;
    v.exposure.lockExposure = true;
    v.presets[5].flags = quick::kRestoreExposure | quick::kRestoreSubframe;
    store.Load(6, v);
    EXPECT_FLOAT_EQ(v.exposure.exposure, 0.01f);
    EXPECT_FLOAT_EQ(v.exposure.delay, 0.5f);
    EXPECT_EQ(v.exposure.binX, 1);
    EXPECT_EQ(v.exposure.subWidth, 1000);
    EXPECT_TRUE(v.files.autosave);
    EXPECT_EQ(v.display.panX, -40);
    EXPECT_EQ(v.display.zoom, -3);
}

TEST_F(SettingsStoreTest, PresetWithoutItsSectionsUsesTheBuiltInValues) {
    SettingsValues v = Fresh();
    store.Load(0, v);
    v.exposure.delay = 2.0f;
    v.exposure.subX = 100;
    v.display.zoom = 4;
    store.Load(5, v);  // F5, flags 9
    EXPECT_FLOAT_EQ(v.exposure.exposure, 0.1f);
    EXPECT_EQ(v.exposure.binX, 2);
    EXPECT_EQ(v.exposure.binY, 2);
    EXPECT_FLOAT_EQ(v.exposure.delay, 2.0f);
    EXPECT_EQ(v.exposure.subX, 100);
    EXPECT_EQ(v.display.zoom, 4);

    v.presets[1].flags = quick::kRestoreSubframe | quick::kRestoreExposure;
    store.Load(2, v);  // F2 on a subframe: back to the whole sensor at 1 s, 1x1
    EXPECT_FLOAT_EQ(v.exposure.exposure, 1.0f);
    EXPECT_EQ(v.exposure.binX, 1);
    EXPECT_EQ(v.exposure.binY, 1);
    EXPECT_EQ(v.exposure.subX, 0);
    EXPECT_EQ(v.exposure.subWidth, 1000);
    EXPECT_EQ(v.exposure.subHeight, 800);
}

TEST_F(SettingsStoreTest, PresetSaveWritesAllTitlesAndItsOwnValues) {
    WriteText(path, "[Camera]\nExposure=9.000000\n");
    SettingsValues v = Fresh();
    store.Load(0, v);
    v.presets[2] = QuickPreset{"Guide 2s", quick::kRestoreSubframe};
    v.exposure.exposure = 2.0f;
    v.exposure.binX = 2;
    v.exposure.subX = 16;
    v.files.autosave = true;
    v.display.zoom = -2;
    ASSERT_TRUE(store.Save(3, v));

    IniDocument doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_EQ(doc.GetString("Quick", "Name3", ""), "Guide 2s");
    EXPECT_EQ(doc.GetInt("Quick", "Snap3", -1), 4);
    EXPECT_EQ(doc.GetString("Quick", "Name8", ""), "10 sec 2x2");
    EXPECT_EQ(doc.GetInt("Quick", "Snap8", -1), 9);
    // Everything is written whatever the flags say.
    EXPECT_EQ(doc.GetString("Camera3", "Exposure", ""), "2.000000");
    EXPECT_EQ(doc.GetInt("Camera3", "BinX", -1), 2);
    EXPECT_EQ(doc.GetInt("Camera3", "Left", -1), 16);
    EXPECT_EQ(doc.GetInt("Camera3", "Width", -1), 1000);
    EXPECT_EQ(doc.GetInt("Camera3", "Autosave", -1), 1);
    EXPECT_EQ(doc.GetInt("Display3", "Zoom", 99), -2);
    // The main sections are the exit save's.
    EXPECT_EQ(doc.GetString("Camera", "Exposure", ""), "9.000000");
    EXPECT_FALSE(doc.HasSection("Filenames"));

    // And it comes back.
    v.presets[2].flags = quick::kRestoreSubframe | quick::kRestoreExposure;
    v.exposure.exposure = 0.5f;
    v.exposure.subX = 0;
    v.display.zoom = 0;
    store.Load(3, v);
    EXPECT_FLOAT_EQ(v.exposure.exposure, 2.0f);
    EXPECT_EQ(v.exposure.subX, 16);
    EXPECT_EQ(v.display.zoom, -2);
}

}  // namespace
}  // namespace zorvane
