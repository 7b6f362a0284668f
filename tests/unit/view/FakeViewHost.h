#pragma once

#include <utility>
#include <vector>

#include "view/ImageView.h"
#include "view/ImageViewHost.h"

namespace zorvane::test {

// Records what the view tells the main window and answers its questions from fields.
struct FakeViewHost : ImageViewHost {
    struct Readout {
        int x, y, value;
    };
    std::vector<std::pair<int, int>> exposureLevels;
    std::vector<Rect> subframes;
    std::vector<Readout> readouts;
    int starPicks = 0;
    int measures = 0;
    bool locked = false;
    bool measureResult = true;
    int measureRadius = 8;
    int protocol = 0;

    void AutoExposureAdjust(int low, int high) override { exposureLevels.push_back({low, high}); }
    void SetSubframe(const Rect& r) override { subframes.push_back(r); }
    bool IsExposureLocked() const override { return locked; }
    void OnPixelReadout(int x, int y, int value) override { readouts.push_back({x, y, value}); }
    void OnStarPicked() override { ++starPicks; }
    bool MeasureStar() override {
        ++measures;
        return measureResult;
    }
    int MeasureRadius() const override { return measureRadius; }
    int CameraProtocol() const override { return protocol; }
};

// Counts the view's requests to its window.
struct FakeViewObserver : ImageViewObserver {
    int repaints = 0;
    int erasingRepaints = 0;
    int scrollUpdates = 0;
    int dialogRefreshes = 0;
    int dialogPushes = 0;
    std::vector<int> dialogZooms;
    std::vector<bool> nightVision;

    void OnRepaint(bool erase) override {
        ++repaints;
        if (erase) ++erasingRepaints;
    }
    void OnScrollBarsChanged() override { ++scrollUpdates; }
    void OnDialogLevels() override { ++dialogRefreshes; }
    void OnDialogZoom(int level) override { dialogZooms.push_back(level); }
    void OnDialogPush() override { ++dialogPushes; }
    void OnNightVisionChanged(bool on) override { nightVision.push_back(on); }
};

}  // namespace zorvane::test
