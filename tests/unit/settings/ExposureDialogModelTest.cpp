#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/ExposureDialogModel.h"

namespace zorvane {
namespace {

using namespace exposure_ids;

struct SpinCase {
    float exposure;
    ExposureSpin spin;
    bool up;
    const char* shown;  // what the exposure box shows afterwards
};

TEST(ExposureDialogModelTest, SpinButtonsStepAndRound) {
    const SpinCase cases[] = {
        {0.5f, ExposureSpin::Fine, true, "0.6"},      // trial 0.501: step 0.1
        {0.05f, ExposureSpin::Fine, true, "0.06"},    // step 0.01
        {0.01f, ExposureSpin::Fine, true, "0.02"},    // trial 0.011 > 0.01: step 0.01
        {0.01f, ExposureSpin::Fine, false, "0.009"},  // trial 0.009: step 0.001
        {0.1f, ExposureSpin::Fine, false, "0.09"},
        {0.001f, ExposureSpin::Fine, false, "0.001"},
        {0.001f, ExposureSpin::Seconds, false, "0.001"},  // -0.999
        {5.25f, ExposureSpin::Seconds, true, "6.3"},      // tenths above 1 s
        {9.6f, ExposureSpin::Seconds, true, "11"},        // whole seconds above 10 s
        {0.123f, ExposureSpin::Seconds, true, "1.1"},
        {30.0f, ExposureSpin::Minutes, false, "0.001"},
        {30.0f, ExposureSpin::Minutes, true, "90"},
        {9990.0f, ExposureSpin::Minutes, true, "10000"},  // kept within what the box accepts
    };
    for (const SpinCase& c : cases) {
        const float result = ExposureDialogModel::SpinExposure(c.exposure, c.spin, c.up);
        EXPECT_EQ(ExposureDialogModel::FormatFloat(result), c.shown)
            << c.exposure << (c.up ? " up" : " down") << " spin " << static_cast<int>(c.spin);
    }
}

ExposureSettings Settings() {
    ExposureSettings s;
    s.exposure = 2.5f;
    s.delay = 1.0f;
    s.binX = 2;
    s.binY = 0;
    s.maxBinX = 4;
    s.maxBinY = 3;
    s.subX = 10;
    s.subY = 20;
    s.subWidth = 300;
    s.subHeight = 200;
    s.prechargeMode = 2;
    s.fifo = true;
    s.preview = true;
    return s;
}

TEST(ExposureDialogModelTest, RefreshShowsTheSettingsAndTheCamerasControls) {
    ExposureDialogModel m;
    FileSettings f{"/data/m31.fit", 12, 3, true};
    ExposureCameraFacts cam{4 | 16, 1, 4, 3, 1000, 800};
    m.Refresh(Settings(), f, cam);

    const ExposureControls& c = m.controls;
    EXPECT_EQ(c.exposure, "2.5");
    EXPECT_EQ(c.delay, "1");
    EXPECT_EQ(c.binXItems, (std::vector<std::string>{"1", "2", "3", "4"}));
    EXPECT_EQ(c.binYItems, (std::vector<std::string>{"=X", "1", "2", "3"}));
    EXPECT_EQ(c.binX, 1);
    EXPECT_EQ(c.binY, 0);
    EXPECT_EQ(c.startY, "20");
    EXPECT_EQ(c.height, "200");
    EXPECT_FALSE(c.inCamPrecharge);  // mode 2: neither box
    EXPECT_FALSE(c.noPrecharge);
    EXPECT_EQ(c.savePath, "/data/m31.fit");
    EXPECT_EQ(c.sequenceNumber, "12");
    EXPECT_EQ(c.sequenceFormat, 3);
    EXPECT_TRUE(c.autosave);
    EXPECT_TRUE(c.fifoVisible);
    EXPECT_TRUE(c.vbeVisible);
    EXPECT_TRUE(c.preVisible);
    EXPECT_TRUE(c.darkVisible);
    EXPECT_FALSE(c.subVisible);
    EXPECT_FALSE(c.trigVisible);
    EXPECT_TRUE(c.lockedControlsEnabled);

    // A camera without capabilities shows none of them; the lists follow its maxima.
    ExposureSettings locked = Settings();
    locked.lockExposure = true;
    m.Refresh(locked, f, ExposureCameraFacts{0, 0, 2, 2, 0, 0});
    EXPECT_FALSE(m.controls.fifoVisible);
    EXPECT_FALSE(m.controls.vbeVisible);
    EXPECT_FALSE(m.controls.preVisible);
    EXPECT_EQ(m.controls.binYItems, (std::vector<std::string>{"=X", "1", "2"}));
    EXPECT_FALSE(m.controls.lockedControlsEnabled);
}

TEST(ExposureDialogModelTest, ControlsTravelBackToTheSettings) {
    ExposureDialogModel m;
    FileSettings f;
    m.Refresh(Settings(), f, ExposureCameraFacts{});
    ExposureControls& c = m.controls;
    c.exposure = " 120 ";
    c.binX = 2;
    c.binY = 0;  // "=X"
    c.width = "-5";
    c.noPrecharge = true;
    c.savePath = "/x/y.tif";
    c.sequenceFormat = -1;  // typed text that names no entry
    c.lock = true;
    ASSERT_FALSE(m.Take().has_value());

    ExposureSettings s = Settings();
    FileSettings out;
    m.CopyTo(s, out);
    EXPECT_FLOAT_EQ(s.exposure, 120.0f);
    EXPECT_EQ(s.binX, 3);
    EXPECT_EQ(s.binY, 0);
    EXPECT_EQ(s.subWidth, -5);
    EXPECT_EQ(s.prechargeMode, 0);
    EXPECT_TRUE(s.lockExposure);
    EXPECT_TRUE(s.preview);  // hidden or not, every field travels
    EXPECT_EQ(out.savePath, "/x/y.tif");
    EXPECT_EQ(out.sequenceFormat, -1);

    c.noPrecharge = false;
    c.inCamPrecharge = true;
    ASSERT_FALSE(m.Take().has_value());
    m.CopyTo(s, out);
    EXPECT_EQ(s.prechargeMode, 1);
}

TEST(ExposureDialogModelTest, RefusedValueStopsTheLaterFields) {
    ExposureDialogModel m;
    FileSettings f;
    m.Refresh(Settings(), f, ExposureCameraFacts{});

    m.controls.exposure = std::string("4");
    m.controls.delay = "20000";
    m.controls.startX = std::string("7");
    auto failure = m.Take();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->controlId, kDelayEdit);
    EXPECT_EQ(failure->message, "Please enter a number between 0 and 10000.");
    EXPECT_FLOAT_EQ(m.fields.exposure, 4.0f);  // before the refused one: taken
    EXPECT_FLOAT_EQ(m.fields.delay, 1.0f);     // the refused one keeps its value
    EXPECT_EQ(m.fields.startX, 10);            // after it: not taken

    m.controls.delay = std::string("0");
    m.controls.exposure = "1,5";
    failure = m.Take();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->controlId, kExposureEdit);
    EXPECT_EQ(failure->message, "Please enter a number.");

    m.controls.exposure = "1.5";
    m.controls.height = "12.5";
    failure = m.Take();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->controlId, kHeight);
    EXPECT_EQ(failure->message, "Please enter an integer.");
    EXPECT_EQ(m.fields.startX, 7);

    m.controls.height = "200";
    m.controls.sequenceNumber = "99999999999";
    failure = m.Take();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->controlId, kSeqNo);
}

TEST(ExposureDialogModelTest, FullFrameFillsTheSubframeControls) {
    ExposureDialogModel m;
    m.controls.startX = std::string("5");
    m.controls.width = "12";
    m.FullFrame(ExposureCameraFacts{0, 0, 8, 8, 1392, 1040});
    EXPECT_EQ(m.controls.startX, "0");
    EXPECT_EQ(m.controls.startY, "0");
    EXPECT_EQ(m.controls.width, "1392");
    EXPECT_EQ(m.controls.height, "1040");
}

}  // namespace
}  // namespace zorvane
