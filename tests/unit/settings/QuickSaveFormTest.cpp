#include <gtest/gtest.h>

#include "settings/QuickPresets.h"

namespace zorvane {
namespace {

std::array<QuickPreset, 8> Presets() {
    std::array<QuickPreset, 8> p;
    for (int n = 1; n <= 8; ++n) p[n - 1] = {quick::BuiltInPreset(n).title, 9};
    p[1] = {"Focus", 2 | 4};
    p[2] = {"Odd", 3 | 8};  // a start mode the list does not offer
    return p;
}

TEST(QuickSaveFormTest, OpensOnF1AndFollowsTheKeyWhileTheTitleIsUntouched) {
    const auto presets = Presets();
    QuickSaveForm form = QuickSaveForm::Open(presets);
    EXPECT_EQ(form.key, 0);
    EXPECT_EQ(form.title, "0.1 sec 1x1");
    EXPECT_EQ(form.mode, 1);
    EXPECT_TRUE(form.saveExposure);
    EXPECT_FALSE(form.saveSubframe);

    form.SelectKey(1, presets);
    EXPECT_EQ(form.title, "Focus");
    EXPECT_EQ(form.mode, 2);
    EXPECT_TRUE(form.saveSubframe);
    EXPECT_FALSE(form.saveExposure);
    EXPECT_EQ(form.Flags(), 6);

    form.SelectKey(2, presets);
    EXPECT_EQ(form.mode, 0);
    EXPECT_EQ(form.Flags(), 8);

    // An edited title and the choices made with it stay when the key changes.
    form.title = "Guide 2s";
    form.mode = 2;
    form.SelectKey(6, presets);
    EXPECT_EQ(form.key, 6);
    EXPECT_EQ(form.title, "Guide 2s");
    EXPECT_EQ(form.Flags(), 2 + 0 + 8);
}

TEST(QuickSaveFormTest, MenuTextCarriesTheKey) {
    EXPECT_EQ(quick::MenuText(3, "Guide 2s"), "Guide 2s\tF3");
    EXPECT_EQ(quick::MenuText(8, ""), "\tF8");
}

}  // namespace
}  // namespace zorvane
