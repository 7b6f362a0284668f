#include "support/SimHarness.h"

#include <vector>

#include "platform/DynamicLibrary.h"
#include "platform/Paths.h"

namespace zorvane::test {

std::string SimControls::LibraryPath() {
    return ExecutableDirectory() + "/" + MapLibraryFileName("ZorvaneCCDDummy.dll");
}

SimControls::SimControls() : SimControls(LibraryPath()) {}

SimControls::SimControls(const std::string& libraryPath)
    : handle_(::dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

SimControls::~SimControls() {
    if (handle_) ::dlclose(handle_);
}

void SimControls::Configure(const std::string& options) {
    if (auto f = Sym<ZorvaneSimConfigure_fn>("ZorvaneSimConfigure")) f(options.c_str());
    if (auto f = Sym<ZorvaneSimUseVirtualClock_fn>("ZorvaneSimUseVirtualClock")) f(1);
}

void SimControls::UseRealClock() {
    if (auto f = Sym<ZorvaneSimUseVirtualClock_fn>("ZorvaneSimUseVirtualClock")) f(0);
}

void SimControls::SetTime(uint64_t ms) {
    if (auto f = Sym<ZorvaneSimSetTime_fn>("ZorvaneSimSetTime")) f(ms);
}

std::string SimControls::CallLog() {
    auto f = Sym<ZorvaneSimCallLog_fn>("ZorvaneSimCallLog");
    if (!f) return {};
    const int32_t n = f(nullptr, 0);
    std::vector<char> buffer(static_cast<size_t>(n) + 1);
    f(buffer.data(), static_cast<int32_t>(buffer.size()));
    return std::string(buffer.data());
}

void SimControls::ClearCallLog() {
    if (auto f = Sym<ZorvaneSimClearCallLog_fn>("ZorvaneSimClearCallLog")) f();
}

int SimControls::CallCount(const char* entryPoint) {
    auto f = Sym<ZorvaneSimCallCount_fn>("ZorvaneSimCallCount");
    return f ? f(entryPoint) : -1;
}

double SimControls::SensorTemperature() {
    auto f = Sym<ZorvaneSimSensorTemperature_fn>("ZorvaneSimSensorTemperature");
    return f ? f() : 0.0;
}

int SimControls::StarCount() {
    auto f = Sym<ZorvaneSimStarCount_fn>("ZorvaneSimStarCount");
    return f ? f() : 0;
}

bool SimControls::Star(int i, double& x, double& y, double& flux) {
    auto f = Sym<ZorvaneSimStar_fn>("ZorvaneSimStar");
    return f && f(i, &x, &y, &flux) == 1;
}

void SimControls::MountOffset(double& x, double& y) {
    x = y = 0.0;
    if (auto f = Sym<ZorvaneSimMountOffset_fn>("ZorvaneSimMountOffset")) f(&x, &y);
}

int SimControls::HotPixelCount() {
    auto f = Sym<ZorvaneSimHotPixelCount_fn>("ZorvaneSimHotPixelCount");
    return f ? f() : 0;
}

bool SimControls::HotPixel(int i, int& x, int& y) {
    auto f = Sym<ZorvaneSimHotPixel_fn>("ZorvaneSimHotPixel");
    int32_t hx = 0, hy = 0;
    if (!f || f(i, &hx, &hy, nullptr) != 1) return false;
    x = hx;
    y = hy;
    return true;
}

SimBench::SimBench(const std::string& options) : lib({ExecutableDirectory()}) {
    sim.Configure(options);
    loop.SetClockListener([this](uint64_t now) { sim.SetTime(now); });
}

SimBench::~SimBench() {
    if (camera.handle) lib.ZorvaneDisconnect(camera.handle);
}

bool SimBench::Connect() {
    const int device = lib.ChooseCamera(prompts);
    if (device < 0) return false;
    return OpenCamera(lib, device, true, CoolingDiscoveryOrder::CoolingFirst, camera);
}

}  // namespace zorvane::test
