// The telescope link over scripted driver and chooser servers, in virtual time.
#include <gtest/gtest.h>

#include "telescope/Precession.h"
#include "telescope/TelescopeLink.h"
#include "unit/telescope/FakeTelescope.h"

namespace zorvane {
namespace {

using test::FakeChooser;
using test::FakeMountDriver;

struct LinkBench {
    test::FakeSleepingClock clock;
    test::FakeTransport transport;
    std::shared_ptr<FakeMountDriver> mount = std::make_shared<FakeMountDriver>(clock);
    std::shared_ptr<FakeChooser> chooser = std::make_shared<FakeChooser>();
    TelescopeLink link{transport, clock};
    LinkBench() {
        transport.servers["Maker.Telescope"] = mount;
        transport.servers[TelescopeLink::kChooserProgId] = chooser;
    }
};

TEST(TelescopeLink, PulseWaitsForTheMountButNeverMuchLongerThanThePulse) {
    LinkBench b;
    EXPECT_FALSE(b.link.PulseGuideAndWait(guide::North, 300)) << "no driver open";
    b.link.SetScopeId("Maker.Telescope");
    ASSERT_TRUE(b.link.OpenDriver());
    ASSERT_TRUE(b.link.SetConnected());
    EXPECT_TRUE(b.link.SupportsPulseGuide());

    // A mount that reports the end: the wait lasts the pulse, in 10 ms polls.
    EXPECT_TRUE(b.link.PulseGuideAndWait(guide::West, 300));
    EXPECT_EQ(b.clock.now, 300u);
    EXPECT_FALSE(b.link.LastPulseTimedOut());
    EXPECT_EQ(b.mount->pulses.back(), (std::pair{3, 300}));

    // A mount that never does: the wait ends 2 s after the pulse should have, and the pulse
    // counts as done.
    b.mount->pulsesEnd = false;
    const uint64_t start = b.clock.now;
    EXPECT_TRUE(b.link.PulseGuideAndWait(guide::South, 500));
    EXPECT_EQ(b.clock.now - start, 500u + TelescopeLink::kPulseMarginMs);
    EXPECT_TRUE(b.link.LastPulseTimedOut());

    // A direction that is none of the four is not sent.
    EXPECT_FALSE(b.link.PulseGuideAndWait(4, 100));
    EXPECT_EQ(b.mount->pulses.size(), 2u);

    // A driver that stops answering: the pulse is reported as not sent, without a wait.
    b.mount->answers = false;
    const uint64_t before = b.clock.now;
    EXPECT_FALSE(b.link.PulseGuideAndWait(guide::East, 500));
    EXPECT_EQ(b.clock.now, before);

    // A closed driver is disconnected first and gets no more pulses.
    b.mount->answers = true;
    b.link.CloseDriver();
    EXPECT_FALSE(b.link.DriverOpen());
    EXPECT_EQ(b.mount->connectedWrites, (std::vector<bool>{true, false}));
    EXPECT_FALSE(b.link.PulseGuideAndWait(guide::North, 100));
    EXPECT_EQ(b.mount->pulses.size(), 2u);
}

TEST(TelescopeLink, ChooserPicksTheDriverAndCancelLeavesNone) {
    LinkBench b;
    EXPECT_EQ(b.link.ScopeId(), "test");
    EXPECT_TRUE(b.link.IsChooserInstalled());

    // Cancel: no driver, no id, nothing connected.
    b.chooser->answer = "";
    EXPECT_FALSE(b.link.ChooseDriver());
    EXPECT_FALSE(b.link.DriverOpen());
    EXPECT_EQ(b.link.ScopeId(), "");
    EXPECT_EQ(b.link.DriverName(), "ASCOM");
    EXPECT_EQ(b.chooser->deviceType, "Telescope");
    EXPECT_EQ(b.chooser->offered, (std::vector<std::string>{""}));

    // With no id, opening asks the chooser; the choice is opened.
    b.chooser->answer = "Maker.Telescope";
    EXPECT_TRUE(b.link.OpenDriver());
    EXPECT_TRUE(b.link.DriverOpen());
    EXPECT_EQ(b.link.ScopeId(), "Maker.Telescope");
    EXPECT_EQ(b.link.DriverName(), "Maker");
    // Choosing again closes the open driver first, and never preselects.
    ASSERT_TRUE(b.link.SetConnected());
    b.chooser->answer = "Unknown.Telescope";
    EXPECT_FALSE(b.link.ChooseDriver()) << "the chosen driver cannot be created";
    EXPECT_FALSE(b.link.DriverOpen());
    EXPECT_EQ(b.mount->connectedWrites.back(), false);
    EXPECT_EQ(b.chooser->offered.back(), "");

    // Without a chooser the link says so, and choosing fails.
    b.transport.servers.erase(TelescopeLink::kChooserProgId);
    EXPECT_FALSE(b.link.IsChooserInstalled());
    EXPECT_FALSE(b.link.ChooseDriver());
}

TEST(TelescopeLink, DriverNameIsTheTextBeforeTheFirstDot) {
    EXPECT_EQ(TelescopeLink::DriverName("Maker.Telescope"), "Maker");
    EXPECT_EQ(TelescopeLink::DriverName("Telescope Simulator.indi@localhost:7624"),
              "Telescope Simulator");
    EXPECT_EQ(TelescopeLink::DriverName(".Telescope"), ".Telescope");
    EXPECT_EQ(TelescopeLink::DriverName("NoDot"), "NoDot");
    EXPECT_EQ(TelescopeLink::DriverName(""), "ASCOM");
    EXPECT_EQ(TelescopeLink::ShortName(""), "");
}

TEST(TelescopeLink, DestructionLetsGoWithoutDisconnectingTheMount) {
    test::FakeSleepingClock clock;
    test::FakeTransport transport;
    auto mount = std::make_shared<FakeMountDriver>(clock);
    transport.servers["Maker.Telescope"] = mount;
    {
        TelescopeLink link(transport, clock);
        link.SetScopeId("Maker.Telescope");
        ASSERT_TRUE(link.OpenDriver());
        ASSERT_TRUE(link.SetConnected());
    }
    EXPECT_EQ(mount->connectedWrites, (std::vector<bool>{true}));
    EXPECT_TRUE(mount->connected);
    EXPECT_EQ(mount.use_count(), 2) << "only the transport and the test hold it";
}

TEST(Precession, CarriesCoordinatesOfDateBackToJ2000) {
    // A star at 2028 Nov 13 (0.2886705 centuries on): 41.547214, +49.348483 of date is
    // 41.054063, +49.227750 at J2000.
    const Equatorial j2000 = PrecessToJ2000({41.547214, 49.348483}, 0.2886705);
    EXPECT_NEAR(j2000.raDegrees, 41.054063, 2e-5);
    EXPECT_NEAR(j2000.decDegrees, 49.227750, 2e-5);
    // Near 0 h the right ascension stays within 0..360.
    EXPECT_GT(PrecessToJ2000({0.05, 10.0}, 0.25).raDegrees, 359.0);
    EXPECT_NEAR(CenturiesSinceJ2000(946728000.0), 0.0, 1e-7);  // 2000-01-01 12:00
}

}  // namespace
}  // namespace zorvane
