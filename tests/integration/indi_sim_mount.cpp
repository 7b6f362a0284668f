// The simulated camera following indi_simulator_telescope on a private server, in real time
// (the mount moves in real time): a timed guide pulse sent to the mount moves the stars in the
// camera's frames by the mount's guide rate at the image scale, along the camera's axes;
// calibration and guiding close the loop through the telescope link; a server that dies
// during guiding holds nothing up.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <thread>

#include "automation/IndiTransport.h"
#include "core/CommandIds.h"
#include "indi/IndiClient.h"
#include "platform/Clock.h"
#include "support/AppBench.h"
#include "support/DeviceLoop.h"
#include "support/IndiServer.h"
#include "telescope/TelescopeLink.h"
#include "view/ImageView.h"

namespace zorvane {
namespace {

using test::AppBench;
using test::IndiServer;
using test::RunReal;
using Field = GuidingEngine::Field;

constexpr const char* kScope = IndiServer::kTelescopeDevice;
constexpr int kW = 640, kH = 480;
constexpr double kSiderealArcsecPerS = 15.041;

// Where the mount sits for every test: 1.5 h west of the meridian, so the simulator (a German
// mount) is on the east side of its pier, where a north pulse raises the declination. On the
// other side it lowers it, so the hour angle must not follow the time of day.
constexpr double kHourAngle = 1.5;

// Greenwich mean sidereal time now, in hours (good to a second or so, plenty here).
double GreenwichSiderealHours() {
    const double unixDays =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count() /
        86400.0;
    const double j2000Days = unixDays + 2440587.5 - 2451545.0;
    return std::fmod(18.697374558 + 24.06570982441908 * j2000Days, 24.0);
}

// Puts the simulator's site at the longitude where `ra` stands at kHourAngle now.
bool PlaceSiteForHourAngle(indi::IndiClient& c, double ra) {
    if (!c.WaitForProperty(kScope, "GEOGRAPHIC_COORD", 5000)) return false;
    const double longitude = std::fmod(
        std::fmod(15.0 * (ra + kHourAngle - GreenwichSiderealHours()), 360.0) + 360.0, 360.0);
    c.SendNumbers(kScope, "GEOGRAPHIC_COORD", {{"LAT", 0.0}, {"LONG", longitude}, {"ELEV", 0.0}});
    return c.WaitUntil(
        [&](const indi::DeviceSet& s) {
            const indi::PropertySnapshot* p = s.Find(kScope, "GEOGRAPHIC_COORD");
            const indi::Element* e = p ? p->Find("LONG") : nullptr;
            return e && std::abs(e->number - longitude) < 1e-3;
        },
        5000);
}

// Readies the simulator the way an observer would before guiding: connected, unparked,
// tracking, and pointed at (ra, dec) away from the pole (at Dec 90 it turns RA by 12 h), at
// kHourAngle on the east side of the pier. Position reports every 100 ms. Returns the guide
// rate (fraction of sidereal) or 0.
double PrepareMount(indi::IndiClient& c, int port, double ra, double dec) {
    if (!c.Connect("localhost", port, 3000) || !c.WaitForProperty(kScope, "CONNECTION", 5000))
        return 0;
    c.SelectSwitch(kScope, "CONNECTION", "CONNECT");
    if (!c.WaitForProperty(kScope, "EQUATORIAL_EOD_COORD", 5000) ||
        !c.WaitForProperty(kScope, "GUIDE_RATE", 5000) || !PlaceSiteForHourAngle(c, ra))
        return 0;
    c.SendNumbers(kScope, "POLLING_PERIOD", {{"PERIOD_MS", 100}});
    c.SelectSwitch(kScope, "TELESCOPE_PARK", "UNPARK");
    c.SelectSwitch(kScope, "TELESCOPE_TRACK_STATE", "TRACK_ON");
    c.SelectSwitch(kScope, "ON_COORD_SET", "SYNC");
    c.SendNumbers(kScope, "EQUATORIAL_EOD_COORD", {{"RA", ra}, {"DEC", dec}});
    const bool there = c.WaitUntil(
        [&](const indi::DeviceSet& s) {
            const indi::PropertySnapshot* p = s.Find(kScope, "EQUATORIAL_EOD_COORD");
            return p && p->Find("DEC") && std::abs(p->Find("DEC")->number - dec) < 0.01;
        },
        10000);
    // East of the pier the declination axis reads the declination itself, west of it 180°
    // minus the declination (the simulator's pier-side switch follows only at its next report).
    const bool east = c.WaitUntil(
        [&](const indi::DeviceSet& s) {
            const indi::PropertySnapshot* p = s.Find(kScope, "MOUNT_AXES");
            return p && p->Find("SECONDARY") && std::abs(p->Find("SECONDARY")->number - dec) < 0.01;
        },
        5000);
    EXPECT_TRUE(east) << "the mount is not on the east side of its pier";
    const auto rate = c.Get(kScope, "GUIDE_RATE");
    if (!there || !east || !rate || !rate->Find("GUIDE_RATE_WE") || !rate->Find("GUIDE_RATE_NS"))
        return 0;
    EXPECT_EQ(rate->Find("GUIDE_RATE_WE")->number, rate->Find("GUIDE_RATE_NS")->number);
    return rate->Find("GUIDE_RATE_NS")->number;
}

bool NextFrame(AppBench& b) {
    const int before = b.ui.repaints;
    return RunReal(
        b, [&] { return b.ui.repaints > before; }, 20000);
}

// Takes a frame and double-clicks a bright star well inside the sensor.
bool PickStar(AppBench& b) {
    b.app->Exposure().exposure = 1.0f;
    b.app->View().SetClientSize(1000, 800);
    b.app->Snapshot();
    if (!NextFrame(b)) return false;
    for (int i = 0; i < b.sim.StarCount(); ++i) {
        double x, y, flux;
        b.sim.Star(i, x, y, flux);
        x = kW - x;  // frames are turned by 180 degrees
        y = kH - y;
        if (flux < 3000 || flux > 60000 || std::min({x, y, kW - x, kH - y}) < 120) continue;
        const Point click = b.app->View().Geometry().SensorToScreen(
            Point{static_cast<int>(x), static_cast<int>(y)});
        b.app->View().Interaction().LeftDoubleClick(click);
        const StarMeasurement& m = b.app->Guider().Model().star;
        if (m.Found() && std::hypot(m.column - x, m.row - y) < 2) return true;
    }
    return false;
}

double Degrees(double x, double y) {
    return std::atan2(y, x) * 180.0 / std::numbers::pi;
}

class IndiSimMount : public ::testing::Test {
protected:
    IndiServer server{{IndiServer::kTelescopeDriver}, {IndiServer::kTelescopeDevice}};
    indi::IndiClient mount;
    double guideRate = 0;

    // The simulated camera drawing the sky at `scale` arcsec/px, west at `angle`, following the
    // simulator; no drift or periodic error of its own unless asked.
    std::string SimOptions(double scale, double angle, const std::string& more = "drift=0;pe=0",
                           bool follow = true) {
        char text[400];
        std::snprintf(text, sizeof text,
                      "flush_ms=0;wait_ms=0;download_mpx_s=100;size=640x480;stars=400;"
                      "star_flux=400000;hot_pixels=0;seed=5;scale=%g;guide_angle=%g;%s;",
                      scale, angle, more.c_str());
        return follow ? text + ("mount=indi:" + std::string(kScope) + "@" + server.Address())
                      : text;
    }
    std::string Ini() const {
        return std::string("[Automation]\nTest.Telescope=") + kScope + "@" + server.Address() +
               "\n[Ascom]\nScopeID=Test.Telescope\n";
    }
    void Start(AppBench& b) {
        b.sim.UseRealClock();  // the mount moves in real time, so the camera does too
        test::WriteText(b.iniPath, Ini());
        b.Start();
    }
};

// Near RA 0 h, so the west pulse takes the mount across 24 h.
TEST_F(IndiSimMount, APulseToTheMountMovesTheStarsByItsGuideRate) {
    ZORVANE_START_INDI_SERVER(server);
    guideRate = PrepareMount(mount, server.Port(), 0.0001, 20.0);
    ASSERT_GT(guideRate, 0.0);
    constexpr double kScale = 3.0, kAngle = 30.0;
    AppBench b(SimOptions(kScale, kAngle));
    Start(b);
    ASSERT_TRUE(PickStar(b));
    GuidingEngine& g = b.app->Guider();
    g.OnFieldEdited(Field::SearchRadius, "20");

    const std::string ini = b.dir.File("link.ini");
    test::WriteText(ini, Ini());
    IndiTransport transport(ini);
    test::DeviceLoop d;
    TelescopeLink link(transport, d.loop, d.loop, kTimerPulse, d.work);
    link.SetScopeId("Test.Telescope");
    ASSERT_EQ(d.Connect(link), TelescopeLink::Connection::Ready);

    struct Case {
        int direction;
        double speedArcsecPerS;
        double angleDeg;  // in the program's frames, turned by 180 degrees
    };
    const double cosDec = std::cos(20.0 * std::numbers::pi / 180.0);
    const double sky = kSiderealArcsecPerS * guideRate;
    for (const Case& k : {Case{guide::West, sky * cosDec, kAngle + 180.0},
                          Case{guide::North, sky, kAngle + 90.0 + 180.0}}) {
        const StarMeasurement before = g.Model().star;
        ASSERT_TRUE(before.Found());
        EXPECT_EQ(d.Pulse(link, k.direction, 4000), TelescopeLink::PulseEnd::Ended);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));  // the next report
        b.app->Snapshot();
        ASSERT_TRUE(NextFrame(b));
        const StarMeasurement& after = g.Model().star;
        ASSERT_TRUE(after.Found()) << k.direction;
        const double dx = after.column - before.column, dy = after.row - before.row;
        const double expected = k.speedArcsecPerS * 4.0 / kScale;
        std::printf("pulse %d, 4 s: star moved %.2f px at %.1f deg (expected %.2f px at %.1f)\n",
                    k.direction, std::hypot(dx, dy), Degrees(dx, dy), expected,
                    std::remainder(k.angleDeg, 360.0));
        // The simulator reports RA only once it has moved about an arcsecond, so up to a third
        // of a pixel of the pulse may still be unreported.
        EXPECT_NEAR(std::hypot(dx, dy), expected, 0.03 * expected + 0.4) << k.direction;
        EXPECT_NEAR(std::remainder(Degrees(dx, dy) - k.angleDeg, 360.0), 0.0, 3.0) << k.direction;
    }
    EXPECT_TRUE(b.prompts.messages.empty());
}

// The star's offset from the guide target resolved along the calibrated axes (Dec, RA).
std::pair<double, double> AxisOffsets(GuidingEngine& g) {
    const GuideCalibration& c = g.Calibration();
    const double dx = g.Model().star.column - g.TargetX();
    const double dy = g.Model().star.row - g.TargetY();
    const double det = c.axisNSX * c.axisWEY - c.axisWEX * c.axisNSY;
    return {(dx * c.axisWEY - dy * c.axisWEX) / det, (dy * c.axisNSX - dx * c.axisNSY) / det};
}

// 3 arcsec/px: a 4-s calibration pulse at the simulator's guide rate (half sidereal) moves the
// star about 10 px, inside the search radius of 15. The camera's own drift (2 px/min) and
// periodic error ride on top of the mount for guiding to correct.
TEST_F(IndiSimMount, CalibrationAndGuidingCloseTheLoopThroughTheTelescopeLink) {
    ZORVANE_START_INDI_SERVER(server);
    guideRate = PrepareMount(mount, server.Port(), 5.0, 20.0);
    ASSERT_GT(guideRate, 0.0);
    constexpr double kScale = 3.0, kAngle = 118.0, kDec = 20.0;
    constexpr int kFrames = 90;  // 1-s frames
    const std::string own = "drift=2;pe=1";

    // What the sky does unguided over the same time: the camera's own model alone.
    double unguided = 0;
    {
        AppBench u(SimOptions(kScale, kAngle, own, false));
        u.Start();
        for (int i = 0; i < kFrames * 13 / 10; ++i) {
            u.loop.Advance(1000);
            double x, y;
            u.sim.MountOffset(x, y);
            unguided = std::max(unguided, std::hypot(x, y));
        }
    }

    AppBench b(SimOptions(kScale, kAngle, own));
    Start(b);
    ASSERT_TRUE(PickStar(b));
    GuidingEngine& g = b.app->Guider();
    g.OnConnectClicked(true);
    b.loop.DrainPosted();  // the mount's connect
    ASSERT_TRUE(g.TelescopeInUse())
        << (b.prompts.messages.empty() ? "" : b.prompts.messages[0].text);
    g.OnFieldEdited(Field::CalibrationTime, "4000");
    g.Calibrate();
    ASSERT_TRUE(RunReal(
        b, [&] { return !g.Calibrating(); }, 120000));
    ASSERT_TRUE(b.prompts.messages.empty()) << b.prompts.messages[0].text;
    const GuideCalibration& c = g.Calibration();
    ASSERT_TRUE(c.Valid());
    const double sky = kSiderealArcsecPerS * guideRate / kScale;
    const double cosDec = std::cos(kDec * std::numbers::pi / 180.0);
    std::printf(
        "calibration: WE %.2f deg %.3f px/s (truth %.2f deg %.3f px/s), NS %.2f deg %.3f "
        "px/s (truth %.2f deg %.3f px/s)\n",
        Degrees(c.axisWEX, c.axisWEY), c.velWE, kAngle, sky * cosDec, Degrees(c.axisNSX, c.axisNSY),
        c.velNS, kAngle - 90, sky);
    // As through the camera's port: the east pulse moves the shown star along the camera's
    // west axis (the frame is turned by 180 degrees), north a quarter turn behind it.
    EXPECT_LE(std::abs(std::remainder(Degrees(c.axisWEX, c.axisWEY) - kAngle, 360.0)), 3.0);
    EXPECT_LE(std::abs(std::remainder(Degrees(c.axisNSX, c.axisNSY) - (kAngle - 90), 360.0)), 3.0);
    EXPECT_NEAR(c.velWE, sky * cosDec, 0.05 * sky * cosDec);
    EXPECT_NEAR(c.velNS, sky, 0.05 * sky);

    g.OnFieldEdited(Field::MinGuide, "10");
    g.OnAutoguideClicked(true);
    ASSERT_TRUE(g.AutoguideOn());
    b.app->Exposure().exposure = 1.0f;
    b.app->ToggleLoop();
    double sumU = 0, sumV = 0;
    for (int i = 0; i < kFrames; ++i) {
        ASSERT_TRUE(NextFrame(b)) << i;
        const auto [u, v] = AxisOffsets(g);
        sumU += u * u;
        sumV += v * v;
    }
    b.app->ToggleLoop();
    EXPECT_FALSE(g.StarLostShown());
    EXPECT_TRUE(b.prompts.messages.empty());
    const double rmsDec = std::sqrt(sumU / kFrames), rmsRA = std::sqrt(sumV / kFrames);
    const double rms = std::hypot(rmsDec, rmsRA);
    std::printf(
        "unguided excursion %.2f px; guided RMS Dec %.3f RA %.3f total %.3f px "
        "(%.2f arcsec)\n",
        unguided, rmsDec, rmsRA, rms, rms * kScale);
    EXPECT_LT(rms, 0.45);
    EXPECT_LT(rms, unguided / 6);
}

TEST_F(IndiSimMount, AServerStoppedDuringGuidingHoldsNothingUp) {
    ZORVANE_START_INDI_SERVER(server);
    guideRate = PrepareMount(mount, server.Port(), 5.0, 20.0);
    ASSERT_GT(guideRate, 0.0);
    constexpr double kScale = 3.0, kAngle = 30.0;
    AppBench b(SimOptions(kScale, kAngle, "drift=2;pe=0"));
    Start(b);
    ASSERT_TRUE(PickStar(b));
    GuidingEngine& g = b.app->Guider();
    g.OnConnectClicked(true);
    b.loop.DrainPosted();  // the mount's connect
    ASSERT_TRUE(g.TelescopeInUse());
    // The mount's own calibration, so that guiding starts at once; with a minimum of 1 ms every
    // frame sends its pulses.
    const double a = kAngle * std::numbers::pi / 180.0, sky = 15.0 * guideRate / kScale;
    g.Calibration() =
        GuideCalibration{static_cast<float>(std::sin(a)),
                         static_cast<float>(-std::cos(a)),
                         static_cast<float>(std::cos(a)),
                         static_cast<float>(std::sin(a)),
                         static_cast<float>(sky),
                         static_cast<float>(sky * std::cos(20.0 * std::numbers::pi / 180)),
                         g.CurrentSetup()};
    g.OnFieldEdited(Field::MinGuide, "1");
    g.OnAutoguideClicked(true);
    ASSERT_TRUE(g.AutoguideOn());
    b.app->Exposure().exposure = 1.0f;
    b.app->ToggleLoop();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(NextFrame(b));
    ASSERT_TRUE(b.prompts.messages.empty());

    server.Kill();
    // Every pulse's wait is bounded, so frames keep coming (NextFrame allows 20 s each).
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(NextFrame(b)) << i;
    // Guiding hands back to the camera's port and stops, said once; the loop runs on.
    EXPECT_TRUE(b.app->Cycle().Looping());
    EXPECT_FALSE(g.TelescopeInUse());
    EXPECT_FALSE(g.AutoguideOn());
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text, "Test\nCannot connect to telescope");
    std::printf("after the server died: \"%s\", autoguide %s\n", b.prompts.messages[0].text.c_str(),
                g.AutoguideOn() ? "on" : "off");
    b.app->ToggleLoop();
    EXPECT_TRUE(RunReal(
        b, [&] { return !b.app->Cycle().Exposing(); }, 10000));
}

}  // namespace
}  // namespace zorvane
