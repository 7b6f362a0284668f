#include "app/StatusBarText.h"

#include <gtest/gtest.h>
#include <zorvane/camera_api.h>

namespace zorvane::statusbar {
namespace {

TEST(StatusBarText, ZoomStepsShowAsRatios) {
    EXPECT_EQ(ZoomText(0), "Zoom 1:1");
    EXPECT_EQ(ZoomText(1), "Zoom 1.5:1");
    EXPECT_EQ(ZoomText(2), "Zoom 2:1");
    EXPECT_EQ(ZoomText(3), "Zoom 2.5:1");
    EXPECT_EQ(ZoomText(18), "Zoom 10:1");
    EXPECT_EQ(ZoomText(-1), "Zoom 1:1.5");
    EXPECT_EQ(ZoomText(-2), "Zoom 1:2");
    EXPECT_EQ(ZoomText(-3), "Zoom 1:2.5");
    EXPECT_EQ(ZoomText(-18), "Zoom 1:10");
}

TEST(StatusBarText, CameraStateFollowsTheLibrary) {
    EXPECT_EQ(CameraStateText(false, true, ZORVANE_STATE_EXPOSING, 59.9f, 0), "Exp. 59 sec");
    EXPECT_EQ(CameraStateText(false, true, ZORVANE_STATE_EXPOSING, 125.0f, 0), "Exp. 2 min 5");
    EXPECT_EQ(CameraStateText(false, true, ZORVANE_STATE_EXPOSING, 60.0f, 0), "Exp. 1 min 0");
    EXPECT_EQ(CameraStateText(false, true, ZORVANE_STATE_WAITING, 0, 0), "Waiting");
    // The library counts the percent down; the pane shows how much is done.
    EXPECT_EQ(CameraStateText(false, true, ZORVANE_STATE_DOWNLOADING, 0, 30), "Downloading: 70%");
    EXPECT_EQ(CameraStateText(false, true, ZORVANE_STATE_DOWNLOADING, 0, 0), "Downloading");
    EXPECT_EQ(CameraStateText(false, true, ZORVANE_STATE_FLUSHING, 0, 1), "Flushing: 99%");
    EXPECT_EQ(CameraStateText(false, true, ZORVANE_STATE_FLUSHING, 0, 0), "Flushing");
    EXPECT_EQ(CameraStateText(false, true, 3, 0, 0), "Idle");
    EXPECT_EQ(CameraStateText(false, false, ZORVANE_STATE_EXPOSING, 10, 0), "Idle");
    EXPECT_EQ(CameraStateText(true, true, ZORVANE_STATE_EXPOSING, 10, 0), "High-speed imaging");
    EXPECT_TRUE(CameraStateActive(false, true, ZORVANE_STATE_FLUSHING));
    EXPECT_FALSE(CameraStateActive(false, true, 0));
    EXPECT_FALSE(CameraStateActive(true, true, ZORVANE_STATE_EXPOSING));
}

TEST(StatusBarText, AnUnsavedFrameColoursTheBar) {
    const SavedColour unsaved = SavedBackground("", false);
    EXPECT_FALSE(unsaved.useDefault);
    EXPECT_EQ(unsaved.colour, (Rgb{255, 96, 96}));
    EXPECT_EQ(SavedBackground("", true).colour, (Rgb{255, 255, 96}));
    EXPECT_TRUE(SavedBackground("/a.fit", true).useDefault);
}

TEST(StatusBarText, ReadoutIsHiddenWithoutAPosition) {
    EXPECT_EQ(ReadoutText(105, 55, 1234), "(105,55)=1234");
    EXPECT_EQ(ReadoutText(-1, 0, 0), "");
    EXPECT_EQ(ReadoutText(3, 4, -1), "(3,4)=-1");
}

}  // namespace
}  // namespace zorvane::statusbar
