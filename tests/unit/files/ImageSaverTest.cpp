#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "files/FileNaming.h"
#include "files/ImageSaver.h"
#include "support/ScriptedPrompts.h"
#include "unit/files/FileTestSupport.h"

namespace zorvane {
namespace {

using test::Exists;
using test::ReadBytes;
using test::ScriptedPrompts;
using test::TempDir;
using test::Touch;

class FakeHost : public SaverHost {
  public:
    std::optional<FramePixels> CurrentFrame() const override {
        if (!hasFrame) return std::nullopt;
        return FramePixels{pixels.data(), 4, 2};
    }
    void AddHeaderKeywords(KeywordSink& sink) override {
        sink.AddKeyword("OBJECT", "'M31'");
        ++headerFills;
    }
    bool IsLooping() const override { return looping; }
    void StopLoop() override {
        looping = false;
        ++loopStops;
    }
    void RefreshExposureDialog() override { ++refreshes; }
    void StopSequence() override { ++sequenceStops; }
    std::string CurrentLineSuffix() const override { return suffix; }
    int CurrentRepeatIndex() const override { return repeat; }

    bool hasFrame = true;
    std::vector<std::uint16_t> pixels = {1, 2, 3, 4, 5, 6, 7, 8};
    bool looping = false;
    std::string suffix;
    int repeat = 0;
    int headerFills = 0, loopStops = 0, refreshes = 0, sequenceStops = 0;
};

bool IsFits(const std::string& path) {
    return ReadBytes(path).rfind("SIMPLE  =", 0) == 0;
}
bool IsTiff(const std::string& path) {
    return ReadBytes(path).rfind("II*", 0) == 0;
}

class ImageSaverTest : public ::testing::Test {
  protected:
    ImageSaverTest() : saver(prompts, host, dir.Path()) {
        std::filesystem::create_directories(dir / "img");
    }
    // The saver's writers must be empty between saves.
    void TearDown() override {
        EXPECT_EQ(saver.Fits().Keywords().Count(), 0u);
        EXPECT_EQ(saver.Tiff().Keywords().Count(), 0u);
    }

    TempDir dir;
    ScriptedPrompts prompts;
    FakeHost host;
    ImageSaver saver;
};

TEST_F(ImageSaverTest, DefaultsAndStatusText) {
    EXPECT_EQ(saver.Settings().savePath, dir / "Capture.fit");
    EXPECT_EQ(ImageSaver::DefaultSavePath("/home/ann"), "/home/ann/Capture.fit");
    EXPECT_EQ(saver.SavedStatusText(), "Not saved");
    saver.ToggleAutosave();
    EXPECT_TRUE(saver.Settings().autosave);
    EXPECT_EQ(host.refreshes, 1);
}

TEST_F(ImageSaverTest, AutosaveNumbersAndSkipsExistingNames) {
    saver.Settings().savePath = dir / "img/m31.fit";
    saver.Settings().sequenceNumber = 7;
    saver.AutosaveImage();
    EXPECT_TRUE(IsFits(dir / "img/m31_007.fit"));
    EXPECT_EQ(saver.Settings().sequenceNumber, 8);
    EXPECT_EQ(saver.LastSavedName(), dir / "img/m31_007.fit");
    EXPECT_EQ(saver.SavedStatusText(), "Saved: m31_007.fit");
    EXPECT_EQ(host.refreshes, 1);
    EXPECT_EQ(host.headerFills, 1);

    Touch(dir / "img/m31_008.fit");
    Touch(dir / "img/m31_009.fit");
    saver.AutosaveImage();
    EXPECT_TRUE(IsFits(dir / "img/m31_010.fit"));
    EXPECT_EQ(saver.Settings().sequenceNumber, 11);

    saver.Settings().sequenceFormat = 5;
    saver.Settings().sequenceNumber = 12;
    saver.AutosaveImage();
    EXPECT_TRUE(IsFits(dir / "img/m3112.fit"));
    saver.Settings().sequenceFormat = 99;  // clamped to 5
    saver.AutosaveImage();
    EXPECT_TRUE(Exists(dir / "img/m3113.fit"));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ImageSaverTest, AutosaveExtensions) {
    // No extension: ".fit" is added to the name, not to the stored path.
    saver.Settings().savePath = dir / "img/m31";
    saver.AutosaveImage();
    EXPECT_TRUE(IsFits(dir / "img/m31_000.fit"));
    EXPECT_EQ(saver.Settings().savePath, dir / "img/m31");

    // Other extensions stay; the file is FITS.
    saver.Settings().savePath = dir / "img/m31.FTS";
    saver.AutosaveImage();
    EXPECT_TRUE(IsFits(dir / "img/m31_001.FTS"));

    saver.Settings().savePath = dir / "img/m31.TIF";
    saver.AutosaveImage();
    EXPECT_TRUE(IsTiff(dir / "img/m31_002.TIF"));

    // ':' is an ordinary character, not a separator.
    saver.Settings().savePath = dir / "img/10:30.fit";
    saver.AutosaveImage();
    EXPECT_TRUE(IsFits(dir / "img/10:30_003.fit"));
    EXPECT_TRUE(prompts.saveRequests.empty());
}

TEST_F(ImageSaverTest, AutosaveAsksForANameWhenThePathHasNone) {
    saver.Settings().savePath = "m31";
    saver.AutosaveImage();  // the dialog is cancelled: nothing happens
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    EXPECT_EQ(host.refreshes, 0);

    saver.Settings().savePath.clear();
    prompts.saveResults.push_back(ScriptedPrompts::Chosen(dir / "img/shot.png", 2));
    saver.AutosaveImage();
    EXPECT_EQ(saver.Settings().savePath, dir / "img/shot.tif");
    EXPECT_EQ(saver.LastDialogType(), kTypeTiff);
    EXPECT_TRUE(IsTiff(dir / "img/shot_000.tif"));

    // The type chosen in an earlier save's dialog is not this save's: a bare name, or one typed
    // with an unknown extension, gives FITS.
    saver.Settings().savePath = dir / "img/bare";
    saver.AutosaveImage();
    EXPECT_TRUE(IsFits(dir / "img/bare_001.fit"));
    EXPECT_EQ(saver.LastDialogType(), kTypeNone);
    saver.Settings().savePath = dir / "img/typed.xyz";
    saver.AutosaveImage();
    EXPECT_TRUE(IsFits(dir / "img/typed_002.xyz"));
    // ... and a ".fit" name is always FITS.
    saver.Settings().savePath = dir / "img/named.fit";
    saver.AutosaveImage();
    EXPECT_TRUE(IsFits(dir / "img/named_003.fit"));
}

// Regression: at the top number every frame overwrote the same file.
TEST_F(ImageSaverTest, NumberingAtTheTopNeverOverwrites) {
    saver.Settings().savePath = dir / "img/m31.fit";
    saver.Settings().sequenceNumber = INT_MAX - 1;
    host.looping = true;
    saver.AutosaveImage();
    saver.AutosaveImage();
    EXPECT_TRUE(IsFits(dir / "img/m31_2147483646.fit"));
    EXPECT_TRUE(IsFits(dir / "img/m31_2147483647.fit"));
    EXPECT_EQ(saver.Settings().sequenceNumber, INT_MAX);
    EXPECT_TRUE(prompts.messages.empty());
    const std::string before = ReadBytes(dir / "img/m31_2147483647.fit");

    host.pixels.assign(8, 9);
    saver.AutosaveImage();
    EXPECT_EQ(ReadBytes(dir / "img/m31_2147483647.fit"), before);
    EXPECT_EQ(saver.Settings().sequenceNumber, INT_MAX);
    EXPECT_EQ(saver.LastSavedName(), "");
    EXPECT_EQ(host.loopStops, 1);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "Autosave");
    EXPECT_EQ(prompts.messages[0].text, "No free number for '" + dir / "img/m31_2147483647.fit" +
                                            "'\n" + ImageSaver::kNumbersUsedUpText);
}

TEST_F(ImageSaverTest, AutosaveFailureStopsTheLoopAndStepsTheNumberBack) {
    saver.Settings().savePath = dir / "missing/m31.fit";
    saver.Settings().sequenceNumber = 7;
    host.looping = true;
    saver.AutosaveImage();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              "Failed to write file '" + dir / "missing/m31_007.fit" + "'");
    EXPECT_EQ(prompts.messages[0].caption, "Autosave");
    EXPECT_EQ(host.loopStops, 1);
    EXPECT_EQ(saver.Settings().sequenceNumber, 7);
    EXPECT_EQ(saver.SavedStatusText(), "Not saved");
    EXPECT_EQ(host.refreshes, 1);

    // A disk that fills up mid-file: the same, no half file, and the number is offered again.
    saver.Settings().savePath = dir / "img/m31.fit";
    {
        test::FileSizeLimit limit(1000);
        saver.AutosaveImage();
    }
    EXPECT_EQ(prompts.messages.size(), 2u);
    EXPECT_FALSE(Exists(dir / "img/m31_007.fit"));
    EXPECT_EQ(saver.LastSavedName(), "");
    saver.AutosaveImage();
    EXPECT_TRUE(IsFits(dir / "img/m31_007.fit"));
    EXPECT_EQ(saver.Settings().sequenceNumber, 8);

    // Names beyond the system's limit fail cleanly.
    saver.Settings().savePath = dir / (std::string(PATH_MAX, 'n') + ".fit");
    saver.AutosaveImage();
    EXPECT_EQ(prompts.messages.size(), 3u);
    EXPECT_EQ(saver.Settings().sequenceNumber, 8);
}

TEST_F(ImageSaverTest, NothingToSaveWithoutAFrame) {
    host.hasFrame = false;
    saver.Settings().savePath = dir / "img/m31.fit";
    saver.AutosaveImage();
    saver.SaveSequenceImage();
    saver.SaveImageAs();
    EXPECT_TRUE(prompts.saveRequests.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir / "img"));
}

TEST_F(ImageSaverTest, SequencerNamesAndDuplicates) {
    saver.Settings().savePath = dir / "img/m31.fit";
    host.repeat = 2;
    host.suffix = "R";
    saver.SaveSequenceImage();
    saver.SaveSequenceImage();
    saver.SaveSequenceImage();
    EXPECT_TRUE(IsFits(dir / "img/m31_002R.fit"));
    EXPECT_TRUE(IsFits(dir / "img/m31_002R(2).fit"));
    EXPECT_TRUE(IsFits(dir / "img/m31_002R(3).fit"));
    EXPECT_EQ(saver.LastSavedName(), dir / "img/m31_002R(3).fit");
    EXPECT_EQ(saver.Settings().sequenceNumber, 0);  // untouched
    EXPECT_EQ(host.refreshes, 3);

    host.suffix = std::string(60, 's');
    saver.SaveSequenceImage();
    EXPECT_TRUE(Exists(dir / ("img/m31_002" + std::string(49, 's') + ".fit")));

    saver.Settings().savePath = dir / "missing/m31.fit";
    saver.SaveSequenceImage();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "Sequencer");
    EXPECT_EQ(prompts.messages[0].text,
              "Failed to write file '" + dir / "missing/m31_002" + std::string(49, 's') + ".fit'");
    EXPECT_EQ(host.sequenceStops, 1);
}

TEST_F(ImageSaverTest, SaveAsDialogAndOverwrite) {
    saver.Settings().savePath = dir / "img/old.tif";
    prompts.saveResults.push_back(ScriptedPrompts::Chosen(dir / "img/shot.png", 3));
    saver.SaveImageAs();
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    const FileDialogRequest& request = prompts.saveRequests[0];
    EXPECT_EQ(request.title, "Save image as...");
    ASSERT_EQ(request.filters.size(), 3u);
    EXPECT_EQ(request.filters[1].name, "Tif (16 bit)");
    EXPECT_EQ(request.filters[2].pattern, "*.*");
    EXPECT_EQ(request.initialPath, dir / "img/old.tif");
    EXPECT_EQ(request.presetFilter, 2);
    EXPECT_TRUE(request.pathMustExist);
    // "All Files" with shot.png: a FITS file named shot.fit.
    EXPECT_TRUE(IsFits(dir / "img/shot.fit"));
    EXPECT_EQ(saver.LastSavedName(), dir / "img/shot.fit");
    EXPECT_EQ(saver.LastDialogType(), kTypeAllFiles);

    // Existing file, answered No: nothing written.
    Touch(dir / "img/keep.tif");
    prompts.saveResults.push_back(ScriptedPrompts::Chosen(dir / "img/keep", 2));
    saver.SaveImageAs();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, dir / "img/keep.tif" + "\nFile exists: Overwrite?");
    EXPECT_EQ(prompts.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ReadBytes(dir / "img/keep.tif"), "x");
    EXPECT_EQ(saver.LastSavedName(), "");
    EXPECT_EQ(prompts.saveRequests[1].presetFilter, 1);  // the path ended in .fit

    // Answered Yes: overwritten as TIFF.
    prompts.saveResults.push_back(ScriptedPrompts::Chosen(dir / "img/keep", 2));
    prompts.answers.push_back(MessageAnswer::Yes);
    saver.SaveImageAs();
    EXPECT_TRUE(IsTiff(dir / "img/keep.tif"));

    // Cancelled: nothing changes.
    saver.SaveImageAs();
    EXPECT_EQ(saver.Settings().savePath, dir / "img/keep.tif");
    EXPECT_EQ(saver.LastSavedName(), "");
}

TEST_F(ImageSaverTest, SaveAsRetriesAnInvalidNameOnceAndReportsFailures) {
    FileDialogResult invalid;
    invalid.status = FileDialogResult::Status::InvalidFileName;
    prompts.saveResults.push_back(invalid);
    prompts.saveResults.push_back(ScriptedPrompts::Chosen("", 1));
    saver.Settings().savePath = dir / "img/m31.fit";
    EXPECT_EQ(saver.ShowSaveDialog(), kTypeFits);
    ASSERT_EQ(prompts.saveRequests.size(), 2u);
    EXPECT_EQ(prompts.saveRequests[1].initialPath, "");
    EXPECT_EQ(saver.Settings().savePath, "image.fit");  // an empty name becomes "image"

    prompts.saveResults.push_back(invalid);
    prompts.saveResults.push_back(invalid);
    EXPECT_EQ(saver.ShowSaveDialog(), kTypeNone);
    EXPECT_EQ(saver.Settings().savePath, "image.fit");

    // Writing to a full device fails with the message; the device itself is left alone.
    std::filesystem::create_symlink("/dev/full", dir / "img/full.fit");
    prompts.saveResults.push_back(ScriptedPrompts::Chosen(dir / "img/full.fit", 1));
    prompts.answers.push_back(MessageAnswer::Yes);
    saver.SaveImageAs();
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[1].text, "Couldn't write file");
    EXPECT_EQ(prompts.messages[1].caption, "Save image as...");
    EXPECT_EQ(saver.SavedStatusText(), "Not saved");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "img/full.fit"));
    EXPECT_TRUE(Exists("/dev/full"));

    prompts.saveResults.push_back(ScriptedPrompts::Chosen("/proc/zorvane.fit", 1));
    saver.SaveImageAs();
    EXPECT_EQ(prompts.messages.back().text, "Couldn't write file");
}

TEST_F(ImageSaverTest, NextDirectory) {
    saver.Settings().savePath = dir / "img/night/m31.fit";
    saver.Settings().sequenceNumber = 42;
    ASSERT_TRUE(saver.NextDirectory());
    EXPECT_EQ(saver.Settings().savePath, dir / "img/night_001/m31.fit");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "img/night_001"));
    EXPECT_EQ(saver.Settings().sequenceNumber, 0);
    saver.Settings().sequenceNumber = 5;
    ASSERT_TRUE(saver.NextDirectory());
    EXPECT_EQ(saver.Settings().savePath, dir / "img/night_002/m31.fit");
    EXPECT_EQ(saver.Settings().sequenceNumber, 0);

    saver.Settings().sequenceFormat = 2;
    saver.Settings().savePath = dir / "img/night_001/m31.fit";
    ASSERT_TRUE(saver.NextDirectory());
    EXPECT_EQ(saver.Settings().savePath, dir / "img/night002/m31.fit");

    saver.Settings().sequenceFormat = 3;
    saver.Settings().savePath = dir / "img/run9/x.fit";
    ASSERT_TRUE(saver.NextDirectory());
    EXPECT_EQ(saver.Settings().savePath, dir / "img/run_10/x.fit");
    EXPECT_TRUE(prompts.beeps.empty());

    // Impossible: beep, nothing changes.
    for (const std::string& path : {std::string("/m31.fit"), std::string("m31.fit"), std::string(),
                                    dir / "img/file.fit/sub/x.fit"}) {
        Touch(dir / "img/file.fit");
        saver.Settings().savePath = path;
        saver.Settings().sequenceNumber = 3;
        EXPECT_FALSE(saver.NextDirectory()) << path;
        EXPECT_EQ(saver.Settings().savePath, path);
        EXPECT_EQ(saver.Settings().sequenceNumber, 3);
    }
    EXPECT_EQ(prompts.beeps, std::vector<BeepKind>(4, BeepKind::Exclamation));
}

TEST(FileNamingTest, Patterns) {
    EXPECT_EQ(AutosaveNumbering(0, 7, ".fit"), "_007.fit");
    EXPECT_EQ(AutosaveNumbering(1, 1234, ".fit"), "-1234.fit");
    EXPECT_EQ(AutosaveNumbering(4, 7, ".tif"), "-7.tif");
    EXPECT_EQ(AutosaveNumbering(-3, -1, ".fit"), "_-01.fit");
    // The suffix is literal text, never a format.
    EXPECT_EQ(SequencerNumbering(2, 3, "%s%n", DuplicateMark(2), ".fit"), "003%s%n(2).fit");
    EXPECT_EQ(NextDirectoryNumbering(5, 10), "10");
    EXPECT_EQ(DuplicateMark(1), "");
    EXPECT_EQ(DuplicateMark(10), "(10)");
}

TEST(FileNamingTest, NamePartsAndDirectories) {
    EXPECT_EQ(PresetFilterForPath("a.FIT"), 1);
    EXPECT_EQ(PresetFilterForPath(".tif"), 0);  // not longer than 4 characters
    EXPECT_EQ(PresetFilterForPath("/x/a.fits"), 0);
    EXPECT_EQ(WithTypeExtension("/x.d/name", 2), "/x.d/name.tif");
    EXPECT_EQ(WithTypeExtension("/x/a.b.c", 1), "/x/a.b.fit");
    EXPECT_EQ(FileNamePart("/data/m31_001.fit"), "m31_001.fit");
    EXPECT_EQ(FileNamePart("D:x.fit"), "D:x.fit");
    EXPECT_FALSE(FindNumberingPoint(".fit", 1));
    EXPECT_FALSE(FindNumberingPoint("/m31", 1));
    EXPECT_EQ(FindNumberingPoint("a/b.c/m31", 2)->stem, "a/b.c/m31");

    // A directory of digits only: the scan stops at the start of the text.
    EXPECT_EQ(PlanNextDirectory("123/x.fit", 0)->savePath, "_124/x.fit");
    EXPECT_EQ(PlanNextDirectory("a/night-7/x.fit", 4)->savePath, "a/night-8/x.fit");
    EXPECT_EQ(PlanNextDirectory("a/99999999999999999999/x.fit", 5)->directory,
              "a/" + std::to_string(LLONG_MAX));
}

}  // namespace
}  // namespace zorvane
