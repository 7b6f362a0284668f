// The exported camera entry points over one INDI camera. Every call takes the library's lock,
// checks the handle and forwards; what INDI cannot do answers with the neutral result.
#include <zorvane/camera_api.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "IndiCamera.h"
#include "indi/CameraChoice.h"

using zorvane::indicam::IndiCamera;

namespace {

constexpr int32_t kApiVersion = 1;

struct Library {
    std::mutex mutex;
    std::unique_ptr<IndiCamera> camera;

    IndiCamera& Camera() {
        if (!camera) {
            // Asked for by the user (see indi/CameraChoice.h); "" is the first camera on
            // localhost:7624, for a library loaded by hand.
            camera = std::make_unique<IndiCamera>(
                zorvane::indi::ParseCameraAddress(zorvane::indi::IndiCameraSetting()));
        }
        return *camera;
    }
};

Library& Lib() {
    static Library library;
    return library;
}

struct Session {
    std::lock_guard<std::mutex> lock{Lib().mutex};
    IndiCamera* Connected(ZorvaneHandle h) {
        IndiCamera* c = Lib().camera.get();
        return c && h == c && c->IsConnected() ? c : nullptr;
    }
    IndiCamera* Any(ZorvaneHandle h) {
        IndiCamera* c = Lib().camera.get();
        return c && h == c ? c : nullptr;
    }
};

int32_t Truth(bool b) {
    return b ? 1 : 0;
}

}  // namespace

extern "C" {

ZORVANE_EXPORT int32_t ZorvaneAPIVersion(void) {
    return kApiVersion;
}

ZORVANE_EXPORT int32_t ZorvaneDeviceIsCamera(int32_t device) {
    Session s;
    if (device < 0) return 0;
    return Truth(static_cast<size_t>(device) < Lib().Camera().Cameras().size());
}

ZORVANE_EXPORT int32_t ZorvaneDeviceSerial(int32_t device, char* serial) {
    Session s;
    if (!serial) return 0;
    serial[0] = '\0';
    const auto cameras = Lib().Camera().Cameras();
    if (device < 0 || static_cast<size_t>(device) >= cameras.size()) return 0;
    std::snprintf(serial, 40, "%s", cameras[device].c_str());
    return 1;
}

ZORVANE_EXPORT int32_t ZorvaneSetupDialog(void) {
    return 0;
}

ZORVANE_EXPORT ZorvaneHandle ZorvaneConnect(int32_t device) {
    Session s;
    IndiCamera& camera = Lib().Camera();
    return camera.Connect(device) ? &camera : nullptr;
}

ZORVANE_EXPORT int32_t ZorvaneDisconnect(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Any(h);
    return Truth(c && c->Disconnect());
}

ZORVANE_EXPORT int32_t ZorvaneIsConnected(ZorvaneHandle h) {
    Session s;
    return Truth(s.Connected(h) != nullptr);
}

ZORVANE_EXPORT int32_t ZorvaneProperties(ZorvaneHandle h, CameraProperties* props) {
    Session s;
    IndiCamera* c = s.Connected(h);
    if (!c || !props) return 0;
    c->Properties(props);
    return 1;
}

ZORVANE_EXPORT int32_t ZorvaneColourProperties(ZorvaneHandle h, int32_t* colourType,
                                               int32_t* normalX, int32_t* normalY,
                                               int32_t* previewX, int32_t* previewY) {
    Session s;
    IndiCamera* c = s.Connected(h);
    if (!c) return 0;
    c->ColourProperties(colourType, normalX, normalY, previewX, previewY);
    return 1;
}

ZORVANE_EXPORT int32_t ZorvaneAutoAdjustBlackLevel(ZorvaneHandle, int32_t) {
    return 0;
}

ZORVANE_EXPORT int32_t ZorvaneGetBin(ZorvaneHandle h, int32_t* binX, int32_t* binY) {
    Session s;
    IndiCamera* c = s.Connected(h);
    if (!c) return 0;
    c->GetBin(binX, binY);
    return 1;
}

ZORVANE_EXPORT int32_t ZorvaneGetMaxBin(ZorvaneHandle h, int32_t* maxBinX, int32_t* maxBinY) {
    Session s;
    IndiCamera* c = s.Connected(h);
    if (!c) return 0;
    c->GetMaxBin(maxBinX, maxBinY);
    return 1;
}

ZORVANE_EXPORT int32_t ZorvaneGetSubframe(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                                          int32_t* height) {
    Session s;
    IndiCamera* c = s.Connected(h);
    if (!c) return 0;
    c->GetSubframe(x, y, width, height);
    return 1;
}

ZORVANE_EXPORT int32_t ZorvaneSubframePos(ZorvaneHandle h, int32_t x, int32_t y) {
    Session s;
    IndiCamera* c = s.Connected(h);
    if (!c) return 0;
    c->SetSubframePos(x, y);
    return 1;
}

ZORVANE_EXPORT int32_t ZorvaneSubframeSize(ZorvaneHandle h, int32_t width, int32_t height) {
    Session s;
    IndiCamera* c = s.Connected(h);
    if (!c) return 0;
    c->SetSubframeSize(width, height);
    return 1;
}

ZORVANE_EXPORT int32_t ZorvaneBin(ZorvaneHandle h, int32_t binX, int32_t binY) {
    Session s;
    IndiCamera* c = s.Connected(h);
    if (!c) return 0;
    c->SetBin(binX, binY);
    return 1;
}

// Read-out options an INDI camera does not offer: neutral answers.
ZORVANE_EXPORT int32_t ZorvaneGetAmplifierSwitched(ZorvaneHandle) {
    return 0;
}
ZORVANE_EXPORT int32_t ZorvaneSetAmplifierSwitched(ZorvaneHandle, int32_t) {
    return 0;
}
ZORVANE_EXPORT int32_t ZorvanePrechargeMode(ZorvaneHandle, int32_t) {
    return 0;
}
ZORVANE_EXPORT int32_t ZorvaneFIFO(ZorvaneHandle, int32_t) {
    return 0;
}
ZORVANE_EXPORT int32_t ZorvaneHighPriority(ZorvaneHandle, int32_t) {
    return 0;
}
ZORVANE_EXPORT int32_t ZorvaneGetProcessing(ZorvaneHandle) {
    return 0;
}
ZORVANE_EXPORT int32_t ZorvaneSetProcessing(ZorvaneHandle, int32_t) {
    return 0;
}
ZORVANE_EXPORT int32_t ZorvaneTriggeredExposure(ZorvaneHandle, int32_t) {
    return 0;
}
ZORVANE_EXPORT int32_t ZorvaneSetPreview(ZorvaneHandle, int32_t) {
    return 0;
}
ZORVANE_EXPORT int32_t ZorvaneSetSubSample(ZorvaneHandle, int32_t) {
    return 0;
}
ZORVANE_EXPORT int32_t ZorvaneSetDarkMode(ZorvaneHandle, int32_t) {
    return 0;
}

ZORVANE_EXPORT int32_t ZorvaneExposureReadyCallback(ZorvaneHandle h,
                                                    const ZorvanePostTarget* target,
                                                    uint32_t message, uintptr_t wParam,
                                                    intptr_t lParam) {
    Session s;
    IndiCamera* c = s.Connected(h);
    if (!c) return 0;
    c->SetPostTarget(target, message, wParam, lParam);
    return 1;
}

ZORVANE_EXPORT int32_t ZorvaneStartExposure(ZorvaneHandle h, float seconds) {
    Session s;
    IndiCamera* c = s.Connected(h);
    return Truth(c && c->StartExposure(seconds));
}

ZORVANE_EXPORT int32_t ZorvaneStopExposure(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Connected(h);
    return Truth(c && c->StopExposure());
}

ZORVANE_EXPORT int32_t ZorvaneAbortExposure(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Any(h);
    return Truth(c && c->AbortExposure());
}

// The exposure's queries answer for a camera that went away too, so that the frame it lost
// is seen as a failed one.
ZORVANE_EXPORT int32_t ZorvaneImageReady(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Any(h);
    return Truth(c && c->ImageReady());
}

ZORVANE_EXPORT int32_t ZorvaneCameraState(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Any(h);
    return c ? c->State() : ZORVANE_STATE_IDLE;
}

ZORVANE_EXPORT float ZorvaneExposureTimeRemaining(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Any(h);
    return c ? c->ExposureTimeRemaining() : 0.0f;
}

ZORVANE_EXPORT int32_t ZorvaneDownloadPercent(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Any(h);
    return c ? c->DownloadPercent() : 0;
}

ZORVANE_EXPORT float ZorvaneLastExposureDuration(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Any(h);
    return c ? c->LastExposureDuration() : 0.0f;
}

ZORVANE_EXPORT const char* ZorvaneLastStartTime(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Any(h);
    return c ? c->LastStartTime() : nullptr;
}

ZORVANE_EXPORT int32_t ZorvaneLastStartTimeMilliseconds(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Any(h);
    return c ? c->LastStartTimeMilliseconds() : 0;
}

ZORVANE_EXPORT int32_t ZorvaneGetImageData(ZorvaneHandle h, int32_t* x, int32_t* y, int32_t* width,
                                           int32_t* height, int32_t* binX, int32_t* binY) {
    Session s;
    IndiCamera* c = s.Any(h);
    if (!c) {
        for (int32_t* p : {x, y, width, height, binX, binY})
            if (p) *p = 0;
        return 0;
    }
    return Truth(c->ImageData(x, y, width, height, binX, binY));
}

ZORVANE_EXPORT const uint16_t* ZorvaneImageBuffer(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Any(h);
    return c ? c->ImageBuffer() : nullptr;
}

ZORVANE_EXPORT int32_t ZorvaneClearVRegs(ZorvaneHandle h) {
    Session s;
    return Truth(s.Connected(h) != nullptr);
}

ZORVANE_EXPORT int32_t ZorvanePulseGuide(ZorvaneHandle h, int32_t direction, int32_t ms) {
    Session s;
    IndiCamera* c = s.Connected(h);
    return Truth(c && c->PulseGuide(direction, ms));
}

ZORVANE_EXPORT int32_t ZorvaneTemperatureSensorInfo(ZorvaneHandle h, int32_t sensor,
                                                    int32_t* value) {
    Session s;
    IndiCamera* c = s.Connected(h);
    return c && c->TemperatureSensor(sensor, value) ? 0 : 1;  // 0 means success here
}

ZORVANE_EXPORT int32_t ZorvaneCoolingInfo(ZorvaneHandle h, int32_t* flags, int32_t* level,
                                          int32_t* minLevel, int32_t* maxLevel, int32_t* setpoint) {
    Session s;
    IndiCamera* c = s.Connected(h);
    return c && c->CoolingInfo(flags, level, minLevel, maxLevel, setpoint) ? 0 : 1;
}

ZORVANE_EXPORT int32_t ZorvaneSetCooling(ZorvaneHandle h, int32_t setpoint) {
    Session s;
    IndiCamera* c = s.Connected(h);
    return Truth(c && c->SetCooling(setpoint));
}

ZORVANE_EXPORT int32_t ZorvaneCoolerWarmUp(ZorvaneHandle h) {
    Session s;
    IndiCamera* c = s.Connected(h);
    return Truth(c && c->WarmUp());
}

ZORVANE_EXPORT int32_t ZorvaneDiagnosticUSBError(ZorvaneHandle) {
    return 0;
}

ZORVANE_EXPORT int32_t ZorvaneLastErrorText(char* text, int32_t size) {
    Session s;
    if (!text || size <= 0) return 0;
    const std::string why = Lib().camera ? Lib().camera->LastError() : std::string();
    std::snprintf(text, static_cast<size_t>(size), "%s", why.c_str());
    return static_cast<int32_t>(std::min(why.size(), static_cast<size_t>(size) - 1));
}

}  // extern "C"
