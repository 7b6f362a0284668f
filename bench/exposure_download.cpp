// The frame's road from the camera library to the image view, without painting: the 180° turn
// into the download buffer with the histogram counted on the way, then SetFrame (the buffer
// exchanged with the view's, levels, lookup table). Compared with a memcpy
// of the same bytes, warm buffers on both sides. Also the rate a high-speed loop sustains on
// the simulated camera in real time, next to the rate of the camera itself, and the resident
// memory of a long high-speed loop.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "RatioReport.h"
#include "camera/ExposureCycle.h"
#include "frame/FrameHistogram.h"
#include "platform/Paths.h"
#include "support/SimHarness.h"
#include "view/ImageView.h"
#include "view/ImageViewHost.h"

namespace zorvane {
namespace {

struct NullViewHost : ImageViewHost {
    void AutoExposureAdjust(int, int) override {}
    void SetSubframe(const Rect&) override {}
    bool IsExposureLocked() const override { return false; }
    void OnPixelReadout(int, int, int) override {}
    void OnStarPicked() override {}
    bool MeasureStar() override { return false; }
    int MeasureRadius() const override { return 8; }
    int CameraProtocol() const override { return 0; }
};

// Sends each frame to a real image view, nothing else.
struct ViewHost : ExposureHost {
    explicit ViewHost(ImageView& v) : view(v) {}
    ImageView& view;
    int frames = 0;
    void MakeExposureTimeText() override {}
    void SetFrame(FrameBuffer& p, FrameHistogram& counts, const FrameGeometry& g, bool turned,
                  bool preview) override {
        view.SetFrame(p, counts, g.x, g.y, g.width, g.height, g.binX, g.binY, turned, preview);
        ++frames;
    }
    void OnNewFrameShown() override {}
    bool AutosaveEnabled() const override { return false; }
    void AutosaveImage() override {}
    bool IsAutoguideOn() const override { return false; }
    bool GuideStep() override { return true; }
    void EnableSequencerRun(bool) override {}
    void ShowAutoExposure(float) override {}
    int RaiseThreadPriority() override { return 0; }
    void RestoreThreadPriority(int) override {}
    void KeepSystemAwake(bool) override {}
};

const char* SizeOption(int64_t megapixels) {
    return megapixels >= 16 ? "size=4896x3264" : "size=1024x1024";
}

void BM_MemcpyFrame(benchmark::State& state) {
    const size_t pixels = state.range(0) >= 16 ? 4896u * 3264u : 1024u * 1024u;
    std::vector<uint16_t> a(pixels, 1234), b(pixels);
    bench::TimeEach(state, [&] {
        std::memcpy(b.data(), a.data(), pixels * 2);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    });
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pixels) * 2);
}

// A connected simulated camera holding one finished frame, and an exposure cycle that sends
// frames to a real image view. The library hands out the same finished frame again until a
// newer one is taken, so the download can be repeated.
struct DownloadBench {
    explicit DownloadBench(int64_t megapixels)
        : sim(std::string("flush_ms=0;wait_ms=0;download_mpx_s=1000;") + SizeOption(megapixels)),
          view(viewHost),
          host(view),
          cycle(sim.lib, sim.camera, settings, sim.loop, sim.loop, sim.prompts, host, owner) {
        if (!sim.Connect()) return;
        sim.lib.ZorvaneStartExposure(sim.camera.handle, 0.1f);
        sim.Advance(1000);
        // Two hand-overs before timing: the view and the cycle exchange pixel arrays, so both
        // arrays exist and are warm.
        ready = HandOver() && HandOver();
    }
    bool HandOver() { return cycle.DownloadAndShowFrame(); }
    int64_t Bytes() const { return int64_t(cycle.Geometry().width) * cycle.Geometry().height * 2; }

    test::SimBench sim;
    NullViewHost viewHost;
    ImageView view;
    ViewHost host;
    ExposureSettings settings;
    CameraOwner owner;
    ExposureCycle cycle;
    bool ready = false;
};

// Download (turned copy out of the library's buffer) and hand-over to the view, as EndShot does.
void BM_DownloadAndSetFrame(benchmark::State& state) {
    DownloadBench b(state.range(0));
    if (!b.ready) return state.SkipWithError("no simulated camera");
    bool ok = true;
    bench::TimeEach(state, [&] { ok = b.HandOver() && ok; });
    if (!ok) state.SkipWithError("no frame");
    state.SetBytesProcessed(int64_t(state.iterations()) * b.Bytes());
}

// Only the turned copy out of the library's buffer, with the histogram counted on the way.
void BM_DownloadOnly(benchmark::State& state) {
    DownloadBench b(state.range(0));
    if (!b.ready) return state.SkipWithError("no simulated camera");
    bool ok = true;
    bench::TimeEach(state, [&] {
        ok = b.cycle.DownloadFrame() && ok;
        benchmark::ClobberMemory();
    });
    if (!ok) state.SkipWithError("no frame");
    state.SetBytesProcessed(int64_t(state.iterations()) * b.Bytes());
}

// The floor under the hand-over: the display levels need every interior pixel counted, so the
// count alone (in place, no copy) bounds what the whole hand-over can reach. Sky-like values
// around 1500 ADU, as the simulated camera gives.
void BM_CountOnly(benchmark::State& state) {
    const int w = state.range(0) >= 16 ? 4896 : 1024, h = state.range(0) >= 16 ? 3264 : 1024;
    std::vector<uint16_t> pixels(size_t(w) * h);
    std::mt19937 random(1);
    std::normal_distribution<double> sky(1500.0, 40.0);
    for (uint16_t& v : pixels) v = static_cast<uint16_t>(std::clamp(sky(random), 0.0, 65535.0));
    FrameHistogram counts;
    bench::TimeEach(state, [&] { benchmark::DoNotOptimize(counts.Count(pixels.data(), w, h)); });
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pixels.size()) * 2);
}

// A GUI thread in real time: posted messages and window timers on one thread.
class RealTimeLoop : public TimerService, public EventPoster {
public:
    using Clock = std::chrono::steady_clock;
    std::function<void(int)> onTimer;

    void SetTimer(int id, unsigned ms) override {
        timers_[id] = {std::max(1u, ms),
                       Clock::now() + std::chrono::milliseconds(std::max(1u, ms))};
    }
    void KillTimer(int id) override { timers_.erase(id); }
    void PostToGuiThread(std::function<void()> message) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            posted_.push_back(std::move(message));
        }
        cv_.notify_one();
    }
    // Runs until the span has passed or until done() says so (checked after each message).
    void RunFor(std::chrono::milliseconds span, const std::function<bool()>& done = {}) {
        const auto end = Clock::now() + span;
        while (Clock::now() < end && !(done && done())) {
            auto wakeAt = end;
            for (auto& [id, t] : timers_) wakeAt = std::min(wakeAt, t.due);
            std::function<void()> message;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                cv_.wait_until(lock, wakeAt, [&] { return !posted_.empty(); });
                if (!posted_.empty()) {
                    message = std::move(posted_.front());
                    posted_.pop_front();
                }
            }
            if (message) message();
            const auto now = Clock::now();
            for (auto it = timers_.begin(); it != timers_.end();) {
                const int id = it->first;
                if (it->second.due <= now) {
                    it->second.due = now + std::chrono::milliseconds(it->second.period);
                    onTimer(id);
                    it = timers_.lower_bound(id + 1);
                } else {
                    ++it;
                }
            }
        }
    }

private:
    struct Timer {
        unsigned period;
        Clock::time_point due;
    };
    std::map<int, Timer> timers_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> posted_;
};

// A high-speed loop (preview read-out, zero exposure) on the simulated camera in real time,
// through the whole cycle and the view's SetFrame; the camera is configured by the caller.
struct HighSpeedLoop {
    HighSpeedLoop() : lib({ExecutableDirectory()}) {
        OpenCamera(lib, lib.ChooseCamera(prompts), true, CoolingDiscoveryOrder::CoolingFirst,
                   camera);
        settings.subWidth = camera.properties.pixelsX;
        settings.subHeight = camera.properties.pixelsY;
        settings.preview = true;
        settings.exposure = 0.0f;
        cycle = std::make_unique<ExposureCycle>(lib, camera, settings, loop, loop, prompts, host,
                                                owner);
        loop.onTimer = [this](int id) { cycle->OnTimer(id); };
        cycle->ToggleLoop();
    }
    ~HighSpeedLoop() {
        Stop();
        lib.ZorvaneDisconnect(camera.handle);
        camera.handle = nullptr;
    }
    void Stop() {
        if (looping) cycle->ToggleLoop();
        looping = false;
    }

    CameraLibrary lib;
    test::ScriptedPrompts prompts;
    CameraConnection camera;
    RealTimeLoop loop;
    NullViewHost viewHost;
    ImageView view{viewHost};
    ViewHost host{view};
    ExposureSettings settings;
    CameraOwner owner;
    std::unique_ptr<ExposureCycle> cycle;
    bool looping = true;
};

// Frames per second of a high-speed loop on a 1 MP camera.
void BM_HighSpeedLoopRate(benchmark::State& state) {
    test::SimControls sim;
    for (auto _ : state) {
        sim.Configure("size=1024x1024");
        sim.UseRealClock();
        HighSpeedLoop rig;
        const auto t0 = std::chrono::steady_clock::now();
        rig.loop.RunFor(std::chrono::milliseconds(3000));
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        rig.Stop();
        state.counters["frames_per_s"] = rig.host.frames / seconds;
        state.counters["exposures_started"] = sim.CallCount("ZorvaneStartExposure");
        state.counters["frames_shown"] = rig.host.frames;
    }
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// Resident memory over 5000 frames of a high-speed loop on a 1 MP camera that delivers frames
// as fast as it can: the growth between frame 100 and frame 5000 should be nil.
void BM_HighSpeedLoopMemory(benchmark::State& state) {
    test::SimControls sim;
    for (auto _ : state) {
        sim.Configure("size=1024x1024;flush_ms=0;wait_ms=0;download_mpx_s=1000");
        sim.UseRealClock();
        HighSpeedLoop rig;
        long rssAt100 = -1;
        rig.loop.RunFor(std::chrono::minutes(5), [&] {
            if (rig.host.frames >= 100 && rssAt100 < 0) rssAt100 = ResidentKb();
            return rig.host.frames >= 5000;
        });
        const long rssAtEnd = ResidentKb();
        rig.Stop();
        state.counters["frames_shown"] = rig.host.frames;
        state.counters["exposures_started"] = sim.CallCount("ZorvaneStartExposure");
        state.counters["rss_kb_at_100"] = static_cast<double>(rssAt100);
        state.counters["rss_growth_kb"] = static_cast<double>(rssAtEnd - rssAt100);
    }
}

// The camera's own rate for the same frames: start, wait, fetch, as fast as it allows.
void BM_SimulatedCameraRate(benchmark::State& state) {
    test::SimControls sim;
    for (auto _ : state) {
        sim.Configure("size=1024x1024");
        sim.UseRealClock();
        CameraLibrary lib({ExecutableDirectory()});
        test::ScriptedPrompts prompts;
        CameraConnection camera;
        OpenCamera(lib, lib.ChooseCamera(prompts), true, CoolingDiscoveryOrder::CoolingFirst,
                   camera);
        lib.ZorvaneSetPreview(camera.handle, true);
        int frames = 0;
        const auto t0 = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(3)) {
            lib.ZorvaneStartExposure(camera.handle, 0.0f);
            while (!lib.ZorvaneImageReady(camera.handle))
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            benchmark::DoNotOptimize(lib.ZorvaneImageBuffer(camera.handle));
            ++frames;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.counters["frames_per_s"] = frames / seconds;
        lib.ZorvaneDisconnect(camera.handle);
        camera.handle = nullptr;
    }
}

BENCHMARK(BM_MemcpyFrame)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_CountOnly)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_DownloadOnly)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_DownloadAndSetFrame)
    ->Arg(1)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK(BM_SimulatedCameraRate)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HighSpeedLoopRate)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HighSpeedLoopMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zorvane

int main(int argc, char** argv) {
    using zorvane::bench::RatioRow;
    return zorvane::bench::RunWithRatios(
        argc, argv,
        {
            RatioRow{"count alone 1 MP / memcpy (the floor)", "BM_CountOnly/1", "BM_MemcpyFrame/1"},
            RatioRow{"count alone 16 MP / memcpy (the floor)", "BM_CountOnly/16",
                     "BM_MemcpyFrame/16"},
            RatioRow{"download + turn + count 1 MP / memcpy", "BM_DownloadOnly/1",
                     "BM_MemcpyFrame/1"},
            RatioRow{"download + turn + count 16 MP / memcpy", "BM_DownloadOnly/16",
                     "BM_MemcpyFrame/16"},
            RatioRow{"hand-over 1 MP / memcpy", "BM_DownloadAndSetFrame/1", "BM_MemcpyFrame/1",
                     3.0},
            RatioRow{"hand-over 16 MP / memcpy", "BM_DownloadAndSetFrame/16", "BM_MemcpyFrame/16",
                     2.0},
        },
        {
            {"high-speed loop frames/s / camera frames/s", "BM_HighSpeedLoopRate", "frames_per_s",
             "BM_SimulatedCameraRate", "frames_per_s"},
        },
        [](const zorvane::bench::RatioReporter& r) {
            for (const char* name : {"BM_HighSpeedLoopRate", "BM_HighSpeedLoopMemory"}) {
                const double started = r.Counter(name, "exposures_started");
                const double shown = r.Counter(name, "frames_shown");
                if (started < 0) continue;
                // The exposure running when the loop stops never arrives.
                std::printf("%-44s %9.0f started, %.0f shown, %.0f dropped\n", name, started, shown,
                            std::max(0.0, started - shown - 1));
            }
            const double growth = r.Counter("BM_HighSpeedLoopMemory", "rss_growth_kb");
            if (growth > -1e17)
                std::printf("%-44s %9.0f kB (frame 100 to 5000, from %.0f kB)\n",
                            "resident memory growth", growth,
                            r.Counter("BM_HighSpeedLoopMemory", "rss_kb_at_100"));
        });
}
