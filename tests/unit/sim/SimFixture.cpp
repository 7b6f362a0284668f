#include "SimFixture.h"

#include <climits>
#include <cstdlib>

namespace zorvane::test {

std::string SimApi::LibraryPath() {
    char exe[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    std::string dir = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string("./x");
    dir = dir.substr(0, dir.rfind('/'));
    return dir + "/libZorvaneCCDDummy.so";
}

SimApi& SimApi::Get() {
    static SimApi api = [] {
        SimApi a;
        a.module = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (a.module == nullptr) {
            ADD_FAILURE() << "cannot load the simulated camera: " << dlerror();
            std::abort();
        }
#define ZORVANE_SIM_LOAD(name) a.name = reinterpret_cast<name##_fn>(dlsym(a.module, #name));
        ZORVANE_SIM_CAMERA_ENTRY_POINTS(ZORVANE_SIM_LOAD)
        ZORVANE_SIM_TEST_CONTROLS(ZORVANE_SIM_LOAD)
#undef ZORVANE_SIM_LOAD
        return a;
    }();
    return api;
}

double Frame::Mean() const {
    double sum = 0;
    for (uint16_t p : pixels) sum += p;
    return pixels.empty() ? 0.0 : sum / static_cast<double>(pixels.size());
}

double Frame::MeanOfSite(int c0, int cm, int r0, int rm) const {
    double sum = 0;
    int n = 0;
    for (int r = r0; r < height; r += rm) {
        for (int c = c0; c < width; c += cm) {
            sum += At(c, r);
            ++n;
        }
    }
    return n ? sum / n : 0.0;
}

void SimTest::SetUp() {
    ASSERT_NE(api.ZorvaneSimUseVirtualClock, nullptr);
    api.ZorvaneSimUseVirtualClock(1);
    nowMs_ = 0;
}

void SimTest::TearDown() {
    api.ZorvaneSimConfigure("");
}

bool SimTest::Configure(const std::string& options) {
    return api.ZorvaneSimConfigure(options.c_str()) == 1;
}

ZorvaneHandle SimTest::Connect(int device) {
    ZorvaneHandle h = api.ZorvaneConnect(device);
    EXPECT_NE(h, nullptr);
    return h;
}

void SimTest::Advance(uint64_t ms) {
    nowMs_ += ms;
    api.ZorvaneSimSetTime(nowMs_);
}

bool SimTest::RunUntilReady(ZorvaneHandle h, uint64_t stepMs, uint64_t limitMs) {
    for (uint64_t waited = 0; waited <= limitMs; waited += stepMs) {
        if (api.ZorvaneImageReady(h)) return true;
        Advance(stepMs);
    }
    return false;
}

Frame SimTest::Fetch(ZorvaneHandle h) {
    Frame f;
    int32_t x, y, w, hgt, bx, by;
    api.ZorvaneGetImageData(h, &x, &y, &w, &hgt, &bx, &by);
    f = {x, y, w, hgt, bx, by, {}};
    const uint16_t* p = api.ZorvaneImageBuffer(h);
    if (p != nullptr) f.pixels.assign(p, p + static_cast<size_t>(w) * hgt);
    return f;
}

Frame SimTest::Expose(ZorvaneHandle h, float seconds, uint64_t stepMs, uint64_t limitMs) {
    api.ZorvaneStartExposure(h, seconds);
    EXPECT_TRUE(RunUntilReady(h, stepMs, limitMs));
    return Fetch(h);
}

}  // namespace zorvane::test
