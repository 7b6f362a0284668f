// The telescope link and the device chooser against the INDI simulators on a private server:
// the chooser lists only the mount, the chosen id opens it through the INDI transport, guide
// pulses last about their length, and a server that dies makes the next pulse fail at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>

#include "automation/IndiTransport.h"
#include "automation/ServerDirectory.h"
#include "fixtures/TempDir.h"
#include "indi/IndiClient.h"
#include "platform/Clock.h"
#include "platform/IniFile.h"
#include "support/DeviceLoop.h"
#include "support/IndiServer.h"
#include "telescope/DeviceChooser.h"
#include "telescope/TelescopeLink.h"

namespace zorvane {
namespace {

using test::IndiServer;

// Picks a listed device by name, or cancels; remembers what it was shown.
struct PickingUi : DeviceChooserUi {
    std::string pick;
    std::string retypedServer;  // typed into the server box before choosing
    std::vector<std::string> shown;
    std::string status;
    std::optional<int> RunChooser(DeviceChooserModel& model) override {
        if (!retypedServer.empty()) {
            model.SetServer(retypedServer);
            model.Refresh();
        }
        shown = model.Devices();
        status = model.StatusText();
        for (size_t i = 0; i < shown.size(); ++i)
            if (shown[i] == pick) return static_cast<int>(i);
        return std::nullopt;
    }
};

long long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

class IndiTelescope : public ::testing::Test {
protected:
    IndiServer server{{IndiServer::kWheelDriver, IndiServer::kTelescopeDriver},
                      {IndiServer::kWheelDevice, IndiServer::kTelescopeDevice}};
    test::TempDir dir;
    std::string ini = dir.File("ZorvaneCapture.ini");
    PickingUi ui;
    IndiTransport indi{ini};
    ServerDirectory servers{indi};

    void SetUp() override {
        ZORVANE_START_INDI_SERVER(server);
        test::WriteText(ini, "[Automation]\nDriverHelper.Chooser=@" + server.Address() + "\n");
        servers.Register(DeviceChooserServer::kProgId,
                         [this] { return std::make_shared<DeviceChooserServer>(ui, ini); });
    }
};

TEST_F(IndiTelescope, ChooserListsOnlyTheMountAndCancelChoosesNothing) {
    const DeviceListing all = ListIndiDevices("localhost", server.Port(), 0);
    EXPECT_EQ(all.devices.size(), 2u) << "the wheel is on the server too";
    const DeviceListing mounts =
        ListIndiDevices("localhost", server.Port(), zorvane::indi::kTelescopeInterface);
    EXPECT_TRUE(mounts.reached);
    EXPECT_EQ(mounts.devices, (std::vector<std::string>{IndiServer::kTelescopeDevice}));

    test::DeviceLoop d;
    TelescopeLink link(servers, d.loop, d.loop, kTimerPulse, d.work);
    ASSERT_TRUE(link.IsChooserInstalled());
    ui.pick = "";  // Cancel
    EXPECT_FALSE(link.ChooseDriver());
    EXPECT_EQ(ui.shown, mounts.devices);
    EXPECT_EQ(ui.status, "1 telescope on localhost:" + std::to_string(server.Port()));
    EXPECT_EQ(link.ScopeId(), "");
    EXPECT_FALSE(link.DriverOpen());

    // A server that is not there: the chooser says so and lists nothing.
    const std::string nowhere = "localhost:" + std::to_string(IndiServer::FreePort());
    DeviceChooserModel model("Telescope", nowhere);
    model.Refresh();
    EXPECT_TRUE(model.Devices().empty());
    EXPECT_EQ(model.StatusText(), "No INDI server answers at " + nowhere);
}

TEST_F(IndiTelescope, ChosenMountGuidesAndAKilledServerFailsThePulseAtOnce) {
    // The chooser starts on a server that is not there; the user types the right one.
    test::WriteText(ini, "[Automation]\nDriverHelper.Chooser=@localhost:" +
                             std::to_string(IndiServer::FreePort()) + "\n");
    ui.retypedServer = server.Address();
    ui.pick = IndiServer::kTelescopeDevice;
    test::DeviceLoop d;
    TelescopeLink link(servers, d.loop, d.loop, kTimerPulse, d.work);
    ASSERT_TRUE(link.ChooseDriver());
    EXPECT_EQ(link.ScopeId(),
              std::string(IndiServer::kTelescopeDevice) + ".indi@" + server.Address());
    EXPECT_EQ(link.DriverName(), IndiServer::kTelescopeDevice);
    EXPECT_EQ(GetPrivateProfileString("Automation", "DriverHelper.Chooser", "", 256, ini),
              "@" + server.Address())
        << "the server chosen from is remembered";
    ASSERT_EQ(d.Connect(link), TelescopeLink::Connection::Ready);
    // Where it points goes into the headers: carried from the mount's coordinates of date to
    // J2000, which moves it by no more than the precession of a few decades.
    const std::optional<Equatorial> pointing = link.CurrentPointing();
    ASSERT_TRUE(pointing);
    EXPECT_GE(pointing->raDegrees, 0.0);
    EXPECT_LT(pointing->raDegrees, 360.0);
    EXPECT_LE(std::abs(pointing->decDegrees), 90.0);
    std::printf("the mount points at RA %.4f, Dec %.4f (J2000)\n", pointing->raDegrees,
                pointing->decDegrees);

    for (const int direction : {guide::North, guide::West}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(d.Pulse(link, direction, 500), TelescopeLink::PulseEnd::Ended)
            << "the simulator reports the end of a pulse";
        std::printf("500-ms pulse %d ended after %lld ms\n", direction, MillisecondsSince(start));
    }

    // The id alone opens the same mount in another link (as after a restart).
    test::DeviceLoop d2;
    TelescopeLink again(indi, d2.loop, d2.loop, kTimerPulse, d2.work);
    again.SetScopeId(link.ScopeId());
    EXPECT_NE(d2.Connect(again), TelescopeLink::Connection::NotCreated);

    server.Kill();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(d.Pulse(link, guide::South, 500), TelescopeLink::PulseEnd::Refused);
    std::printf("a pulse after the server died ended after %lld ms\n", MillisecondsSince(start));
    EXPECT_TRUE(link.CloseDriver());
    EXPECT_FALSE(link.DriverOpen());
}

}  // namespace
}  // namespace zorvane
