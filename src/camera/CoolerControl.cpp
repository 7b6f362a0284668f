#include "camera/CoolerControl.h"

#include <zorvane/camera_api.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/TimerIds.h"

namespace zorvane {

namespace {
std::string Printf(const char* fmt, double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}
}  // namespace

std::string CoolerDialogModel::StatusText() const {
    switch (state) {
        case kWarmingUp: return "Status: Warming up";
        case kCooling: return "Status: Cooling";
        default: return "Status: Off";
    }
}

std::string CoolerDialogModel::TemperatureText() const {
    if (!TemperatureKnown()) return "Unknown";
    // Round to one decimal, halves away from zero, so -15.00 shows as -15.0.
    return Printf("Temp: %2.1f\u00b0C", std::round(temperature * 10.0) / 10.0);
}

std::string CoolerDialogModel::ButtonText() const {
    return state == kOff ? "Cooler on" : "Warm up";
}

std::string CoolerDialogModel::LabelText() const {
    switch (mode) {
        case kSetpoint: return "Setpoint:";
        case kPower: return "Power level:";
        case kOnOff: return "Power:";
        default: return "Power";
    }
}

void CoolerDialogModel::RefreshEditText() {
    switch (mode) {
        case kSetpoint: editText = Printf("%2.1f\u00b0C", value); break;
        case kPower: {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%d%%", static_cast<int>(value));
            editText = buf;
            break;
        }
        case kOnOff: editText = value != 0.0f ? "on" : "off"; break;
        default: editText = "-----"; break;
    }
}

CoolerControl::CoolerControl(CameraLibrary& lib, CameraConnection& camera, TimerService& timers)
    : lib_(lib), camera_(camera), timers_(timers) {
    model_.RefreshEditText();
}

void CoolerControl::StopPolling() { timers_.KillTimer(kTimerCooler); }

void CoolerControl::ReadTemperature() {
    if (!camera_.handle || !camera_.hasSensor) return;
    // A read-out must not be disturbed.
    const int32_t state = lib_.ZorvaneCameraState(camera_.handle);
    if (state == ZORVANE_STATE_DOWNLOADING || state == ZORVANE_STATE_WAITING) return;
    int32_t t = -6000;
    if (lib_.ZorvaneTemperatureSensorInfo(camera_.handle, 1, &t) == 0 && t > -6000 && t < 6000)
        sensorTemperature_ = t * 0.01f;
}

void CoolerControl::Poll() {
    if (!dialogExists_) return;
    ZorvaneHandle h = camera_.handle;
    if (h) {
        const int32_t state = lib_.ZorvaneCameraState(h);
        // A read-out must not be disturbed.
        const bool busy = state == ZORVANE_STATE_DOWNLOADING || state == ZORVANE_STATE_WAITING;
        int32_t t = -6000;
        int32_t flags = 0, level = 0, minimum = 0, maximum = 0, setpoint = 0;
        if (!busy && !(camera_.hasSensor && lib_.ZorvaneTemperatureSensorInfo(h, 1, &t) != 0) &&
            lib_.ZorvaneCoolingInfo(h, &flags, &level, &minimum, &maximum, &setpoint) == 0) {
            if (t > -6000 && t < 6000) {
                sensorTemperature_ = t * 0.01f;
                model_.temperature = sensorTemperature_;
            } else {
                model_.temperature = -100.0f;
            }

            int mode;
            if (flags & ZORVANE_COOLING_SETPOINT) {
                // The program's setpoint (the stored one, or the last step), not the camera's:
                // the box shows what "Cooler on" and the next step will send.
                model_.value = setpointValue_ * 0.01f;
                mode = CoolerDialogModel::kSetpoint;
            } else if (flags & ZORVANE_COOLING_POWER) {
                int p = 100;
                if (maximum > minimum)
                    p = std::clamp((level - minimum) * 100 / (maximum - minimum), 0, 100);
                model_.value = static_cast<float>(p);
                mode = CoolerDialogModel::kPower;
            } else if (flags & ZORVANE_COOLING_ONOFF) {
                model_.value = 100.0f;
                mode = CoolerDialogModel::kOnOff;
            } else {
                model_.value = -100.0f;
                mode = CoolerDialogModel::kNoControl;
            }
            if (mode != model_.mode) {
                model_.mode = mode;
                if (mode == CoolerDialogModel::kSetpoint) {
                    model_.spinMin = -400, model_.spinMax = 250, model_.spinPos = 50;
                } else if (mode == CoolerDialogModel::kPower) {
                    model_.spinMin = 0, model_.spinMax = 100, model_.spinPos = 50;
                } else if (mode == CoolerDialogModel::kOnOff) {
                    model_.spinMin = 0, model_.spinMax = 1, model_.spinPos = 1;
                }
            }
            if (flags & ZORVANE_COOLING_WARMING_UP)
                model_.state = CoolerDialogModel::kWarmingUp;
            else if (flags & ZORVANE_COOLING_COOLING)
                model_.state = CoolerDialogModel::kCooling;
            else
                model_.state = CoolerDialogModel::kOff;
            model_.RefreshEditText();
        }
    }
    timers_.SetTimer(kTimerCooler, kPollMs);
}

void CoolerControl::SetSetpointValue(int32_t v) {
    // Limited to what the dialog can set, so that a damaged value is never sent to the camera.
    const int32_t flags = camera_.coolingFlags;
    if (flags & ZORVANE_COOLING_SETPOINT) {
        v = std::clamp(v, kLowestSetpoint, kHighestSetpoint);
    } else if ((flags & (ZORVANE_COOLING_ONOFF | ZORVANE_COOLING_POWER)) &&
               camera_.maxLevel >= camera_.minLevel) {
        v = std::clamp(v, camera_.minLevel, camera_.maxLevel);
    }
    setpointValue_ = v;
}

void CoolerControl::SpinStep(int delta) {
    switch (model_.mode) {
        case CoolerDialogModel::kSetpoint:
            model_.value = std::clamp(model_.value + delta / 10.0f, -40.0f, 25.0f);
            model_.RefreshEditText();
            break;
        case CoolerDialogModel::kPower:
            model_.value = std::clamp(model_.value + static_cast<float>(delta), 0.0f, 100.0f);
            model_.RefreshEditText();
            break;
        default:
            model_.editText = "on";
            break;
    }
    ApplySetting();
}

void CoolerControl::ApplySetting() {
    const int32_t flags = camera_.coolingFlags;
    if (flags & ZORVANE_COOLING_SETPOINT) {
        // Nearest hundredth: truncating would send -15.0 °C as -14.99 °C.
        setpointValue_ = static_cast<int32_t>(std::lround(model_.value * 100.0));
    } else if (flags & (ZORVANE_COOLING_ONOFF | ZORVANE_COOLING_POWER)) {
        const int v = static_cast<int>(model_.value);
        setpointValue_ =
            camera_.minLevel + (v * (camera_.maxLevel - camera_.minLevel) + 50) / 100;
    }
    if (model_.state == CoolerDialogModel::kCooling && camera_.handle)
        lib_.ZorvaneSetCooling(camera_.handle, setpointValue_);
}

void CoolerControl::PressOnOffButton() {
    // After a disconnect the dialog may still be up: there is no camera to send anything to.
    if (!camera_.handle) return;
    if (model_.state == CoolerDialogModel::kOff) {
        lib_.ZorvaneSetCooling(camera_.handle, setpointValue_);
        if (sleep) sleep(250);
    } else {
        lib_.ZorvaneCoolerWarmUp(camera_.handle);
    }
    Poll();
}

}  // namespace zorvane
