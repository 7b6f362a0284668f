#include <gtest/gtest.h>

#include "view/DisplayDialogModel.h"

namespace zorvane {
namespace {

using namespace display_ids;

DisplayDialogModel Shown(DisplayFields f = {}) {
    DisplayDialogModel m;
    m.fields = f;
    m.Show();
    return m;
}

TEST(DisplayDialogModel, FailingLogStopsTheLevelsTypedWithIt) {
    DisplayDialogModel m = Shown();
    m.controls.negative = true;  // before the log: taken
    m.controls.log = "12";
    m.controls.white = "30000";
    m.controls.black = "1200";
    m.controls.reticle = true;  // after: not taken
    const auto failure = m.Take();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->controlId, kLogEdit);
    EXPECT_EQ(failure->message, "Please enter a number between -10 and 10.");
    EXPECT_TRUE(m.fields.negative);
    EXPECT_EQ(m.fields.logValue, 0.0f);
    EXPECT_EQ(m.fields.white, 65535);
    EXPECT_EQ(m.fields.black, 0);
    EXPECT_FALSE(m.fields.reticle);
    EXPECT_EQ(m.controls.whiteTrack, 32767);  // sliders untouched
}

TEST(DisplayDialogModel, LevelValidation) {
    DisplayDialogModel m = Shown();
    m.controls.log = "0.5";
    m.controls.white = "70000";
    m.controls.black = "10";
    auto failure = m.Take();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->controlId, kWhiteEdit);
    EXPECT_EQ(failure->message, "Please enter an integer between 0 and 65535.");
    EXPECT_FLOAT_EQ(m.fields.logValue, 0.5f);
    EXPECT_EQ(m.fields.black, 0);

    for (const char* bad : {"", "abc", "1.5", "12x", "0x10"}) {
        m.controls.white = "100";
        m.controls.black = bad;
        failure = m.Take();
        ASSERT_TRUE(failure.has_value()) << bad;
        EXPECT_EQ(failure->controlId, kBlackEdit);
        EXPECT_EQ(failure->message, "Please enter an integer.") << bad;
    }
    m.controls.black = "-1";
    EXPECT_EQ(m.Take()->message, "Please enter an integer between 0 and 65535.");
    m.controls.black = "99999999999999999999999";
    EXPECT_EQ(m.Take()->message, "Please enter an integer between 0 and 65535.");

    m.controls.black = " 65535 ";
    EXPECT_FALSE(m.Take().has_value());
    EXPECT_EQ(m.fields.black, 65535);
    EXPECT_EQ(m.fields.white, 100);
    EXPECT_EQ(m.controls.blackTrack, 32767);
    EXPECT_EQ(m.controls.whiteTrack, 100 - 32768);
}

TEST(DisplayDialogModel, LogTextThatIsNotANumber) {
    DisplayDialogModel m = Shown();
    for (const char* bad : {"", "x", "nan", "inf", "1,5", "--1"}) {
        m.controls.log = bad;
        const auto failure = m.Take();
        ASSERT_TRUE(failure.has_value()) << bad;
        EXPECT_EQ(failure->message, "Please enter a number.") << bad;
    }
    m.controls.log = "-10";
    EXPECT_FALSE(m.Take().has_value());
    m.controls.log = "-10.01";
    EXPECT_TRUE(m.Take().has_value());
}

TEST(DisplayDialogModel, LogKeepsOneDecimal) {
    DisplayDialogModel m = Shown();
    m.controls.log = "0.7";
    ASSERT_FALSE(m.Take().has_value());
    EXPECT_EQ(m.controls.logTrack, 7);
    m.Show();
    EXPECT_EQ(m.controls.log, "0.7");
    EXPECT_EQ(m.controls.logTrack, 7);

    m.controls.log = "-1.0";
    ASSERT_FALSE(m.Take().has_value());
    EXPECT_EQ(m.fields.logValue, -1.0f);
    EXPECT_EQ(m.controls.logTrack, -10);

    m.controls.log = "0.79";
    ASSERT_FALSE(m.Take().has_value());
    EXPECT_EQ(m.controls.logTrack, 7);
    EXPECT_FLOAT_EQ(m.fields.logValue, 0.7f);
}

TEST(DisplayDialogModel, LogArrowsStopAtTen) {
    DisplayDialogModel m = Shown();
    m.controls.log = "9.9";
    ASSERT_FALSE(m.Take().has_value());
    m.StepLog(true);
    m.Show();
    EXPECT_EQ(m.controls.log, "10");
    EXPECT_EQ(m.controls.logTrack, 100);
    m.StepLog(true);
    m.Show();
    EXPECT_EQ(m.controls.log, "10");
    EXPECT_FALSE(m.Take().has_value());

    m.fields.logValue = -9.95f;
    m.StepLog(false);
    EXPECT_EQ(m.fields.logValue, -10.0f);
}

TEST(DisplayDialogModel, SlidersWriteTheirEdits) {
    DisplayDialogModel m = Shown();
    m.OnBlackTrack(-32768);
    EXPECT_EQ(m.controls.black, "0");
    m.OnWhiteTrack(32767);
    EXPECT_EQ(m.controls.white, "65535");
    m.OnBlackTrack(32767);
    ASSERT_FALSE(m.Take().has_value());
    EXPECT_EQ(m.fields.black, 65535);
    m.OnLogTrack(-7);
    EXPECT_EQ(m.controls.log, "-0.7");
    m.OnLogTrack(100);
    EXPECT_EQ(m.controls.log, "10.0");
}

TEST(DisplayDialogModel, AutoStretchDisablesTheLevelControls) {
    DisplayFields f;
    f.autoStretch = true;
    EXPECT_FALSE(Shown(f).controls.levelsEnabled);
    f.autoStretch = false;
    DisplayDialogModel m = Shown(f);
    EXPECT_TRUE(m.controls.levelsEnabled);
    m.controls.autoStretch = true;
    ASSERT_FALSE(m.Take().has_value());
    EXPECT_FALSE(m.controls.levelsEnabled);
}

}  // namespace
}  // namespace zorvane
