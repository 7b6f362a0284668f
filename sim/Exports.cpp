// The exported C entry points: each takes the library's lock through a Session (which logs the
// call and brings the cameras up to the present), checks the handle, and forwards.
#include <zorvane/camera_api.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "SimLibrary.h"
#include "zorvane_sim.h"

using zorvane::sim::SimCamera;
using zorvane::sim::SimLibrary;
using Session = zorvane::sim::SimLibrary::Session;

namespace {

constexpr int32_t kApiVersion = 7;

std::string Args(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Args(const char* format, ...) {
    char text[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return text;
}

SimLibrary& Lib() {
    return SimLibrary::Instance();
}

int32_t Truth(bool b) {
    return b ? 1 : 0;
}

}  // namespace

extern "C" {

int32_t ZorvaneAPIVersion(void) {
    Session s(Lib(), "ZorvaneAPIVersion");
    return kApiVersion;
}

int32_t ZorvaneDeviceIsCamera(int32_t device) {
    Session s(Lib(), "ZorvaneDeviceIsCamera", Args("%d", device));
    return Truth(s.library.Device(device) != nullptr);
}

int32_t ZorvaneDeviceSerial(int32_t device, char* serial) {
    Session s(Lib(), "ZorvaneDeviceSerial", Args("%d", device));
    if (serial == nullptr) return 0;
    if (s.library.Device(device) == nullptr) {
        serial[0] = '\0';
        return 0;
    }
    std::snprintf(serial, 40, "ZSIM-%04u-%02d", s.library.Options().seed % 10000u, device);
    return 1;
}

int32_t ZorvaneSetupDialog(void) {
    Session s(Lib(), "ZorvaneSetupDialog");
    return 0;
}

ZorvaneHandle ZorvaneConnect(int32_t device) {
    Session s(Lib(), "ZorvaneConnect", Args("%d", device));
    SimCamera* camera = s.library.Device(device);
    if (camera == nullptr || !camera->Connect(s.now, s.library.WallOffset())) return nullptr;
    s.library.SetTestCamera(device);
    return camera;
}

int32_t ZorvaneDisconnect(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneDisconnect");
    SimCamera* camera = s.Any(h);
    if (camera == nullptr) return 0;
    if (!camera->Disconnect()) return 0;
    s.CancelPosts(camera->Index());
    return 1;
}

int32_t ZorvaneIsConnected(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneIsConnected");
    return Truth(s.Connected(h) != nullptr);
}

int32_t ZorvaneProperties(ZorvaneHandle h, CameraProperties* props) {
    Session s(Lib(), "ZorvaneProperties");
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr || props == nullptr) return 0;
    camera->Properties(props);
    return 1;
}

int32_t ZorvaneColourProperties(ZorvaneHandle h, int32_t* colourType, int32_t* normalX,
                                int32_t* normalY, int32_t* previewX, int32_t* previewY) {
    Session s(Lib(), "ZorvaneColourProperties");
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->ColourProperties(colourType, normalX, normalY, previewX, previewY);
    return 1;
}

int32_t ZorvaneAutoAdjustBlackLevel(ZorvaneHandle h, int32_t enable) {
    Session s(Lib(), "ZorvaneAutoAdjustBlackLevel", Args("%d", enable));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->stored.autoBlackLevel = enable != 0;
    return 1;
}

int32_t ZorvaneGetBin(ZorvaneHandle h, int32_t* binX, int32_t* binY) {
    Session s(Lib(), "ZorvaneGetBin");
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->GetBin(binX, binY);
    return 1;
}

int32_t ZorvaneGetMaxBin(ZorvaneHandle h, int32_t* maxBinX, int32_t* maxBinY) {
    Session s(Lib(), "ZorvaneGetMaxBin");
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->GetMaxBin(maxBinX, maxBinY);
    return 1;
}

int32_t ZorvaneGetSubframe(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                           int32_t* height) {
    Session s(Lib(), "ZorvaneGetSubframe");
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->GetSubframe(x, y, width, height);
    return 1;
}

int32_t ZorvaneSubframePos(ZorvaneHandle h, int32_t x, int32_t y) {
    Session s(Lib(), "ZorvaneSubframePos", Args("%d,%d", x, y));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->SetSubframePos(x, y);
    return 1;
}

int32_t ZorvaneSubframeSize(ZorvaneHandle h, int32_t width, int32_t height) {
    Session s(Lib(), "ZorvaneSubframeSize", Args("%d,%d", width, height));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->SetSubframeSize(width, height);
    return 1;
}

int32_t ZorvaneBin(ZorvaneHandle h, int32_t binX, int32_t binY) {
    Session s(Lib(), "ZorvaneBin", Args("%d,%d", binX, binY));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->SetBin(binX, binY);
    return 1;
}

int32_t ZorvaneGetAmplifierSwitched(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneGetAmplifierSwitched");
    SimCamera* camera = s.Connected(h);
    return Truth(camera != nullptr && camera->stored.amplifier);
}

int32_t ZorvaneSetAmplifierSwitched(ZorvaneHandle h, int32_t on) {
    Session s(Lib(), "ZorvaneSetAmplifierSwitched", Args("%d", on));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->stored.amplifier = on != 0;
    return 1;
}

int32_t ZorvanePrechargeMode(ZorvaneHandle h, int32_t mode) {
    Session s(Lib(), "ZorvanePrechargeMode", Args("%d", mode));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->stored.prechargeMode = mode;
    return 1;
}

int32_t ZorvaneFIFO(ZorvaneHandle h, int32_t on) {
    Session s(Lib(), "ZorvaneFIFO", Args("%d", on));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->stored.fifo = on != 0;
    return 1;
}

int32_t ZorvaneHighPriority(ZorvaneHandle h, int32_t on) {
    Session s(Lib(), "ZorvaneHighPriority", Args("%d", on));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->stored.highPriority = on != 0;
    return 1;
}

int32_t ZorvaneGetProcessing(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneGetProcessing");
    SimCamera* camera = s.Connected(h);
    return camera == nullptr ? 0 : camera->stored.processing;
}

int32_t ZorvaneSetProcessing(ZorvaneHandle h, int32_t flags) {
    Session s(Lib(), "ZorvaneSetProcessing", Args("%d", flags));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->stored.processing = flags;
    return 1;
}

int32_t ZorvaneTriggeredExposure(ZorvaneHandle h, int32_t on) {
    Session s(Lib(), "ZorvaneTriggeredExposure", Args("%d", on));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->SetTriggered(on != 0);
    return 1;
}

int32_t ZorvaneSetPreview(ZorvaneHandle h, int32_t on) {
    Session s(Lib(), "ZorvaneSetPreview", Args("%d", on));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->SetPreview(on != 0);
    return 1;
}

int32_t ZorvaneSetSubSample(ZorvaneHandle h, int32_t on) {
    Session s(Lib(), "ZorvaneSetSubSample", Args("%d", on));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->SetSubSample(on != 0);
    return 1;
}

int32_t ZorvaneSetDarkMode(ZorvaneHandle h, int32_t on) {
    Session s(Lib(), "ZorvaneSetDarkMode", Args("%d", on));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->SetDarkMode(on != 0);
    return 1;
}

int32_t ZorvaneExposureReadyCallback(ZorvaneHandle h, const ZorvanePostTarget* target,
                                     uint32_t message, uintptr_t wParam, intptr_t lParam) {
    Session s(Lib(), "ZorvaneExposureReadyCallback",
              Args("%d,%d,%lld,%lld", target != nullptr ? 1 : 0, static_cast<int>(message),
                   static_cast<long long>(wParam), static_cast<long long>(lParam)));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    // Whatever was asked before no longer holds: drop its undelivered messages.
    s.CancelPosts(camera->Index());
    camera->SetPostTarget(target, message, wParam, lParam);
    if (camera->WantsPosts()) s.library.EnsurePoster();
    return 1;
}

int32_t ZorvaneStartExposure(ZorvaneHandle h, float seconds) {
    Session s(Lib(), "ZorvaneStartExposure", Args("%g", static_cast<double>(seconds)));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->StartExposure(seconds, s.now);
    return 1;
}

int32_t ZorvaneStopExposure(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneStopExposure");
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->StopExposure(s.now);
    return 1;
}

int32_t ZorvaneAbortExposure(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneAbortExposure");
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->AbortExposure();
    return 1;
}

int32_t ZorvaneImageReady(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneImageReady");
    SimCamera* camera = s.Connected(h);
    return Truth(camera != nullptr && camera->ImageReady());
}

int32_t ZorvaneCameraState(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneCameraState");
    SimCamera* camera = s.Connected(h);
    return camera == nullptr ? ZORVANE_STATE_IDLE : camera->State();
}

float ZorvaneExposureTimeRemaining(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneExposureTimeRemaining");
    SimCamera* camera = s.Connected(h);
    return camera == nullptr ? 0.0f : camera->ExposureTimeRemaining(s.now);
}

int32_t ZorvaneDownloadPercent(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneDownloadPercent");
    SimCamera* camera = s.Connected(h);
    return camera == nullptr ? 0 : camera->DownloadPercent(s.now);
}

float ZorvaneLastExposureDuration(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneLastExposureDuration");
    SimCamera* camera = s.Connected(h);
    return camera == nullptr ? 0.0f : camera->LastExposureDuration();
}

const char* ZorvaneLastStartTime(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneLastStartTime");
    SimCamera* camera = s.Connected(h);
    return camera == nullptr ? nullptr : camera->LastStartTime();
}

int32_t ZorvaneLastStartTimeMilliseconds(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneLastStartTimeMilliseconds");
    SimCamera* camera = s.Connected(h);
    return camera == nullptr ? 0 : camera->LastStartTimeMilliseconds();
}

int32_t ZorvaneGetImageData(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                            int32_t* height, int32_t* binX, int32_t* binY) {
    Session s(Lib(), "ZorvaneGetImageData");
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) {
        for (int32_t* p : {x, y, width, height, binX, binY}) {
            if (p) *p = 0;
        }
        return 0;
    }
    return Truth(camera->ImageData(x, y, width, height, binX, binY));
}

const uint16_t* ZorvaneImageBuffer(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneImageBuffer");
    SimCamera* camera = s.Connected(h);
    return camera == nullptr ? nullptr : camera->ImageBuffer();
}

int32_t ZorvaneClearVRegs(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneClearVRegs");
    return Truth(s.Connected(h) != nullptr);
}

int32_t ZorvanePulseGuide(ZorvaneHandle h, int32_t direction, int32_t milliseconds) {
    Session s(Lib(), "ZorvanePulseGuide", Args("%d,%d", direction, milliseconds));
    SimCamera* camera = s.Connected(h);
    return Truth(camera != nullptr && camera->PulseGuide(direction, milliseconds, s.now));
}

int32_t ZorvaneTemperatureSensorInfo(ZorvaneHandle h, int32_t sensor, int32_t* value) {
    Session s(Lib(), "ZorvaneTemperatureSensorInfo", Args("%d", sensor));
    SimCamera* camera = s.Connected(h);
    // 0 means success here.
    return camera != nullptr && camera->TemperatureSensor(sensor, value, s.now) ? 0 : 1;
}

int32_t ZorvaneCoolingInfo(ZorvaneHandle h, int32_t* flags, int32_t* level, int32_t* minLevel,
                           int32_t* maxLevel, int32_t* setpoint) {
    Session s(Lib(), "ZorvaneCoolingInfo");
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 1;
    const auto info = camera->CoolingInfo(s.now);
    if (flags) *flags = info.flags;
    if (level) *level = info.level;
    if (minLevel) *minLevel = info.minLevel;
    if (maxLevel) *maxLevel = info.maxLevel;
    if (setpoint) *setpoint = info.setpoint;
    return 0;
}

int32_t ZorvaneSetCooling(ZorvaneHandle h, int32_t setpoint) {
    Session s(Lib(), "ZorvaneSetCooling", Args("%d", setpoint));
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->SetCooling(setpoint, s.now);
    return 1;
}

int32_t ZorvaneCoolerWarmUp(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneCoolerWarmUp");
    SimCamera* camera = s.Connected(h);
    if (camera == nullptr) return 0;
    camera->WarmUp(s.now);
    return 1;
}

int32_t ZorvaneDiagnosticUSBError(ZorvaneHandle h) {
    Session s(Lib(), "ZorvaneDiagnosticUSBError");
    SimCamera* camera = s.Connected(h);
    return Truth(camera != nullptr && camera->UsbError());
}

// Its faults stand for a camera that gives no reasons.
int32_t ZorvaneLastErrorText(char* text, int32_t size) {
    if (text != nullptr && size > 0) text[0] = '\0';
    return 0;
}

// ---- test controls ----

int32_t ZorvaneSimConfigure(const char* options) {
    return Truth(Lib().Configure(options != nullptr ? options : ""));
}

void ZorvaneSimUseVirtualClock(int32_t on) {
    Lib().UseVirtualClock(on != 0);
}

void ZorvaneSimSetTime(uint64_t ms) {
    Lib().SetTime(ms);
}

int32_t ZorvaneSimStarCount(void) {
    Session s(Lib(), nullptr);
    return static_cast<int32_t>(s.library.TestCamera().StarsOnSensor(s.now).size());
}

int32_t ZorvaneSimStar(int32_t i, double* x, double* y, double* flux) {
    Session s(Lib(), nullptr);
    const auto stars = s.library.TestCamera().StarsOnSensor(s.now);
    if (i < 0 || static_cast<size_t>(i) >= stars.size()) return 0;
    if (x) *x = stars[i].x;
    if (y) *y = stars[i].y;
    if (flux) *flux = stars[i].flux;
    return 1;
}

int32_t ZorvaneSimHotPixelCount(void) {
    Session s(Lib(), nullptr);
    return static_cast<int32_t>(s.library.TestCamera().HotPixels().size());
}

int32_t ZorvaneSimHotPixel(int32_t i, int32_t* x, int32_t* y, double* factor) {
    Session s(Lib(), nullptr);
    const auto& hot = s.library.TestCamera().HotPixels();
    if (i < 0 || static_cast<size_t>(i) >= hot.size()) return 0;
    if (x) *x = hot[i].x;
    if (y) *y = hot[i].y;
    if (factor) *factor = hot[i].factor;
    return 1;
}

void ZorvaneSimMountOffset(double* x, double* y) {
    Session s(Lib(), nullptr);
    const auto o = s.library.TestCamera().MountOffset(s.now);
    if (x) *x = o.x;
    if (y) *y = o.y;
}

int32_t ZorvaneSimCallLog(char* buffer, int32_t size) {
    Session s(Lib(), nullptr);
    const std::string text = s.library.Log().Text();
    if (buffer != nullptr && size > 0) {
        const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<int32_t>(text.size());
}

void ZorvaneSimClearCallLog(void) {
    Session s(Lib(), nullptr);
    s.library.Log().Clear();
}

int32_t ZorvaneSimCallCount(const char* entryPoint) {
    Session s(Lib(), nullptr);
    return entryPoint == nullptr ? 0 : s.library.Log().Count(entryPoint);
}

double ZorvaneSimSensorTemperature(void) {
    Session s(Lib(), nullptr);
    return s.library.TestCamera().Temperature(s.now);
}

}  // extern "C"
