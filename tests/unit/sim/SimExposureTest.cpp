#include <atomic>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SimFixture.h"

namespace zorvane::test {
namespace {

using SimExposure = SimTest;

// Default timing: 20 ms flush, 5 ms wait, then the exposure, then 1392 x 1040 pixels at
// 20 Mpx/s = 72.384 ms of download.
TEST_F(SimExposure, StatesProgressInOrderWithSaneProgress) {
    ASSERT_TRUE(Configure(""));
    ZorvaneHandle h = Connect();
    EXPECT_EQ(api.ZorvaneCameraState(h), ZORVANE_STATE_IDLE);
    api.ZorvaneStartExposure(h, 0.5f);

    std::vector<int> states;
    float lastRemaining = 1e9f;
    int lastPercent = 101;
    int lastState = -1;
    for (int t = 0; t <= 600; ++t) {
        if (t > 0) Advance(1);
        const int s = api.ZorvaneCameraState(h);
        if (s != lastState) {
            states.push_back(s);
            lastPercent = 101;
        }
        lastState = s;
        if (s == ZORVANE_STATE_FLUSHING || s == ZORVANE_STATE_DOWNLOADING) {
            const int p = api.ZorvaneDownloadPercent(h);
            EXPECT_LE(p, lastPercent) << "at " << t << " ms";
            EXPECT_GE(p, 0);
            EXPECT_LE(p, 100);
            lastPercent = p;
        }
        if (s == ZORVANE_STATE_EXPOSING) {
            const float r = api.ZorvaneExposureTimeRemaining(h);
            EXPECT_LE(r, lastRemaining);
            EXPECT_GE(r, 0.0f);
            EXPECT_LE(r, 0.5f);
            lastRemaining = r;
        }
        EXPECT_EQ(api.ZorvaneImageReady(h) != 0, t >= 598) << "at " << t << " ms";
        if (t == 10) {
            EXPECT_EQ(api.ZorvaneDownloadPercent(h), 50);
        }
        if (t == 300) {
            EXPECT_FLOAT_EQ(api.ZorvaneExposureTimeRemaining(h), 0.225f);
        }
    }
    EXPECT_EQ(states, (std::vector<int>{5, 1, 2, 4, 0}));
    EXPECT_FLOAT_EQ(api.ZorvaneLastExposureDuration(h), 0.5f);
    // The exposure itself began after flush and wait; virtual time 0 is 2025-01-01 00:00 UTC.
    EXPECT_STREQ(api.ZorvaneLastStartTime(h), "2025-01-01 00:00:00");
    EXPECT_EQ(api.ZorvaneLastStartTimeMilliseconds(h), 25);
}

TEST_F(SimExposure, TriggeredExposureWaitsForTheTrigger) {
    ASSERT_TRUE(Configure("trigger_delay_ms=300"));
    ZorvaneHandle h = Connect();
    api.ZorvaneTriggeredExposure(h, 1);
    api.ZorvaneStartExposure(h, 0.1f);
    Advance(310);
    EXPECT_EQ(api.ZorvaneCameraState(h), ZORVANE_STATE_WAITING);
    EXPECT_FLOAT_EQ(api.ZorvaneExposureTimeRemaining(h), 0.1f);
    Advance(20);
    EXPECT_EQ(api.ZorvaneCameraState(h), ZORVANE_STATE_EXPOSING);
}

TEST_F(SimExposure, FrameGeometryFollowsBinningSubframeAndSubsample) {
    ASSERT_TRUE(Configure(kStill));
    ZorvaneHandle h = Connect();
    int32_t x, y, w, hh, bx, by;
    api.ZorvaneGetSubframe(h, &x, &y, &w, &hh);
    EXPECT_EQ(w, 1392);
    EXPECT_EQ(hh, 1040);

    api.ZorvaneBin(h, 2, 2);
    api.ZorvaneSubframePos(h, 100, 50);
    api.ZorvaneSubframeSize(h, 21, 11);
    Frame f = Expose(h, 0.01f);
    EXPECT_EQ(f.x, 100);
    EXPECT_EQ(f.y, 50);
    EXPECT_EQ(f.width, 10);
    EXPECT_EQ(f.height, 5);
    EXPECT_EQ(f.binX, 2);
    EXPECT_EQ(f.binY, 2);
    EXPECT_EQ(f.pixels.size(), 50u);

    // Subsampling reads one binned pixel of every 2 x 2: the geometry says so.
    api.ZorvaneSetSubSample(h, 1);
    api.ZorvaneBin(h, 1, 3);
    api.ZorvaneSubframeSize(h, 40, 30);
    f = Expose(h, 0.01f);
    EXPECT_EQ(f.width, 20);
    EXPECT_EQ(f.height, 5);
    EXPECT_EQ(f.binX, 2);
    EXPECT_EQ(f.binY, 6);
    api.ZorvaneSetSubSample(h, 0);

    // Out-of-range requests are clamped to the sensor and the binning limits.
    api.ZorvaneSubframePos(h, 5000, -3);
    api.ZorvaneSubframeSize(h, 0, 99999);
    api.ZorvaneGetSubframe(h, &x, &y, &w, &hh);
    EXPECT_EQ(x, 1391);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(hh, 1040);
    api.ZorvaneBin(h, 0, 99);
    api.ZorvaneGetBin(h, &bx, &by);
    EXPECT_EQ(bx, 1);
    EXPECT_EQ(by, 8);

    // Smaller than one binned pixel: an honest empty frame.
    api.ZorvaneBin(h, 2, 2);
    f = Expose(h, 0.0f);
    EXPECT_EQ(f.width, 0);
    EXPECT_EQ(f.height, 520);
}

TEST_F(SimExposure, AbortDiscardsAndStopDeliversEarly) {
    ASSERT_TRUE(Configure(kStill));
    ZorvaneHandle h = Connect();
    api.ZorvaneStartExposure(h, 10.0f);
    Advance(3000);
    api.ZorvaneAbortExposure(h);
    EXPECT_EQ(api.ZorvaneCameraState(h), ZORVANE_STATE_IDLE);
    Advance(20000);
    EXPECT_FALSE(api.ZorvaneImageReady(h));

    api.ZorvaneStartExposure(h, 10.0f);
    Advance(4025);  // 25 ms of flush and wait, then 4 s of light
    EXPECT_EQ(api.ZorvaneCameraState(h), ZORVANE_STATE_EXPOSING);
    api.ZorvaneStopExposure(h);
    EXPECT_EQ(api.ZorvaneCameraState(h), ZORVANE_STATE_DOWNLOADING);
    ASSERT_TRUE(RunUntilReady(h, 1, 200));
    EXPECT_FLOAT_EQ(api.ZorvaneLastExposureDuration(h), 4.0f);
    Fetch(h);

    // A zero-length exposure is a frame like any other.
    Frame f = Expose(h, 0.0f);
    EXPECT_EQ(f.pixels.size(), 1392u * 1040u);
    EXPECT_FLOAT_EQ(api.ZorvaneLastExposureDuration(h), 0.0f);
}

TEST_F(SimExposure, NonsenseExposureLengthsAreTamed) {
    ASSERT_TRUE(Configure(kStill));
    ZorvaneHandle h = Connect();
    for (float bad : {-5.0f, std::numeric_limits<float>::quiet_NaN(),
                      -std::numeric_limits<float>::infinity()}) {
        Expose(h, bad);
        EXPECT_FLOAT_EQ(api.ZorvaneLastExposureDuration(h), 0.0f) << bad;
    }
    // Longer than a week is a week.
    api.ZorvaneStartExposure(h, std::numeric_limits<float>::infinity());
    Advance(100);
    EXPECT_FLOAT_EQ(api.ZorvaneExposureTimeRemaining(h), 604800.0f - 0.075f);
    api.ZorvaneStartExposure(h, 1e30f);
    Advance(100);
    EXPECT_FLOAT_EQ(api.ZorvaneExposureTimeRemaining(h), 604800.0f - 0.075f);
}

TEST_F(SimExposure, FinishedFrameSurvivesTheNextExposure) {
    ASSERT_TRUE(Configure(kStill));
    ZorvaneHandle h = Connect();
    api.ZorvaneStartExposure(h, 0.2f);
    ASSERT_TRUE(RunUntilReady(h));

    // The loop starts the next exposure (binned) before it takes this frame.
    api.ZorvaneBin(h, 2, 2);
    api.ZorvaneStartExposure(h, 0.2f);
    Advance(50);
    EXPECT_TRUE(api.ZorvaneImageReady(h));
    Frame a = Fetch(h);
    EXPECT_EQ(a.width, 1392);
    EXPECT_EQ(a.binX, 1);
    EXPECT_FALSE(api.ZorvaneImageReady(h));
    const uint16_t* held = api.ZorvaneImageBuffer(h);  // the same frame again
    ASSERT_NE(held, nullptr);

    // The pointer stays good, with the same pixels, until the next fetch.
    ASSERT_TRUE(RunUntilReady(h));
    EXPECT_TRUE(std::equal(a.pixels.begin(), a.pixels.end(), held));
    Frame b = Fetch(h);
    EXPECT_EQ(b.width, 696);
    EXPECT_EQ(b.binX, 2);

    // An aborted exposure leaves an untaken frame alone.
    api.ZorvaneStartExposure(h, 0.2f);
    ASSERT_TRUE(RunUntilReady(h));
    api.ZorvaneBin(h, 1, 1);
    api.ZorvaneStartExposure(h, 5.0f);
    Advance(1000);
    api.ZorvaneAbortExposure(h);
    EXPECT_TRUE(api.ZorvaneImageReady(h));
    EXPECT_EQ(Fetch(h).width, 696);
}

struct PostRecorder {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<uint32_t> messages;
    std::vector<uintptr_t> wParams;
    std::vector<intptr_t> lParams;
    std::thread::id thread;
    // Calls back into the library from inside the post, as a careless receiver might.
    ZorvaneHandle reenter = nullptr;
    SimApi* api = nullptr;

    static void Post(void* context, uint32_t message, uintptr_t w, intptr_t l) {
        auto* self = static_cast<PostRecorder*>(context);
        if (self->reenter != nullptr) self->api->ZorvaneCameraState(self->reenter);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->messages.push_back(message);
        self->wParams.push_back(w);
        self->lParams.push_back(l);
        self->thread = std::this_thread::get_id();
        self->arrived.notify_all();
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(mutex);
        return messages.size();
    }
};

TEST_F(SimExposure, FrameReadyIsPostedOncePerFrameInVirtualTime) {
    ASSERT_TRUE(Configure(""));
    ZorvaneHandle h = Connect();
    PostRecorder rec;
    rec.api = &api;
    rec.reenter = h;
    ZorvanePostTarget target{&PostRecorder::Post, &rec};
    api.ZorvaneExposureReadyCallback(h, &target, ZORVANE_MSG_FRAME_READY, 7, -3);

    api.ZorvaneStartExposure(h, 0.5f);
    Advance(597);
    EXPECT_EQ(rec.Count(), 0u);
    Advance(1);  // the download ends at 597.384 ms
    ASSERT_EQ(rec.Count(), 1u);
    EXPECT_EQ(rec.messages[0], ZORVANE_MSG_FRAME_READY);
    EXPECT_EQ(rec.wParams[0], 7u);
    EXPECT_EQ(rec.lParams[0], -3);
    EXPECT_EQ(rec.thread, std::this_thread::get_id());

    for (int i = 0; i < 2; ++i) {
        api.ZorvaneStartExposure(h, 0.01f);
        Fetch(h);
        ASSERT_TRUE(RunUntilReady(h, 1, 1000));
    }
    Advance(1000);
    EXPECT_EQ(rec.Count(), 3u);

    api.ZorvaneExposureReadyCallback(h, nullptr, 0, 0, 0);
    api.ZorvaneStartExposure(h, 0.01f);
    ASSERT_TRUE(RunUntilReady(h, 1, 1000));
    Advance(10);
    EXPECT_EQ(rec.Count(), 3u);
}

TEST_F(SimExposure, FrameReadyIsPostedFromTheLibrarysThreadInRealTime) {
    api.ZorvaneSimUseVirtualClock(0);
    ASSERT_TRUE(Configure("flush_ms=0;wait_ms=0"));
    ZorvaneHandle h = Connect();
    api.ZorvaneSubframeSize(h, 16, 16);
    PostRecorder rec;
    ZorvanePostTarget target{&PostRecorder::Post, &rec};
    api.ZorvaneExposureReadyCallback(h, &target, ZORVANE_MSG_FRAME_READY, 0, 0);
    api.ZorvaneStartExposure(h, 0.0f);
    {
        std::unique_lock<std::mutex> lock(rec.mutex);
        ASSERT_TRUE(rec.arrived.wait_for(lock, std::chrono::seconds(10),
                                         [&] { return !rec.messages.empty(); }));
        EXPECT_NE(rec.thread, std::this_thread::get_id());
    }
    EXPECT_TRUE(api.ZorvaneImageReady(h));
    // Once cancelled, nothing more arrives (the call waits out a post in progress).
    api.ZorvaneExposureReadyCallback(h, nullptr, 0, 0, 0);
    EXPECT_EQ(rec.Count(), 1u);
}

}  // namespace
}  // namespace zorvane::test
