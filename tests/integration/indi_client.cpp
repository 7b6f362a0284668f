// The shared INDI client against the real simulators on a private server: device connection
// through a whole switch vector, a filter move seen going Busy and ending, and a dead server
// noticed (and said, but not the client's own close) and replaced by a fresh connection.
#include <gtest/gtest.h>

#include <atomic>

#include "indi/IndiClient.h"
#include "support/IndiServer.h"

namespace zorvane {
namespace {

using indi::DeviceSet;
using indi::IndiClient;
using indi::PropertyState;
using test::IndiServer;

constexpr const char* kWheel = IndiServer::kWheelDevice;

bool ConnectDevice(IndiClient& c, const char* device) {
    if (!c.WaitForProperty(device, "CONNECTION", 5000)) return false;
    if (!c.SelectSwitch(device, "CONNECTION", "CONNECT")) return false;
    return c.WaitUntil(
        [&](const DeviceSet& s) {
            const auto* p = s.Find(device, "CONNECTION");
            return p && p->state == PropertyState::Ok && p->Find("CONNECT")->on;
        },
        5000);
}

TEST(IndiClientOnSimulators, ConnectsMovesAndNoticesADeadServer) {
    IndiServer server({IndiServer::kWheelDriver}, {kWheel});
    ZORVANE_START_INDI_SERVER(server);

    IndiClient c;
    std::atomic<int> lost{0};
    c.SetLostNotice([&] { ++lost; });
    ASSERT_TRUE(c.Connect("localhost", server.Port(), 1000));
    ASSERT_TRUE(c.WaitForProperty(kWheel, "DRIVER_INFO", 5000));
    EXPECT_TRUE(c.Devices().DriverInterface(kWheel) & indi::kFilterInterface);
    ASSERT_TRUE(ConnectDevice(c, kWheel));
    ASSERT_TRUE(c.WaitForProperty(kWheel, "FILTER_SLOT", 5000));

    // The move answers Busy first, then Ok at the new slot.
    const uint64_t before = c.Get(kWheel, "FILTER_SLOT")->updates;
    ASSERT_TRUE(c.SendNumbers(kWheel, "FILTER_SLOT", {{"FILTER_SLOT_VALUE", 4}}));
    bool sawBusy = false;
    ASSERT_TRUE(c.WaitUntil(
        [&](const DeviceSet& s) {
            const auto* p = s.Find(kWheel, "FILTER_SLOT");
            if (p->updates == before) return false;
            sawBusy |= p->state == PropertyState::Busy;
            return p->state == PropertyState::Ok;
        },
        5000));
    EXPECT_TRUE(sawBusy);
    EXPECT_EQ(c.Get(kWheel, "FILTER_SLOT")->Find("FILTER_SLOT_VALUE")->number, 4.0);

    server.Kill();
    EXPECT_FALSE(c.WaitUntil([](const DeviceSet&) { return false; }, 5000));
    EXPECT_FALSE(c.IsConnected());
    EXPECT_FALSE(c.SendNumbers(kWheel, "FILTER_SLOT", {{"FILTER_SLOT_VALUE", 2}}));

    // A new server on another port: the same client object connects afresh.
    ZORVANE_START_INDI_SERVER(server);
    ASSERT_TRUE(c.Connect("localhost", server.Port(), 1000));
    EXPECT_EQ(lost, 1) << "the dead server, once";
    EXPECT_TRUE(ConnectDevice(c, kWheel));
    c.Disconnect();
    EXPECT_EQ(lost, 1) << "not the client's own close";
}

TEST(IndiClientOnSimulators, NoServerIsRefusedAtOnce) {
    IndiClient c;
    EXPECT_FALSE(c.Connect("localhost", IndiServer::FreePort(), 1000));
    EXPECT_FALSE(c.IsConnected());
    EXPECT_FALSE(c.WaitForProperty(kWheel, "CONNECTION", 5000));
}

}  // namespace
}  // namespace zorvane
