#include <gtest/gtest.h>

#include <vector>

#include "FakeViewHost.h"
#include "core/CommandIds.h"
#include "view/ImageView.h"

namespace zorvane {
namespace {

struct ImageViewTest : ::testing::Test {
    test::FakeViewHost host;
    test::FakeViewObserver observer;
    ImageView view{host};

    ImageViewTest() {
        view.SetObserver(&observer);
        view.SetSensorSize(1000, 800);
        view.SetClientSize(1000, 800);
    }
};

TEST_F(ImageViewTest, SetFrameCopiesTranslatesAndMeasures) {
    std::vector<uint16_t> px(40 * 30, 700);
    px[15 * 40 + 20] = 9000;
    host.measureResult = true;
    EXPECT_TRUE(view.SetFrame(px.data(), 10, 20, 40, 30, 1, 1, true, true));
    const ImageFrame& f = view.Frame();
    EXPECT_EQ(f.Width, 40);
    EXPECT_EQ(f.OriginX, 10);
    EXPECT_EQ(f.OriginY, 20);
    EXPECT_TRUE(f.Rotated);
    EXPECT_TRUE(f.Preview);
    ASSERT_EQ(host.exposureLevels.size(), 1u);
    EXPECT_EQ(host.exposureLevels[0], (std::pair<int, int>{700, 701}));
    EXPECT_EQ(view.BlackLevel(), 700);
    EXPECT_EQ(host.measures, 1);
    EXPECT_EQ(observer.repaints, 0);  // the caller repaints

    host.measureResult = false;
    EXPECT_FALSE(view.SetFrame(px.data(), 0, 0, 40, 30, 1, 1, false, false));
}

TEST_F(ImageViewTest, FrameThatCannotBeCopiedIsDroppedWhole) {
    std::vector<uint16_t> px(4 * 4, 5);
    view.SetFrame(px.data(), 3, 4, 4, 4, 1, 1, false, false);
    const int measures = host.measures;
    EXPECT_FALSE(view.SetFrame(px.data(), 0, 0, 70000, 70000, 2, 2, true, false));
    EXPECT_EQ(view.Frame().Width, 4);
    EXPECT_EQ(view.Frame().OriginX, 3);
    EXPECT_EQ(view.Frame().BinX, 1);
    EXPECT_FALSE(view.Frame().Rotated);
    EXPECT_EQ(host.measures, measures);
}

TEST_F(ImageViewTest, EmptyFrameAfterDisconnect) {
    std::vector<uint16_t> px(50 * 50, 300);
    view.SetFrame(px.data(), 0, 0, 50, 50, 2, 2, true, false);
    view.SetEmptyFrame();
    const ImageFrame& f = view.Frame();
    EXPECT_EQ(f.Width, 0);
    EXPECT_EQ(f.Height, 0);
    EXPECT_EQ(f.OriginX, -1);
    EXPECT_EQ(f.OriginY, -1);
    EXPECT_EQ(f.BinX, 1);
    EXPECT_FALSE(f.Rotated);
    EXPECT_EQ(f.Capacity, 5000u);
    EXPECT_EQ(host.exposureLevels.back(), (std::pair<int, int>{0, 1}));
    EXPECT_EQ(view.WhiteLevel(), 1);
}

TEST_F(ImageViewTest, ResetRestoresTheDisplayDefaults) {
    view.SetGamma(3.0f);
    view.SetInvert(true);
    view.SetAutoLevel(false);
    view.SetNightVision(true);
    view.SetPan(40, -20);
    view.SetZoom(6);
    view.SetAspect(false);
    view.SetReticle(true);
    view.ResetDisplaySettings();
    EXPECT_EQ(view.Gamma(), 1.0f);
    EXPECT_FALSE(view.Invert());
    EXPECT_TRUE(view.AutoLevel());
    EXPECT_FALSE(view.NightVision());
    EXPECT_EQ(view.PanX(), 0);
    EXPECT_EQ(view.PanY(), 0);
    EXPECT_EQ(view.ZoomLevel(), 0);
    EXPECT_TRUE(view.Aspect());
    EXPECT_FALSE(view.Reticle());
    EXPECT_EQ(view.ColourMode(), 0);
    EXPECT_EQ(observer.nightVision, (std::vector<bool>{true, false}));
}

TEST_F(ImageViewTest, NightVisionOnlyReportsChanges) {
    view.SetNightVision(true);
    view.SetNightVision(true);
    view.SetNightVision(false);
    view.SetNightVision(false);
    EXPECT_EQ(observer.nightVision, (std::vector<bool>{true, false}));
}

TEST_F(ImageViewTest, PushToDialogShowsTheViewAndAppliesItBack) {
    view.SetDisplayDialogExists(true);
    view.SetGamma(1.234f);
    view.SetZoom(3);
    view.SetAutoLevel(false);
    view.SetLevels(100, 2000);
    view.PushToDialog();
    const DisplayDialogModel& m = view.DialogModel();
    EXPECT_EQ(observer.dialogPushes, 1);
    // The log value is cut to one decimal, and the view takes it back that way.
    EXPECT_EQ(m.controls.logTrack, 2);
    EXPECT_EQ(m.controls.log, "0.2");
    EXPECT_EQ(m.controls.black, "100");
    EXPECT_EQ(m.controls.whiteTrack, 2000 - 32768);
    EXPECT_EQ(m.controls.zoomTrack, 3);
    EXPECT_TRUE(m.controls.levelsEnabled);
    EXPECT_FLOAT_EQ(view.Gamma(), 1.2f);
    EXPECT_EQ(view.ZoomLevel(), 3);
    EXPECT_EQ(view.BlackLevel(), 100);
}

TEST_F(ImageViewTest, ApplyDialogZoomsAboutTheSelectionCentre) {
    view.SetDisplayDialogExists(true);
    view.PushToDialog();
    view.SetSelection({100, 100}, {301, 201});
    const Point centre{200, 150};
    const Point before = view.Geometry().SensorToScreen(centre);
    view.DialogModel().controls.zoomTrack = 4;
    view.ApplyDialog();
    EXPECT_EQ(view.ZoomLevel(), 4);
    EXPECT_EQ(view.Geometry().SensorToScreen(centre), before);

    // Without a selection the sensor centre stays put, wherever it was panned to.
    view.SetSelection({0, 0}, {0, 0});
    view.SetPan(30, 40);
    const Point sensorCentre = view.Geometry().SensorToScreen(Point{500, 400});
    view.DialogModel().controls.zoomTrack = -2;
    view.ApplyDialog();
    EXPECT_EQ(view.Geometry().SensorToScreen(Point{500, 400}), sensorCentre);
}

TEST_F(ImageViewTest, AnotherSensorResetsTheScrollBarsAndThePan) {
    view.SetPan(5000, -5000);
    view.UpdateScrollBars();
    EXPECT_EQ(view.PanX(), 1000);  // (client 1000 + sensor 1000) / 2
    view.SetSensorSize(200, 100);  // Connect to a smaller camera
    EXPECT_EQ(view.ScrollBars().horizontal.max, 500 + 200);
    EXPECT_EQ(view.ScrollBars().vertical.page, 100);
    EXPECT_EQ(view.PanX(), 600);
    EXPECT_EQ(view.PanY(), -450);
    view.SetSensorSize(0, 0);  // Disconnect
    EXPECT_EQ(view.ScrollBars().horizontal.max, 500);
    EXPECT_EQ(view.PanX(), 500);
}

TEST_F(ImageViewTest, AutoStretchRefreshesTheDialogLevels) {
    view.SetDisplayDialogExists(true);
    std::vector<uint16_t> px(30 * 30, 4000);
    const int refreshes = observer.dialogRefreshes;
    view.SetFrame(px.data(), 0, 0, 30, 30, 1, 1, false, false);
    EXPECT_EQ(observer.dialogRefreshes, refreshes + 1);
    EXPECT_EQ(view.DialogModel().controls.black, "4000");
    EXPECT_EQ(view.DialogModel().controls.white, "4001");
    EXPECT_FALSE(view.DialogModel().controls.levelsEnabled);
}

TEST_F(ImageViewTest, PaintRendersAndRemakesThePictureOnResize) {
    std::vector<uint16_t> px(1000 * 800, 0);
    view.SetAutoLevel(false);
    view.SetLevels(0, 65535);
    view.SetFrame(px.data(), 0, 0, 1000, 800, 1, 1, false, false);
    const ViewBitmap* bmp = view.Paint(200, 100);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->Width(), 200);
    EXPECT_EQ(bmp->Stride(), 600);
    EXPECT_EQ(view.ScrollBars().horizontal.min, -1100);
    EXPECT_EQ(view.Paint(0, 0), nullptr);  // nothing to paint into
}

TEST_F(ImageViewTest, ColourCommandsGoThroughTheView) {
    EXPECT_FALSE(view.OnColourCommand(ids::ID_CAMERA_SNAPSHOT));
    EXPECT_FALSE(view.ColourCommandState(ids::ID_CAMERA_SNAPSHOT).has_value());
    std::vector<uint16_t> px(8 * 8, 1000);
    view.SetFrame(px.data(), 0, 0, 8, 8, 1, 1, false, false);
    const size_t before = host.exposureLevels.size();
    EXPECT_TRUE(view.OnColourCommand(ids::ID_COLOUR_LUMINANCE));
    EXPECT_EQ(view.ColourMode(), 2);
    EXPECT_EQ(host.exposureLevels.size(), before + 1);
    EXPECT_GT(observer.repaints, 0);
    ASSERT_TRUE(view.ColourCommandState(ids::ID_COLOUR_LUMINANCE).has_value());
    EXPECT_TRUE(view.ColourCommandState(ids::ID_COLOUR_LUMINANCE)->checked);
}

}  // namespace
}  // namespace zorvane
