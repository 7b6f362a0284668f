// Star tracking in the running core on the simulated camera: the pick, the dialog, the marker
// following a drifting star, the dialog's acceptance rules and what is kept in the settings.

#include <gtest/gtest.h>

#include <cmath>

#include "core/CommandIds.h"
#include "support/AppBench.h"
#include "view/ImageView.h"

namespace zorvane {
namespace {

using test::AppBench;
using test::ReadText;
using test::WriteText;
using Field = GuidingEngine::Field;

constexpr const char* kSky =
    "flush_ms=0;wait_ms=0;download_mpx_s=100;size=800x600;stars=300;star_flux=400000;pe=0;"
    "hot_pixels=0;seed=5;drift=60;drift_angle=30";

struct Truth {
    double x = 0, y = 0, flux = 0;
};

// Where the program shows a bright star well inside the sensor (the one of the given flux
// when one is given): frames are turned by 180 degrees, so a camera position x lands at
// width - x.
Truth BrightStarShown(AppBench& b, double sameFlux = 0) {
    for (int i = 0; i < b.sim.StarCount(); ++i) {
        Truth t;
        b.sim.Star(i, t.x, t.y, t.flux);
        if (sameFlux ? t.flux != sameFlux
                     : t.flux < 5000 || t.flux > 60000 || t.x < 150 || t.y < 150 || t.x > 650 ||
                           t.y > 450)
            continue;
        return {800 - t.x, 600 - t.y, t.flux};
    }
    ADD_FAILURE() << "no bright star";
    return {};
}

void NextFrame(AppBench& b) {
    const int before = b.ui.repaints;
    ASSERT_TRUE(b.loop.RunUntil([&] { return b.ui.repaints > before; }, 10000));
}

TEST(StarTracking, PickInALoopOpensTheDialogAndTheMarkerFollowsTheDriftingStar) {
    AppBench b(kSky);
    b.Start();
    b.app->Exposure().exposure = 0.5f;
    b.app->View().SetClientSize(1200, 900);  // the 800 x 600 frame in the middle at 1:1
    b.app->ToggleLoop();
    NextFrame(b);

    // A double-click beside the frame finds nothing: the failed-pick marker, no dialog yet.
    ImageView& view = b.app->View();
    view.Interaction().LeftDoubleClick({5, 5});
    EXPECT_EQ(view.TrackedStar(), (Point{-1, -1}));
    EXPECT_EQ(b.ui.trackingShows, 1) << "the pick opens the dialog";

    const Truth start = BrightStarShown(b);
    const Point click =
        view.Geometry().SensorToScreen(Point{static_cast<int>(start.x), static_cast<int>(start.y)});
    view.Interaction().LeftDoubleClick(click);
    const GuidingEngine& guider = b.app->Guider();
    ASSERT_TRUE(guider.DialogExists());
    const StarMeasurement first = guider.Model().star;
    ASSERT_TRUE(first.Found());
    EXPECT_NEAR(first.column, start.x, 1.0);
    EXPECT_NEAR(first.row, start.y, 1.0);
    EXPECT_GT(first.brightness, 300.0f);
    EXPECT_GT(first.width, 1.0f);
    EXPECT_EQ(guider.TargetX(), first.column) << "the first measurement is the guide target";
    EXPECT_EQ(guider.TargetY(), first.row);
    EXPECT_GE(b.ui.trackingRefreshes, 1);
    EXPECT_TRUE(b.app->GetCommandUi(ids::ID_VIEW_TRACKING).checked);

    // Twenty seconds of drift at 1 px/s: the marker stays on the star, the target stays put.
    for (int i = 0; i < 40; ++i) NextFrame(b);
    const Truth now = BrightStarShown(b, start.flux);
    ASSERT_GT(std::hypot(now.x - start.x, now.y - start.y), 15.0);
    const Point tracked = view.TrackedStar();
    EXPECT_LE(std::abs(tracked.x - now.x), 2.5);
    EXPECT_LE(std::abs(tracked.y - now.y), 2.5);
    EXPECT_NEAR(guider.Model().star.column, now.x, 1.5);
    EXPECT_NEAR(guider.Model().star.row, now.y, 1.5);
    EXPECT_EQ(guider.TargetX(), first.column);
    b.app->ToggleLoop();
}

TEST(StarTracking, DialogEditsTakeOnlyWhatTheirRulesAllow) {
    AppBench b(kSky);
    b.Start();
    GuidingEngine& g = b.app->Guider();
    // Nothing is taken before the dialog exists.
    EXPECT_FALSE(g.OnFieldEdited(Field::SearchRadius, "20"));
    EXPECT_EQ(b.app->Focus().searchRadius, 15);

    b.app->ExecuteCommand(ids::ID_VIEW_TRACKING);
    ASSERT_TRUE(g.DialogExists());
    EXPECT_FALSE(g.Model().star.Found()) << "the prompt shows until a star is measured";

    // Radii: whole numbers 1..50, although the spin goes to 100.
    for (const char* refused : {"60", "0", "", "12x", "-3"}) {
        EXPECT_FALSE(g.OnFieldEdited(Field::SearchRadius, refused));
        EXPECT_EQ(g.Model().searchRadius, 15) << refused;
    }
    EXPECT_FALSE(g.OnFieldEdited(Field::MeasureRadius, "12"));
    EXPECT_EQ(b.app->Focus().measureRadius, 12) << "copied into the main window at once";
    // Guide times.
    g.OnFieldEdited(Field::MinGuide, "5001");
    g.OnFieldEdited(Field::MaxGuide, "4000");
    g.OnFieldEdited(Field::CalibrationTime, "10001");
    g.OnFieldEdited(Field::CalibrationTime, "9000");
    EXPECT_EQ(b.app->Guiding().minGuideTime, 200);
    EXPECT_EQ(b.app->Guiding().maxGuideTime, 4000);
    EXPECT_EQ(b.app->Guiding().guideCalTime, 9000);
    // Feedback: corrected in place.
    EXPECT_EQ(g.OnFieldEdited(Field::FeedbackRA, "0"), "1");
    EXPECT_EQ(g.OnFieldEdited(Field::FeedbackDec, "25"), "20");
    EXPECT_FALSE(g.OnFieldEdited(Field::FeedbackDec, "7"));
    EXPECT_EQ(b.app->Guiding().aggressivenessRA, 1);
    EXPECT_EQ(b.app->Guiding().aggressivenessDEC, 7);
    g.OnGuideAxesChanged(5);
    g.OnSetupGuidingClicked(true);
    EXPECT_EQ(b.app->Guiding().axes, 5);
    EXPECT_TRUE(b.app->Guiding().trackingExpand);

    // Autoguiding without a calibration is refused and unticked.
    g.OnAutoguideClicked(true);
    ASSERT_FALSE(b.prompts.messages.empty());
    EXPECT_EQ(b.prompts.messages.back().text, "Axes not calibrated");
    EXPECT_EQ(b.prompts.messages.back().caption, "Autoguide");
    EXPECT_FALSE(g.Model().autoguide);
    EXPECT_LT(g.TargetX(), 0.0f);

    // The command hides and shows the dialog; hiding redraws the view.
    const int repaints = b.ui.repaints;
    b.app->ExecuteCommand(ids::ID_VIEW_TRACKING);
    EXPECT_FALSE(b.app->GetCommandUi(ids::ID_VIEW_TRACKING).checked);
    EXPECT_EQ(b.ui.trackingHides, 1);
    EXPECT_GT(b.ui.repaints, repaints);
    b.app->ExecuteCommand(ids::ID_VIEW_TRACKING);
    EXPECT_TRUE(g.DialogVisible());
    EXPECT_EQ(b.ui.trackingShows, 2);
}

TEST(StarTracking, SettingsAndAValidCalibrationSurviveARestart) {
    std::string saved;
    {
        AppBench b(kSky);
        b.Start();
        b.app->ExecuteCommand(ids::ID_VIEW_TRACKING);
        GuidingEngine& g = b.app->Guider();
        g.OnFieldEdited(Field::SearchRadius, "25");
        g.OnFieldEdited(Field::MeasureRadius, "10");
        g.OnFieldEdited(Field::MinGuide, "150");
        g.OnFieldEdited(Field::FeedbackDec, "9");
        g.OnSetupGuidingClicked(true);
        b.app->Placement(AppDialog::Tracking).left = 640;
        b.app->Placement(AppDialog::Tracking).top = 70;
        g.Calibration() = GuideCalibration{0.0f, 1.0f, 1.0f, 0.0f, 7.5f, 7.25f};
        ASSERT_TRUE(b.settings->SaveAtExit());
        saved = ReadText(b.iniPath);
    }
    {
        AppBench b(kSky);
        WriteText(b.iniPath, saved);
        b.Start();
        EXPECT_EQ(b.app->Focus().searchRadius, 25);
        EXPECT_EQ(b.app->Focus().measureRadius, 10);
        EXPECT_EQ(b.app->Guiding().minGuideTime, 150);
        EXPECT_EQ(b.app->Guiding().aggressivenessDEC, 9);
        EXPECT_TRUE(b.app->Guiding().trackingExpand);
        EXPECT_EQ(b.app->Placement(AppDialog::Tracking).left, 640);
        const GuideCalibration& c = b.app->Guiding().previousCalibration;
        EXPECT_FLOAT_EQ(c.axisNSY, 1.0f);
        EXPECT_FLOAT_EQ(c.velWE, 7.25f);
        // The dialog starts uncalibrated: leaving it so keeps the stored calibration.
        b.app->ExecuteCommand(ids::ID_VIEW_TRACKING);
        EXPECT_TRUE(b.app->Guider().Model().setupGuiding);
        EXPECT_EQ(b.app->Guider().Model().searchRadius, 25);
        EXPECT_FALSE(b.app->Guider().Calibration().Valid());
        ASSERT_TRUE(b.settings->SaveAtExit());
        saved = ReadText(b.iniPath);
    }
    EXPECT_NE(saved.find("VelNS=7.500000"), std::string::npos) << saved;
    EXPECT_NE(saved.find("VelWE=7.250000"), std::string::npos);
}

}  // namespace
}  // namespace zorvane
