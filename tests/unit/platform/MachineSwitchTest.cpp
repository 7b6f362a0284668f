#include <gtest/gtest.h>

#include "fixtures/TempDir.h"
#include "platform/MachineSwitch.h"

namespace zorvane {
namespace {

using test::TempDir;
using test::WriteText;

TEST(MachineSwitch, OnlyTheTextOneDisablesBlackLevelAdjustment) {
    TempDir dir;
    const std::string path = dir.File("capture.ini");
    struct Case {
        const char* file;
        bool allowed;
    };
    const Case cases[] = {
        {"[Capture]\nDisableBlackLevelAutoAdjustment=1\n", false},
        {"[capture]\n  disableblacklevelautoadjustment = 1 \n", false},
        {"[Capture]\nDisableBlackLevelAutoAdjustment=0\n", true},
        {"[Capture]\nDisableBlackLevelAutoAdjustment=yes\n", true},
        {"[Capture]\nDisableBlackLevelAutoAdjustment=11\n", true},
        {"[Capture]\nDisableBlackLevelAutoAdjustment=\n", true},
        {"[Capture]\nSomethingElse=1\n", true},
        {"[Other]\nDisableBlackLevelAutoAdjustment=1\n", true},
    };
    for (const Case& c : cases) {
        WriteText(path, c.file);
        EXPECT_EQ(BlackLevelSwitch(path), c.allowed) << c.file;
    }
    EXPECT_TRUE(BlackLevelSwitch(dir.File("missing.ini")));
}

TEST(MachineSwitch, ValuesReadLikeASixteenByteBuffer) {
    TempDir dir;
    const std::string path = dir.File("capture.ini");
    WriteText(path, "[Capture]\nLong=0123456789abcdefghij\nEmpty=\n");
    EXPECT_EQ(ReadMachineValue("Long", path), "0123456789abcde");
    EXPECT_EQ(ReadMachineValue("Empty", path), "");
    EXPECT_EQ(ReadMachineValue("Missing", path), std::nullopt);
    EXPECT_EQ(ReadMachineValue("Long", dir.File("missing.ini")), std::nullopt);
}

}  // namespace
}  // namespace zorvane
