#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <thread>

#include "fixtures/TempDir.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/System.h"

namespace zorvane {
namespace {

using test::EnvOverride;
using test::TempDir;
using test::WriteText;

TEST(Paths, SettingsFileLivesInTheUsersConfigurationFolder) {
    EnvOverride home("HOME", "/home/observer");
    {
        EnvOverride xdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(HomeDirectory(), "/home/observer");
        EXPECT_EQ(ConfigDirectory(), "/home/observer/.config");
        EXPECT_EQ(SettingsFilePath(), "/home/observer/.config/ZorvaneCapture.ini");
    }
    {
        EnvOverride xdg("XDG_CONFIG_HOME", "/srv/cfg");
        EXPECT_EQ(SettingsFilePath(), "/srv/cfg/ZorvaneCapture.ini");
    }
    {
        EnvOverride xdg("XDG_CONFIG_HOME", "relative/cfg");  // only absolute paths count
        EXPECT_EQ(ConfigDirectory(), "/home/observer/.config");
    }
    EnvOverride noHome("HOME", "");
    EXPECT_FALSE(HomeDirectory().empty());  // from the account entry
}

TEST(Paths, ExecutableDirectoryHoldsTheTestProgram) {
    const std::string dir = ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(std::filesystem::exists(dir + "/unit_platform"));
}

TEST(Paths, FilesAndFolders) {
    TempDir dir;
    const std::string file = dir.File("a.fit");
    WriteText(file, "x");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(dir.File("b.fit")));
    EXPECT_FALSE(FileExists(dir.Path()));

    EXPECT_TRUE(MakeDirectory(dir.File("Night001")));
    EXPECT_TRUE(MakeDirectory(dir.File("Night001")));  // already there is fine
    EXPECT_FALSE(MakeDirectory(file));                 // a file is in the way
    EXPECT_FALSE(MakeDirectory(dir.File("x/y")));      // one level only
    EXPECT_TRUE(MakeDirectories(dir.File("x/y/z")));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("x/y/z")));

    EXPECT_EQ(ParentDirectory("/a/b/c.ini"), "/a/b");
    EXPECT_EQ(ParentDirectory("/a/b/"), "/a");
    EXPECT_EQ(ParentDirectory("/c.ini"), "/");
    EXPECT_EQ(ParentDirectory("c.ini"), ".");
}

TEST(System, ShellCommandsReportTheirStatus) {
    TempDir dir;
    const int status = RunShellCommand("echo done > '" + dir.File("out") + "'; exit 3");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_TRUE(FileExists(dir.File("out")));
}

TEST(System, ThreadPriorityBelongsToTheCallingThreadOnly) {
    const int mainBefore = CurrentThreadPriority();
    std::thread worker([&] {
        const int start = CurrentThreadPriority();
        // Lowering one's own priority is always permitted.
        EXPECT_TRUE(SetCurrentThreadPriority(start + 1));
        EXPECT_EQ(CurrentThreadPriority(), start + 1);
        RaiseToAboveNormal();  // may be refused; must not fail either way
        EXPECT_LE(CurrentThreadPriority(), start + 1);
    });
    worker.join();
    EXPECT_EQ(CurrentThreadPriority(), mainBefore);
}

TEST(Clock, SleepsAtLeastAsLongAsAsked) {
    const auto start = MonotonicMilliseconds();
    SleepMilliseconds(2);
    EXPECT_GE(MonotonicMilliseconds() - start, 2);
    SleepMilliseconds(0);
    EXPECT_GE(MonotonicMilliseconds(), start);
}

}  // namespace
}  // namespace zorvane
