#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <string>

#include "../../sim/zorvane_sim.h"
#include "camera/CameraConnection.h"
#include "camera/CameraLibrary.h"
#include "support/ScriptedPrompts.h"
#include "support/VirtualEventLoop.h"

namespace zorvane::test {

// The simulated camera (bin/libZorvaneCCDDummy.so) in virtual time, with the controls it
// offers to tests. Virtual time of the event loop drives the camera's clock.
class SimControls {
public:
    SimControls();
    // A copy of the library under another path: a second simulated camera with state of its own.
    explicit SimControls(const std::string& libraryPath);
    ~SimControls();
    SimControls(const SimControls&) = delete;
    SimControls& operator=(const SimControls&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    // Resets the simulated camera with these options and switches it to virtual time 0.
    void Configure(const std::string& options);
    void SetTime(uint64_t ms);
    // The same reset, for tests that move the camera's clock themselves with Advance.
    void Reset(const std::string& options) {
        Configure(options);
        now_ = 0;
    }
    void Advance(uint64_t ms) { SetTime(now_ += ms); }
    // Back to the steady clock, for measurements in real time.
    void UseRealClock();
    std::string CallLog();
    void ClearCallLog();
    int CallCount(const char* entryPoint);
    double SensorTemperature();
    int StarCount();
    bool Star(int i, double& x, double& y, double& flux);
    // How far the sky has moved on the sensor since the start, in camera read-out order.
    void MountOffset(double& x, double& y);
    int HotPixelCount();
    bool HotPixel(int i, int& x, int& y);

    static std::string LibraryPath();

private:
    template <typename Fn>
    Fn Sym(const char* name) {
        return reinterpret_cast<Fn>(handle_ ? ::dlsym(handle_, name) : nullptr);
    }
    void* handle_ = nullptr;
    uint64_t now_ = 0;
};

// A camera library and a connected simulated camera, an event loop in virtual time and a
// scripted user: what a core test needs to drive real exposures.
struct SimBench {
    explicit SimBench(const std::string& options = "");
    ~SimBench();

    // Loads and connects the simulated camera; true when a handle was obtained.
    bool Connect();
    // Lets virtual time pass (timers fire, posted messages are delivered).
    void Advance(uint64_t ms) { loop.Advance(ms); }

    SimControls sim;
    CameraLibrary lib;
    CameraConnection camera;
    VirtualEventLoop loop;
    ScriptedPrompts prompts;
};

}  // namespace zorvane::test
