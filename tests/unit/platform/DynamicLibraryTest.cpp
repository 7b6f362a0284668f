#include <gtest/gtest.h>

#include "fixtures/FixtureProbe.h"
#include "platform/DynamicLibrary.h"

namespace zorvane {
namespace {

using test::FixtureDir;
using test::IsResident;

TEST(DynamicLibrary, MapsWindowsLibraryNamesOnly) {
    EXPECT_EQ(MapLibraryFileName("ZorvaneCCD.dll"), "libZorvaneCCD.so");
    EXPECT_EQ(MapLibraryFileName("ZorvaneCameraManager.DLL"), "libZorvaneCameraManager.so");
    EXPECT_EQ(MapLibraryFileName("libm.so.6"), "libm.so.6");
    EXPECT_EQ(MapLibraryFileName("notadll"), "notadll");
    EXPECT_EQ(MapLibraryFileName(".dll"), ".dll");
}

TEST(DynamicLibrary, SearchesOnlyTheFoldersItIsGivenInOrder) {
    const std::vector<std::string> dirs = {"/nonexistent", FixtureDir("second3"),
                                           FixtureDir("both")};
    DynamicLibrary hsc = DynamicLibrary::LoadMapped("ZorvaneHSC.dll", dirs);
    ASSERT_TRUE(hsc);
    EXPECT_EQ(hsc.Path(), FixtureDir("second3") + "/libZorvaneHSC.so");
    // Not in any given folder: no fallback to the system's search.
    EXPECT_FALSE(DynamicLibrary::LoadMapped("libm.so.6", {"/nonexistent"}));
    EXPECT_FALSE(DynamicLibrary::LoadMapped("ZorvaneHSC.dll", {FixtureDir("device16")}));
}

TEST(DynamicLibrary, OwnsItsHandleAlone) {
    const std::vector<std::string> dirs = {FixtureDir("both")};
    DynamicLibrary a = DynamicLibrary::LoadMapped("ZorvaneCCD.dll", dirs);
    ASSERT_TRUE(a);
    EXPECT_NE(a.Symbol("ZorvaneAPIVersion"), nullptr);
    EXPECT_EQ(a.Symbol("NoSuchExport"), nullptr);

    DynamicLibrary b = std::move(a);
    EXPECT_FALSE(a.IsLoaded());
    EXPECT_EQ(a.Symbol("ZorvaneAPIVersion"), nullptr);
    EXPECT_TRUE(IsResident("both", "ZorvaneCCD.dll"));

    DynamicLibrary c;
    c = std::move(b);
    EXPECT_TRUE(c);
    c = DynamicLibrary();  // the old handle is released by the assignment
    EXPECT_FALSE(IsResident("both", "ZorvaneCCD.dll"));
}

TEST(DynamicLibrary, CountsEverySymbolLookup) {
    DynamicLibrary lib = DynamicLibrary::LoadMapped("ZorvaneCCD.dll", {FixtureDir("both")});
    ASSERT_TRUE(lib);
    const auto before = DynamicLibrary::SymbolLookupCount();
    lib.Symbol("NoSuchExport");
    lib.Symbol("ZorvaneAPIVersion");
    DynamicLibrary().Symbol("ZorvaneAPIVersion");  // nothing loaded: no look-up made
    EXPECT_EQ(DynamicLibrary::SymbolLookupCount() - before, 2u);
}

}  // namespace
}  // namespace zorvane
