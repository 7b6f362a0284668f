#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fixtures/TempDir.h"
#include "sequencer/SequenceCommand.h"
#include "sequencer/SequenceFile.h"
#include "sequencer/SequenceModel.h"
#include "support/ScriptedPrompts.h"

namespace zorvane {
namespace {

using test::ScriptedPrompts;
using test::TempDir;
using test::WriteText;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SequenceFile, AFileWithOnlyARepeatCountGivesTenDefaultLines) {
    TempDir dir;
    WriteText(dir / "r.csq", "[Sequence]\nRepeat=3\n");
    SequenceModel m;
    m.lines[4].enabled = true;
    m.lines[4].command = "old";
    ASSERT_TRUE(ReadSequence(dir / "r.csq", m));
    EXPECT_EQ(m.repeat, 3);
    EXPECT_EQ(m.repeatMode, 0);
    EXPECT_EQ(m.delay, 0);
    EXPECT_EQ(m.delayStart, 0);
    for (const SequenceLine& l : m.lines) {
        EXPECT_FALSE(l.enabled);
        EXPECT_EQ(l.exposureText, "1");
        EXPECT_EQ(l.binning, 0);
        EXPECT_EQ(l.filter, 0);
        EXPECT_EQ(l.suffix, "");
        EXPECT_EQ(l.command, "");
    }
}

TEST(SequenceFile, WritesInOrderWithTheExposureRuleAndReadsBackWhatItWrote) {
    TempDir dir;
    SequenceModel m;
    m.repeatMode = 1;
    m.repeat = 4;
    m.delay = 30;
    m.delayStart = 600;
    m.lines[0] = {true, "0.0004", 1, 2, "R", "cp $FILE /backup"};
    m.lines[1] = {false, "1234.56789", 3, 5, "  lead", "\"/opt/x\" \"$FILE\""};
    m.lines[9].exposureText = "junk";
    ASSERT_TRUE(WriteSequence(dir / "w.csq", m));

    const std::string text = ReadAll(dir / "w.csq");
    EXPECT_EQ(text.rfind("[Sequence]\nRepeatMode=1\nRepeat=4\nDelay=30\nDelayStart=600\n", 0), 0u)
        << text;
    EXPECT_NE(text.find("[Sequence Line1]\nEnabled=1\nExposure=0.001\nBinning=1\nFilter=2\n"
                        "Suffix=R\nCommand=cp $FILE /backup\n"),
              std::string::npos);
    EXPECT_NE(text.find("Exposure=1234.6\n"), std::string::npos);
    EXPECT_NE(text.find("[Sequence Line10]\nEnabled=0\nExposure=0.001\n"), std::string::npos);

    SequenceModel back;
    ASSERT_TRUE(ReadSequence(dir / "w.csq", back));
    EXPECT_EQ(back.repeatMode, 1);
    EXPECT_EQ(back.repeat, 4);
    EXPECT_EQ(back.delay, 30);
    EXPECT_EQ(back.delayStart, 600);
    EXPECT_EQ(back.lines[0].exposureText, "0.001");
    EXPECT_EQ(back.lines[1].exposureText, "1234.6");
    EXPECT_EQ(back.lines[1].binning, 3);
    // Texts that the file's reading rules would strip come back as they were.
    EXPECT_EQ(back.lines[1].suffix, "  lead");
    EXPECT_EQ(back.lines[1].command, "\"/opt/x\" \"$FILE\"");
    // A second write of what was read changes nothing.
    ASSERT_TRUE(WriteSequence(dir / "again.csq", back));
    EXPECT_EQ(ReadAll(dir / "again.csq"), text);
}

TEST(SequenceFile, GuidingKeepsASectionOfItsOwnThatOlderFilesDoNotHave) {
    TempDir dir;
    SequenceModel m;
    m.lines[0].enabled = true;
    SequenceGuideOptions& g = m.guiding;
    g = {true, "guide-pc.local", 4401, 2, 2.5, true, 0.8, 12, 90, true, 240};
    ASSERT_TRUE(WriteSequence(dir / "g.csq", m));
    const std::string text = ReadAll(dir / "g.csq");
    EXPECT_NE(text.find("[Sequence Guiding]\nGuide=1\nGuiderHost=guide-pc.local\nGuiderPort=4401\n"
                        "DitherEvery=2\nDitherPixels=2.5\nDitherRAOnly=1\nSettlePixels=0.8\n"
                        "SettleTime=12\nSettleTimeout=90\nSettleFailedStop=1\nStarLostLimit=240\n"),
              std::string::npos)
        << text;
    SequenceModel back;
    ASSERT_TRUE(ReadSequence(dir / "g.csq", back));
    EXPECT_EQ(back.guiding, g);

    // A file from before guiding reads as a sequence that does not guide; numbers from a hand
    // are kept to what the dialog offers.
    WriteText(dir / "old.csq", "[Sequence]\nRepeat=2\n");
    ASSERT_TRUE(ReadSequence(dir / "old.csq", back));
    EXPECT_EQ(back.guiding, SequenceGuideOptions{});
    WriteText(dir / "odd.csq",
              "[Sequence Guiding]\nGuide=1\nGuiderHost=\nGuiderPort=99999\nDitherEvery=-3\n"
              "DitherPixels=nan\nSettlePixels=1e9\nSettleTimeout=0\nStarLostLimit=x\n");
    ASSERT_TRUE(ReadSequence(dir / "odd.csq", back));
    EXPECT_TRUE(back.guiding.guide);
    EXPECT_EQ(back.guiding.host, "localhost");
    EXPECT_EQ(back.guiding.port, 4400);
    EXPECT_EQ(back.guiding.ditherEvery, 0);
    EXPECT_EQ(back.guiding.ditherPixels, 3.0);
    EXPECT_EQ(back.guiding.settlePixels, SequenceGuideOptions::kMaxPixels);
    EXPECT_EQ(back.guiding.settleTimeout, 1);
    EXPECT_EQ(back.guiding.lostLimitSeconds, 1);
}

TEST(SequenceFile, AHandEditedFileWithCommentsLoadsAndUnknownChoicesStayEmpty) {
    TempDir dir;
    WriteText(dir / "h.csq",
              "; my flats\r\n[sequence]\r\nRepeatMode = 7\r\n# ten of each\r\nRepeat = 10\r\n\r\n"
              "[Sequence Line2]\r\nEnabled=1\r\nExposure=  2.5 \r\nBinning=6\r\n"
              "Exposure=99\r\nSuffix=B\r\n[Sequence Line3]\r\nBinning=3\r\n"
              "Exposure=0.123456789012345678901234\r\n");
    SequenceModel m;
    m.SetBinningRange(4);
    ASSERT_TRUE(ReadSequence(dir / "h.csq", m));
    EXPECT_EQ(m.repeatMode, -1);
    EXPECT_EQ(m.Mode(), RepeatMode::Lines);
    EXPECT_EQ(m.repeat, 10);
    EXPECT_TRUE(m.lines[1].enabled);
    EXPECT_EQ(m.lines[1].exposureText, "2.5");  // the first of two keys
    EXPECT_EQ(m.lines[1].binning, -1);          // 7x7 is not in a list of four
    EXPECT_EQ(m.BinningFactor(1), 1);
    EXPECT_EQ(m.lines[1].suffix, "B");
    EXPECT_EQ(m.lines[2].binning, 3);
    EXPECT_EQ(m.lines[2].exposureText, "0.12345678901234567");  // 19 characters
}

TEST(SequenceFile, LoadFixesTheExtensionAndNeverPutsDefaultsOverTheSequence) {
    TempDir dir;
    WriteText(dir / "night.csq", "[Sequence]\nRepeat=5\n");
    WriteText(dir / "night.txt", "[Sequence]\nRepeat=9\n");
    ScriptedPrompts prompts;
    SequenceModel m;
    prompts.openResults = {ScriptedPrompts::Chosen(dir / "night.txt", 1),
                           ScriptedPrompts::Chosen(dir / "gone.txt", 1)};
    ASSERT_TRUE(LoadSequence(prompts, m));
    EXPECT_EQ(prompts.openRequests[0].title, "Load sequence...");
    ASSERT_EQ(prompts.openRequests[0].filters.size(), 2u);
    EXPECT_EQ(prompts.openRequests[0].filters[0].name, "Capture Sequence (*.csq)");
    EXPECT_TRUE(prompts.openRequests[0].fileMustExist);
    EXPECT_EQ(m.repeat, 5);
    EXPECT_EQ(m.path, dir / "night.csq");
    EXPECT_EQ(m.Title(), "Sequencer - night.csq");

    m.repeat = 7;
    EXPECT_FALSE(LoadSequence(prompts, m));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Failed to read file '" + (dir / "gone.csq") + "'");
    EXPECT_EQ(prompts.messages[0].caption, "Sequencer");
    EXPECT_EQ(m.repeat, 7);
    EXPECT_EQ(m.path, dir / "night.csq");

    EXPECT_EQ(WithSequenceExtension("/a.b/run"), "/a.b/run.csq");
    EXPECT_EQ(WithSequenceExtension("/a/"), "/a/sequence.csq");
    EXPECT_EQ(WithSequenceExtension("m.31.CSQ"), "m.31.csq");
}

TEST(SequenceFile, AbsurdNumbersLoadWithinTheDialogsRangesAndOtherFilesLoadNothing) {
    TempDir dir;
    WriteText(dir / "a.csq",
              "[Sequence]\nRepeat=99999999999\nDelay=-5\nDelayStart=4294967296\n"
              "[Sequence Line1]\nExposure=1e39\nFilter=-2147483648\n"
              "[Sequence Line2]\nExposure=7.5\nFilter=9\n");
    ScriptedPrompts prompts;
    prompts.openResults = {ScriptedPrompts::Chosen(dir / "a.csq", 1)};
    SequenceModel m;
    ASSERT_TRUE(LoadSequence(prompts, m));
    EXPECT_EQ(m.repeat, 1000);
    EXPECT_EQ(m.delay, 0);
    EXPECT_EQ(m.delayStart, 36000);
    EXPECT_EQ(m.lines[0].exposureText, "36000");
    EXPECT_EQ(m.lines[0].filter, 0);
    EXPECT_EQ(m.lines[1].exposureText, "7.5");
    EXPECT_EQ(m.lines[1].filter, 9) << "a wheel with more filters may come";

    // A file that is no sequence at all says so and leaves the sequence as it was.
    WriteText(dir / "image.csq", "SIMPLE  =                    T\n");
    prompts.openResults = {ScriptedPrompts::Chosen(dir / "image.csq", 1)};
    EXPECT_FALSE(LoadSequence(prompts, m));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              "'" + (dir / "image.csq") + "' is not a sequence file; nothing was loaded.");
    EXPECT_EQ(m.repeat, 1000);
    EXPECT_EQ(m.path, dir / "a.csq");
}

TEST(SequenceFile, SaveAsksBeforeItOverwritesTheNameTheExtensionMakes) {
    TempDir dir;
    WriteText(dir / "night.csq", "mine");
    ScriptedPrompts prompts;
    SequenceModel m;
    prompts.saveResults = {ScriptedPrompts::Chosen(dir / "night", 1),
                           ScriptedPrompts::Chosen(dir / "night", 1)};
    prompts.answers = {MessageAnswer::No, MessageAnswer::Yes};
    EXPECT_FALSE(SaveSequence(prompts, m));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              "'" + (dir / "night.csq") + "' already exists.\nDo you want to replace it?");
    EXPECT_EQ(prompts.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(ReadAll(dir / "night.csq"), "mine");
    EXPECT_TRUE(SaveSequence(prompts, m));
    EXPECT_NE(ReadAll(dir / "night.csq"), "mine");
}

TEST(SequenceFile, SaveRetriesAnInvalidNameAndReportsAFailedWrite) {
    TempDir dir;
    ScriptedPrompts prompts;
    SequenceModel m;
    m.path = dir / "old.CSQ";
    FileDialogResult invalid;
    invalid.status = FileDialogResult::Status::InvalidFileName;
    prompts.saveResults = {invalid, ScriptedPrompts::Chosen(dir / "new.txt", 1),
                           ScriptedPrompts::Chosen(dir / "no/such/dir/x.csq", 1)};
    ASSERT_TRUE(SaveSequence(prompts, m));
    ASSERT_EQ(prompts.saveRequests.size(), 2u);
    EXPECT_EQ(prompts.saveRequests[0].title, "Save sequence as...");
    EXPECT_EQ(prompts.saveRequests[0].initialPath, dir / "old.CSQ");
    EXPECT_EQ(prompts.saveRequests[0].presetFilter, 1);
    EXPECT_TRUE(prompts.saveRequests[0].confirmOverwrite);
    EXPECT_EQ(prompts.saveRequests[1].initialPath, "");
    EXPECT_EQ(m.path, dir / "new.csq");
    EXPECT_FALSE(ReadAll(dir / "new.csq").empty());

    // A folder the file cannot be made in (a plain file stands where it should be).
    WriteText(dir / "no", "");
    EXPECT_FALSE(SaveSequence(prompts, m));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              "Failed to write file '" + (dir / "no/such/dir/x.csq") + "'");
    EXPECT_EQ(m.path, dir / "new.csq");
}

TEST(SequenceModel, ExposureSpinStepsByDecade) {
    EXPECT_EQ(StepExposureText("0.95", 1), "0.96");
    EXPECT_EQ(StepExposureText("0.95", 10), "1");
    EXPECT_EQ(StepExposureText("0.95", -10), "0.9");
    EXPECT_EQ(StepExposureText("9.9", 1), "10");
    EXPECT_EQ(StepExposureText("10", 1), "11");
    EXPECT_EQ(StepExposureText("100", 1), "110");
    EXPECT_EQ(StepExposureText("1", -1), "0.99");
    EXPECT_EQ(StepExposureText("0.1", -1), "0.099");
    EXPECT_EQ(StepExposureText("0.001", -1), "0.001");
    EXPECT_EQ(StepExposureText("2.37", 5), "3");  // 2.87 rounded to a multiple of the move
    EXPECT_EQ(StepExposureText("abc", 1), "0.001");
    EXPECT_EQ(ExposureSpinAcceleration(0), 1);
    EXPECT_EQ(ExposureSpinAcceleration(3000), 5);
    EXPECT_EQ(ExposureSpinAcceleration(5000), 10);
    EXPECT_EQ(ExposureSpinAcceleration(10000), 100);
}

TEST(SequenceModel, ValuesAsTheEngineUsesThem) {
    SequenceModel m;
    m.lines[0].binning = 3;
    m.SetBinningRange(2);
    EXPECT_EQ(m.BinningEntries(), 2);
    EXPECT_EQ(m.lines[0].binning, 1) << "4x4 becomes 2x2";
    EXPECT_EQ(m.lines[1].binning, 0);
    m.SetBinningRange(64);
    EXPECT_EQ(m.BinningEntries(), 8);
    EXPECT_EQ(BinningEntryText(7), "8x8");

    m.lines[0].exposureText = "nan";
    EXPECT_FLOAT_EQ(m.ExposureSeconds(0), 0.001f);
    m.lines[0].exposureText = " 2.5s";
    EXPECT_FLOAT_EQ(m.ExposureSeconds(0), 2.5f);
    EXPECT_EQ(SequenceModel::DelayMilliseconds(0), 1u);
    EXPECT_EQ(SequenceModel::DelayMilliseconds(-5), 1u);
    EXPECT_EQ(SequenceModel::DelayMilliseconds(36000), 36000000u);
    EXPECT_EQ(SequenceModel::DelayMilliseconds(2000000000), 2147483000u) << "no overflow";
    EXPECT_EQ(StepSpin(1000, 1, kRepeatSpin), 1000);
    EXPECT_EQ(StepSpin(0, -1, kDelaySpin), 0);

    // The wheel's names size the filter spins and are shown short and printable.
    m.SetFilterNames({"Red", "H\xce\xb1\tnarrow", std::string(40, 'x') + "\xce\xb1"});
    EXPECT_EQ(m.FilterPositions(), 3);
    EXPECT_EQ(m.FilterName(0), "Red");
    EXPECT_EQ(m.FilterName(1), "H\xce\xb1 narrow");
    EXPECT_EQ(m.FilterName(2), std::string(24, 'x') + "...");
    EXPECT_EQ(m.FilterName(3), "");
    EXPECT_EQ(m.FilterName(-1), "");
}

TEST(SequenceCommand, SubstitutesInOnePassAndQuotesPathsThatNeedIt) {
    CommandValues v{"/data/m31_012R.fit", 3, 2, 12};
    EXPECT_EQ(SubstituteCommand("cp $FILE /b/$SEQ-$LOOP-$LINE.fit", v),
              "cp /data/m31_012R.fit /b/12-3-2.fit");

    v.file = "/data/my night; rm x/it's $LOOP.fit";
    EXPECT_EQ(SubstituteCommand("cp $FILE /b", v),
              "cp '/data/my night; rm x/it'\\''s $LOOP.fit' /b");
    EXPECT_EQ(SubstituteCommand("cp \"$FILE\" /b", v),
              "cp \"/data/my night; rm x/it's \\$LOOP.fit\" /b");
    EXPECT_EQ(SubstituteCommand("echo 'at $FILE'", v),
              "echo 'at /data/my night; rm x/it'\\''s $LOOP.fit'");
    // A backslash meant to keep the shell off the name goes with it; a command substitution
    // is unquoted inside, even between double quotes.
    EXPECT_EQ(SubstituteCommand("cp \\$FILE /b", v),
              "cp '/data/my night; rm x/it'\\''s $LOOP.fit' /b");
    EXPECT_EQ(SubstituteCommand("cp \"\\$FILE\" /b", v),
              "cp \"/data/my night; rm x/it's \\$LOOP.fit\" /b");
    EXPECT_EQ(SubstituteCommand("echo \"$(basename $FILE) ($LINE)\" \"$FILE\"", v),
              "echo \"$(basename '/data/my night; rm x/it'\\''s $LOOP.fit') (2)\" "
              "\"/data/my night; rm x/it's \\$LOOP.fit\"");
    // Quoting is followed past escaped quotes.
    EXPECT_EQ(SubstituteCommand("echo \\\" $LINE \"a\\\"b\" $SEQ", v), "echo \\\" 2 \"a\\\"b\" 12");
}

}  // namespace
}  // namespace zorvane
