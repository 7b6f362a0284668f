// The telescope link over scripted driver and chooser servers, in virtual time: pulses followed
// on the link's timer, connects in the background, and what may happen in between.
#include <gtest/gtest.h>

#include "telescope/Precession.h"
#include "telescope/TelescopeLink.h"
#include "unit/telescope/FakeTelescope.h"

namespace zorvane {
namespace {

using test::LinkBench;
using End = TelescopeLink::PulseEnd;
using Connection = TelescopeLink::Connection;

TEST(TelescopeLink, PulseEndsWhenTheMountSaysSoButNeverMuchLaterThanThePulse) {
    LinkBench b;
    EXPECT_EQ(b.Pulse(guide::North, 300).first, End::Refused) << "no driver open";
    b.link.SetScopeId("Maker.Telescope");
    b.link.Connect([](Connection) {});
    EXPECT_TRUE(b.link.Connecting());
    EXPECT_FALSE(b.link.DriverOpen());
    EXPECT_TRUE(b.mount->connectedWrites.empty()) << "nothing on the window's thread";
    b.work.RunAll();
    EXPECT_TRUE(b.link.DriverOpen());
    EXPECT_TRUE(b.mount->connected);

    // A mount that reports the end: the pulse lasts its length, in 10 ms polls.
    EXPECT_EQ(b.Pulse(guide::West, 300), (std::pair{End::Ended, uint64_t{300}}));
    EXPECT_EQ(b.mount->pulses.back(), (std::pair{3, 300}));

    // A mount that never does: the wait ends 2 s after the pulse should have.
    b.mount->pulsesEnd = false;
    EXPECT_EQ(b.Pulse(guide::South, 500),
              (std::pair{End::TimedOut, uint64_t{500 + TelescopeLink::kPulseMarginMs}}));
    b.mount->pulsesEnd = true;

    // A direction that is none of the four is not sent.
    EXPECT_EQ(b.Pulse(4, 100).first, End::Refused);
    EXPECT_EQ(b.mount->pulses.size(), 2u);

    // A driver that stops answering: refused at the first tick, no wait.
    b.mount->answers = false;
    EXPECT_EQ(b.Pulse(guide::East, 500), (std::pair{End::Refused, uint64_t{10}}));

    // A closed driver is disconnected first and gets no more pulses.
    b.mount->answers = true;
    b.link.CloseDriver();
    b.work.RunAll();
    EXPECT_FALSE(b.link.DriverOpen());
    EXPECT_EQ(b.mount->connectedWrites, (std::vector<bool>{true, false}));
    EXPECT_EQ(b.Pulse(guide::North, 100).first, End::Refused);
    EXPECT_EQ(b.mount->pulses.size(), 2u);
}

TEST(TelescopeLink, PulsesAskedForMeanwhileWaitTheirTurnAndCloseDropsThem) {
    LinkBench b;
    b.link.SetScopeId("Maker.Telescope");
    ASSERT_EQ(b.Connect(), Connection::Ready);
    std::vector<std::pair<int, End>> ends;
    const auto record = [&](int d) { return [&, d](End e) { ends.emplace_back(d, e); }; };
    b.link.PulseGuide(guide::North, 200, record(guide::North));
    b.link.PulseGuide(guide::East, 100, record(guide::East));
    EXPECT_EQ(b.mount->pulses.size(), 1u) << "the mount takes one pulse at a time";
    b.loop.RunUntil([&] { return ends.size() == 2; }, 5000);
    EXPECT_EQ(b.loop.Now(), 300u);
    EXPECT_EQ(ends, (std::vector<std::pair<int, End>>{{0, End::Ended}, {2, End::Ended}}));

    // Closed in the middle: the one running and the one waiting are dropped, each told so.
    ends.clear();
    b.link.PulseGuide(guide::South, 1000, record(guide::South));
    b.link.PulseGuide(guide::West, 1000, record(guide::West));
    b.loop.Advance(50);
    b.link.CloseDriver();
    b.loop.Advance(20);
    EXPECT_EQ(ends, (std::vector<std::pair<int, End>>{{1, End::Dropped}, {3, End::Dropped}}));
    EXPECT_EQ(b.mount->pulses.size(), 3u);
    EXPECT_FALSE(b.link.Pulsing());
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerPulse));
}

TEST(TelescopeLink, ConnectReportsHowTheMountAnsweredAndCloseGivesItUp) {
    LinkBench b;
    b.link.SetScopeId("Unknown.Telescope");
    EXPECT_EQ(b.Connect(), Connection::NotCreated);
    EXPECT_FALSE(b.link.DriverOpen());
    b.link.SetScopeId("Maker.Telescope");
    b.mount->connectable = false;
    EXPECT_EQ(b.Connect(), Connection::NotConnected);
    EXPECT_TRUE(b.link.DriverOpen()) << "open until closed, whatever the outcome";
    b.mount->connectable = true;
    b.mount->canPulseGuide = false;
    EXPECT_EQ(b.Connect(), Connection::CannotGuide);
    b.mount->canPulseGuide = true;

    // Closed before the mount answered: the outcome never comes, and the driver that connected
    // all the same is disconnected again.
    b.link.CloseDriver();
    b.work.RunAll();
    b.mount->connectedWrites.clear();
    bool told = false;
    b.link.Connect([&](Connection) { told = true; });
    b.link.CloseDriver();
    b.work.RunAll();
    EXPECT_FALSE(told);
    EXPECT_FALSE(b.link.DriverOpen());
    EXPECT_FALSE(b.link.Connecting());
    EXPECT_EQ(b.mount->connectedWrites, (std::vector<bool>{true, false}));
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

    // A choice is taken; connecting opens it.
    b.chooser->answer = "Maker.Telescope";
    EXPECT_TRUE(b.link.ChooseDriver());
    EXPECT_EQ(b.link.ScopeId(), "Maker.Telescope");
    EXPECT_EQ(b.link.DriverName(), "Maker");
    ASSERT_EQ(b.Connect(), Connection::Ready);
    // Choosing again closes the open driver first, and never preselects.
    b.chooser->answer = "Unknown.Telescope";
    EXPECT_TRUE(b.link.ChooseDriver());
    b.work.RunAll();
    EXPECT_FALSE(b.link.DriverOpen());
    EXPECT_EQ(b.mount->connectedWrites.back(), false);
    EXPECT_EQ(b.chooser->offered.back(), "");
    EXPECT_EQ(b.Connect(), Connection::NotCreated) << "the chosen driver cannot be created";

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
    test::VirtualEventLoop loop;
    test::FakeTransport transport;
    test::ManualWork work;
    auto mount = std::make_shared<test::FakeMountDriver>(loop);
    transport.servers["Maker.Telescope"] = mount;
    {
        TelescopeLink link(transport, loop, loop, kTimerPulse, work);
        link.SetScopeId("Maker.Telescope");
        link.Connect([](Connection) {});
        work.RunAll();
        ASSERT_TRUE(link.DriverOpen());
        // The window closes while a pulse runs: nobody is told of its end.
        link.PulseGuide(guide::North, 500, [](TelescopeLink::PulseEnd) { ADD_FAILURE(); });
    }
    work.RunAll();
    EXPECT_FALSE(loop.IsTimerSet(kTimerPulse));
    loop.Advance(1000);
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
