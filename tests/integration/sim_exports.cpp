// The simulated camera library and the INDI camera library export every camera entry point the
// program may call, as the dynamic symbol table shows it to any loader (nm -D), and nothing of
// the camera manager.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "platform/Paths.h"

namespace {

std::set<std::string> DynamicSymbols(const std::string& library) {
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only '" + library + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    ::pclose(pipe);
    return names;
}

// Every entry point named in the interface header, by its function-pointer type.
std::set<std::string> EntryPointsOfTheInterface() {
    std::ifstream header(ZORVANE_SOURCE_DIR "/include/zorvane/camera_api.h");
    std::stringstream text;
    text << header.rdbuf();
    const std::string s = text.str();
    std::set<std::string> names;
    const std::regex pointerType(R"(\(\*(Zorvane\w+)_fn\))");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), pointerType);
         it != std::sregex_iterator(); ++it)
        names.insert((*it)[1]);
    return names;
}

TEST(SimulatedCameraExports, EveryEntryPointIsInTheDynamicSymbolTable) {
    const std::set<std::string> exported =
        DynamicSymbols(zorvane::ExecutableDirectory() + "/libZorvaneCCDDummy.so");
    ASSERT_FALSE(exported.empty()) << "nm found no symbols";
    const std::set<std::string> wanted = EntryPointsOfTheInterface();
    ASSERT_GE(wanted.size(), 47u);
    for (const std::string& name : wanted) {
        if (name.rfind("ZorvaneMgr", 0) == 0) {
            EXPECT_EQ(exported.count(name), 0u) << name << " belongs to the camera manager";
        } else {
            EXPECT_EQ(exported.count(name), 1u) << name << " is not exported";
        }
    }
}

TEST(IndiCameraExports, EveryEntryPointAndNothingElse) {
    const std::set<std::string> exported =
        DynamicSymbols(zorvane::ExecutableDirectory() + "/libZorvaneINDI.so");
    std::set<std::string> wanted;
    for (const std::string& name : EntryPointsOfTheInterface())
        if (name.rfind("ZorvaneMgr", 0) != 0) wanted.insert(name);
    std::set<std::string> ours;
    for (const std::string& name : exported)
        if (name.rfind("Zorvane", 0) == 0) ours.insert(name);
    EXPECT_EQ(ours, wanted);
    // Nothing of the INDI client code inside leaves the library.
    for (const std::string& name : exported)
        EXPECT_EQ(name.find("indi"), std::string::npos) << name;
}

}  // namespace
