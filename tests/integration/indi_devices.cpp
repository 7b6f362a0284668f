// The filter wheel and the mount adaptor against the INDI simulators on a private server, and
// the program's start-up with and without a wheel: positions, moves, a second program
// instance, guide pulses, a server that dies mid-move, the FILTER keyword in saved files, and
// devices other programs use that this one never switches off.
#include <fitsio.h>
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "automation/AutomationObject.h"
#include "automation/IndiTransport.h"
#include "automation/ServerDirectory.h"
#include "core/CommandIds.h"
#include "filterwheel/FilterWheel.h"
#include "fixtures/TempDir.h"
#include "indi/IndiClient.h"
#include "platform/Clock.h"
#include "sequencer/SequenceEngine.h"
#include "sequencer/SequenceModel.h"
#include "support/AppBench.h"
#include "support/DeviceLoop.h"
#include "support/IndiServer.h"
#include "support/ScriptedPrompts.h"
#include "telescope/DeviceChooser.h"
#include "telescope/TelescopeLink.h"

namespace zorvane {
namespace {

using test::IndiServer;
using test::ScriptedPrompts;
using test::TempDir;

// The settings file naming the simulators on `server`.
std::string AutomationSection(const IndiServer& server) {
    return std::string("[Automation]\nQelt.Filterwheel.Com=") + IndiServer::kWheelDevice + "@" +
           server.Address() + "\nTest.Telescope=" + IndiServer::kTelescopeDevice + "@" +
           server.Address() + "\n";
}

// Polls `done` every 10 ms for at most `ms`.
template <typename F>
bool Within(int ms, F done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class IndiDevices : public ::testing::Test {
protected:
    IndiServer server{{IndiServer::kWheelDriver, IndiServer::kTelescopeDriver},
                      {IndiServer::kWheelDevice, IndiServer::kTelescopeDevice}};
    TempDir dir;
    std::string ini = dir.File("ZorvaneCapture.ini");
    ScriptedPrompts prompts;

    void SetUp() override {
        ZORVANE_START_INDI_SERVER(server);
        test::WriteText(ini, AutomationSection(server));
    }
};

TEST_F(IndiDevices, WheelMovesAndASecondInstanceSeesIt) {
    IndiTransport transport(ini);
    test::DeviceLoop d;
    FilterWheel wheel = d.Wheel(transport, prompts);
    ASSERT_EQ(d.Connect(wheel, false), true);
    EXPECT_TRUE(wheel.IsConnected());
    EXPECT_EQ(wheel.GetPositionCount(), 8) << "the simulator's eight filter names";
    EXPECT_EQ(wheel.GetVersionText(), "Using Wyrl assembly v1.0");
    ASSERT_EQ(d.Move(wheel, 0), 0);

    // Straight after the command the wheel counts as moving; the wait returns where it went.
    ASSERT_TRUE(wheel.SetPosition(6));
    EXPECT_EQ(wheel.GetPosition(), -1);
    EXPECT_TRUE(Within(5000, [&] { return wheel.GetPosition() == 6; }));
    EXPECT_EQ(d.Move(wheel, 2), 2);
    EXPECT_EQ(wheel.GetPosition(), 2);

    // Another program on the same server finds the wheel where this one left it, and sees
    // this one's moves.
    IndiTransport otherTransport(ini);
    FilterWheel other = d.Wheel(otherTransport, prompts);
    ASSERT_EQ(d.Connect(other, true), true);
    EXPECT_EQ(other.GetPosition(), 2);
    EXPECT_EQ(d.Move(wheel, 4), 4);
    EXPECT_TRUE(Within(2000, [&] { return other.GetPosition() == 4; }));

    // A position that is not on the wheel is not sent; the wheel stays.
    EXPECT_TRUE(wheel.SetPosition(8));
    EXPECT_EQ(wheel.GetPosition(), 4);

    other.Disconnect();
    wheel.Disconnect();
    EXPECT_FALSE(wheel.IsConnected());
    EXPECT_EQ(wheel.GetPosition(), -1);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(IndiDevices, ServerKilledMidMoveGivesMinusOneWithoutHanging) {
    IndiTransport transport(ini);
    test::DeviceLoop d;
    FilterWheel wheel = d.Wheel(transport, prompts);
    ASSERT_EQ(d.Connect(wheel, true), true);
    ASSERT_EQ(d.Move(wheel, 0), 0);
    ASSERT_TRUE(wheel.SetPosition(7));
    server.Kill();
    EXPECT_EQ(d.Move(wheel, 5), -1);
    EXPECT_EQ(wheel.GetPosition(), -1);
    EXPECT_FALSE(wheel.IsConnected());
    EXPECT_EQ(wheel.GetPositionCount(), -1);

    EXPECT_EQ(d.Connect(wheel, false), false);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Cannot communicate with filterwheel");
}

TEST_F(IndiDevices, MountPulseGoesBusyAndEnds) {
    IndiTransport transport(ini);
    AutomationObject scope(transport);
    ASSERT_TRUE(scope.CreateFromProgId("Test.Telescope"));
    ASSERT_TRUE(scope.PutProperty("Connected", 1));
    ASSERT_NE(scope.GetProperty("Connected"), nullptr);
    EXPECT_NE(scope.GetProperty("Connected")->AsInt16(), 0);
    ASSERT_NE(scope.GetProperty("CanPulseGuide"), nullptr);
    EXPECT_NE(scope.GetProperty("CanPulseGuide")->AsInt16(), 0);

    for (int direction : {0, 3}) {
        ASSERT_NE(scope.CallMethod("PulseGuide", direction, 400), nullptr)
            << (scope.LastException() ? scope.LastException()->description : "");
        EXPECT_NE(scope.GetProperty("IsPulseGuiding")->AsInt16(), 0) << direction;
        EXPECT_TRUE(
            Within(5000, [&] { return scope.GetProperty("IsPulseGuiding")->AsInt16() == 0; }))
            << "the pulse never ended, direction " << direction;
    }
    // A pulse of no length does not wait for an answer that never comes.
    ASSERT_NE(scope.CallMethod("PulseGuide", 1, 0), nullptr);
    EXPECT_EQ(scope.GetProperty("IsPulseGuiding")->AsInt16(), 0);

    EXPECT_EQ(scope.CallMethod("PulseGuide", 4, 100), nullptr);
    EXPECT_EQ(scope.LastResult(), result::Exception);
    ASSERT_NE(scope.LastException(), nullptr);
    EXPECT_EQ(scope.LastException()->description, "Guide direction 4 is not 0 to 3");
    EXPECT_TRUE(scope.PutProperty("Connected", 0));
    EXPECT_EQ(scope.GetProperty("Connected")->AsInt16(), 0);
}

std::string FitsKeyword(const std::string& path, const char* name) {
    fitsfile* f = nullptr;
    int status = 0;
    if (fits_open_file(&f, path.c_str(), READONLY, &status)) return "<unreadable>";
    char value[FLEN_VALUE] = {}, comment[FLEN_COMMENT] = {};
    fits_read_keyword(f, name, value, comment, &status);
    int ignore = 0;
    fits_close_file(f, &ignore);
    return status == 0 ? value : "<missing>";
}

std::string TiffDescription(const std::string& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "rc");
    if (!tif) return {};
    char* text = nullptr;
    std::string result = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) == 1 ? text : "";
    TIFFClose(tif);
    return result;
}

void SnapshotAndSave(test::AppBench& b, const std::string& path, int type) {
    b.app->ExecuteCommand(ids::ID_CAMERA_SNAPSHOT);
    ASSERT_TRUE(b.loop.RunUntil([&] { return !b.app->Cycle().Exposing(); }, 10000));
    b.prompts.saveResults.push_back(ScriptedPrompts::Chosen(path, type));
    b.app->ExecuteCommand(ids::ID_FILE_SAVE_AS);
}

TEST_F(IndiDevices, ProgramConnectsAtStartUpAndFilesNameThePosition) {
    test::AppBench b("flush_ms=0;wait_ms=0;size=64x48");
    test::WriteText(b.iniPath, AutomationSection(server));
    b.Start();
    ASSERT_TRUE(b.loop.RunInRealTime([&] { return b.app->IsFilterWheelConnected(); }, 10000));
    EXPECT_EQ(b.app->Filters().positions, 8);
    EXPECT_EQ(b.app->FilterWheelVersionText(), "Using Wyrl assembly v1.0");
    int reached = -2;
    b.app->MoveFilterWheel(2, [&](int p) { reached = p; });
    ASSERT_TRUE(b.loop.RunInRealTime([&] { return reached != -2; }, 15000));
    ASSERT_EQ(reached, 2);

    SnapshotAndSave(b, b.dir.File("wheel.fit"), 1);
    EXPECT_EQ(FitsKeyword(b.dir.File("wheel.fit"), "FILTER"), "'Position 3'");
    SnapshotAndSave(b, b.dir.File("wheel.tif"), 2);
    EXPECT_NE(TiffDescription(b.dir.File("wheel.tif")).find("FILTER='Position 3'"),
              std::string::npos)
        << TiffDescription(b.dir.File("wheel.tif"));

    b.app->DisconnectFilterWheel();
    SnapshotAndSave(b, b.dir.File("nowheel.fit"), 1);
    EXPECT_EQ(FitsKeyword(b.dir.File("nowheel.fit"), "FILTER"), "<missing>");
    EXPECT_TRUE(b.prompts.messages.empty());
}

TEST_F(IndiDevices, ASequenceMovesTheRealWheelBeforeEachLine) {
    test::AppBench b("flush_ms=0;wait_ms=0;size=64x48");
    test::WriteText(b.iniPath, AutomationSection(server));
    b.Start();
    b.loop.DrainPosted();  // the wheel's connect
    ASSERT_TRUE(b.app->IsFilterWheelConnected());
    b.app->Saver().Settings().savePath = b.dir.File("m.fit");
    SequenceModel& model = b.app->Sequence();
    model.lines[0] = {true, "0.1", 0, 2, "a", {}};
    model.lines[1] = {true, "0.1", 0, 5, "b", {}};
    model.lines[2] = {true, "0.1", 0, 8, "c", {}};
    SequenceEngine& seq = b.app->Sequencer();
    seq.StartStopSequence();
    ASSERT_TRUE(b.loop.RunInRealTime([&] { return !seq.Running(); }, 60000));
    EXPECT_TRUE(b.prompts.messages.empty() ||
                b.prompts.messages.front().text == "Sequence complete.");
    EXPECT_EQ(FitsKeyword(b.dir.File("m_000a.fit"), "FILTER"), "'Position 2'");
    EXPECT_EQ(FitsKeyword(b.dir.File("m_000b.fit"), "FILTER"), "'Position 5'");
    EXPECT_EQ(FitsKeyword(b.dir.File("m_000c.fit"), "FILTER"), "'Position 8'");
    // The wheel itself went there, as another client sees it.
    IndiTransport transport(ini);
    test::DeviceLoop d;
    FilterWheel other = d.Wheel(transport, prompts);
    ASSERT_EQ(d.Connect(other, true), true);
    EXPECT_EQ(other.GetPosition(), 7);

    // A wheel that stops answering mid-sequence ends it with the message: nothing is taken
    // through a filter nobody checked.
    const auto fitsFiles = [&] {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(b.dir.Path()))
            n += e.path().extension() == ".fit";
        return n;
    };
    const int saved = fitsFiles();
    b.prompts.messages.clear();
    b.app->Saver().Settings().savePath = b.dir.File("n.fit");
    seq.StartStopSequence();
    ASSERT_TRUE(b.loop.RunInRealTime([&] { return fitsFiles() > saved; }, 60000));
    server.Kill();
    ASSERT_TRUE(b.loop.RunInRealTime([&] { return !seq.Running(); }, 60000));
    ASSERT_FALSE(b.prompts.messages.empty());
    EXPECT_EQ(b.prompts.messages.back().text,
              "Failed to position filter wheel: sequence terminating");
    EXPECT_LT(fitsFiles(), saved + 3);
}

// Another program on the same server, watching (and switching) the devices' CONNECTION.
struct OtherProgram {
    indi::IndiClient client;
    std::mutex mutex;
    std::map<std::string, std::vector<bool>> seen;  // every settled CONNECT state, by device

    explicit OtherProgram(int port) {
        client.SetUpdateSink([this](const indi::PropertySnapshot& p) {
            const indi::Element* connect = p.Find("CONNECT");
            if (p.name != "CONNECTION" || !connect || p.state == indi::PropertyState::Busy) return;
            std::lock_guard lock(mutex);
            seen[p.device].push_back(connect->on);
        });
        client.Connect("localhost", port, 1000);
    }
    bool On(const char* device) {
        const auto c = client.Get(device, "CONNECTION");
        return c && c->Find("CONNECT")->on && c->state == indi::PropertyState::Ok;
    }
    // Whether the device was seen switched off (on, then off) since the last call.
    bool SeenOff(const char* device) {
        std::lock_guard lock(mutex);
        std::vector<bool>& states = seen[device];
        const auto on = std::find(states.begin(), states.end(), true);
        const bool off = std::find(on, states.end(), false) != states.end();
        if (!states.empty()) states.erase(states.begin(), states.end() - 1);
        return off;
    }
    bool Becomes(const char* device, bool on) {
        return client.WaitUntil(
            [&](const indi::DeviceSet& s) {
                const auto* c = s.Find(device, "CONNECTION");
                return c && c->Find("CONNECT")->on == on && c->state != indi::PropertyState::Busy;
            },
            5000);
    }
};

struct CancellingChooser : DeviceChooserUi {
    std::optional<int> RunChooser(DeviceChooserModel&) override { return std::nullopt; }
};

// Everything the program does with a wheel and a mount short of guiding: start-up, the Filter
// Wheel dialog's Disconnect and Connect, two sequence Runs; a mount's use given up by unticking
// "Connect", a cancelled chooser, and a "mount" that cannot pulse-guide (the wheel, chosen by
// mistake). The program's exit follows when `b` goes.
void UseEverything(const IndiServer& server, const std::string& ini, test::AppBench& b) {
    test::WriteText(b.iniPath, AutomationSection(server));
    b.Start();
    b.loop.DrainPosted();  // the wheel's connect
    ASSERT_TRUE(b.app->IsFilterWheelConnected());
    b.app->DisconnectFilterWheel();
    bool connected = false;
    b.app->ConnectFilterWheel(false, [&](bool c) { connected = c; });
    b.loop.DrainPosted();
    ASSERT_TRUE(connected);
    b.app->Saver().Settings().savePath = b.dir.File("m.fit");
    b.app->Sequence().lines[0] = {true, "0.1", 0, 2, "a", {}};
    for (int run = 0; run < 2; ++run) {
        b.app->Sequencer().StartStopSequence();
        ASSERT_TRUE(b.loop.RunInRealTime([&] { return !b.app->Sequencer().Running(); }, 60000));
    }
    EXPECT_EQ(b.app->FilterPosition(), 1);

    CancellingChooser cancel;
    IndiTransport indi(ini);
    ServerDirectory servers(indi);
    servers.Register(DeviceChooserServer::kProgId,
                     [&] { return std::make_shared<DeviceChooserServer>(cancel, ini); });
    test::DeviceLoop d;
    TelescopeLink link(servers, d.loop, d.loop, kTimerPulse, d.work);
    link.SetScopeId("Test.Telescope");
    EXPECT_EQ(d.Connect(link), TelescopeLink::Connection::Ready);
    link.CloseDriver();
    EXPECT_FALSE(link.ChooseDriver());
    link.SetScopeId(
        IndiTransport::DeviceProgId(IndiServer::kWheelDevice, "localhost", server.Port()));
    EXPECT_EQ(d.Connect(link), TelescopeLink::Connection::CannotGuide);
    link.CloseDriver();
}

TEST_F(IndiDevices, DevicesOthersUseAreNeverSwitchedOff) {
    OtherProgram other(server.Port());
    ASSERT_TRUE(other.client.WaitForProperty(IndiServer::kTelescopeDevice, "CONNECTION", 5000));
    ASSERT_TRUE(other.client.WaitForProperty(IndiServer::kWheelDevice, "CONNECTION", 5000));

    // Both off at first: what the program switches on stays on while it runs; at exit it
    // switches the wheel off again, and the mount stays as a telescope link leaves it.
    other.SeenOff(IndiServer::kWheelDevice);
    other.SeenOff(IndiServer::kTelescopeDevice);
    {
        test::AppBench b("flush_ms=0;wait_ms=0;size=64x48");
        UseEverything(server, ini, b);
        EXPECT_TRUE(other.On(IndiServer::kWheelDevice));
        EXPECT_TRUE(other.On(IndiServer::kTelescopeDevice));
        EXPECT_FALSE(other.SeenOff(IndiServer::kWheelDevice));
        EXPECT_FALSE(other.SeenOff(IndiServer::kTelescopeDevice));
    }
    EXPECT_TRUE(other.Becomes(IndiServer::kWheelDevice, false));
    EXPECT_TRUE(other.On(IndiServer::kTelescopeDevice));

    // Switched on by the other program: nothing the program does, exit included, touches them.
    ASSERT_TRUE(other.client.SelectSwitch(IndiServer::kWheelDevice, "CONNECTION", "CONNECT"));
    ASSERT_TRUE(other.Becomes(IndiServer::kWheelDevice, true));
    other.SeenOff(IndiServer::kWheelDevice);
    other.SeenOff(IndiServer::kTelescopeDevice);
    {
        test::AppBench b("flush_ms=0;wait_ms=0;size=64x48");
        UseEverything(server, ini, b);
    }
    EXPECT_FALSE(other.Becomes(IndiServer::kWheelDevice, false));
    EXPECT_FALSE(other.SeenOff(IndiServer::kWheelDevice));
    EXPECT_FALSE(other.SeenOff(IndiServer::kTelescopeDevice));
    EXPECT_TRUE(other.On(IndiServer::kTelescopeDevice));
}

// Needs no server: the point is that there is none.
TEST(IndiNoServer, StartUpIsQuietWithFivePositions) {
    test::AppBench b("flush_ms=0;wait_ms=0;size=64x48");
    test::WriteText(b.iniPath, "[Automation]\nQelt.Filterwheel.Com=@localhost:" +
                                   std::to_string(IndiServer::FreePort()) + "\n");
    const auto start = std::chrono::steady_clock::now();
    b.Start();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(b.app->IsFilterWheelConnected());
    EXPECT_EQ(b.app->Filters().positions, 5);
    EXPECT_EQ(b.app->FilterWheelVersionText(), "");
    EXPECT_TRUE(b.prompts.messages.empty());
    std::printf("start-up without a wheel server: %lld ms\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));

    // An unknown ProgID is not sent anywhere.
    IndiTransport transport(b.iniPath);
    AutomationObject object(transport);
    EXPECT_FALSE(object.CreateFromProgId("No.Such.Driver"));
    EXPECT_EQ(object.LastResult(), result::ClassNotRegistered);
    EXPECT_FALSE(object.CreateFromProgId("Qelt.Filterwheel.Com"));
    EXPECT_EQ(object.LastResult(), result::ServerUnavailable);
}

}  // namespace
}  // namespace zorvane
