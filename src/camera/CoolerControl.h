#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "camera/CameraConnection.h"
#include "camera/CameraLibrary.h"
#include "core/TimerService.h"

namespace zorvane {

// What the cooler dialog shows. The dialog widgets only display this and report spin steps and
// button presses back.
struct CoolerDialogModel {
    enum Mode { kNoControl = -1, kOnOff = 0, kPower = 1, kSetpoint = 2 };
    enum State { kOff = 0, kWarmingUp = 1, kCooling = 2 };

    float value = 5.0f;         // setpoint °C, power %, or ±100 in the other modes
    int state = kOff;
    float temperature = -100.0f;  // below -60 means unknown
    int mode = kNoControl;
    std::string editText;         // the read-only edit (1104), set by refresh and spin steps
    int spinMin = 0, spinMax = 1, spinPos = 1;

    std::string StatusText() const;       // "Status: Off" / "Status: Warming up" / "Status: Cooling"
    std::string TemperatureText() const;  // "Temp: %2.1f°C" or "Unknown"
    bool TemperatureKnown() const { return temperature >= -60.0f; }
    std::string ButtonText() const;       // "Cooler on" / "Warm up"
    bool ButtonEnabled() const { return state != kWarmingUp; }
    std::string LabelText() const;        // "Setpoint:" / "Power level:" / "Power:" / "Power"
    bool ValueEnabled() const { return mode != kNoControl; }
    // Rewrites editText from value and mode (the refresh's own formatting).
    void RefreshEditText();
};

// The camera's cooler: the 10-second poll, the spin steps and the on / warm-up button.
class CoolerControl {
public:
    static constexpr unsigned kPollMs = 10000;

    CoolerControl(CameraLibrary& lib, CameraConnection& camera, TimerService& timers);

    // The dialog exists (polling starts once it has been created and goes on while hidden).
    void SetDialogExists(bool exists) { dialogExists_ = exists; }
    bool DialogExists() const { return dialogExists_; }
    bool HasControl() const { return (camera_.coolingFlags & 2) != 0; }

    void Poll();                   // timer 5, after Connect, on opening the dialog, after the button
    void SpinStep(int delta);      // a step of the spin button (delta from the notification)
    void PressOnOffButton();       // "Cooler on" / "Warm up"
    void StopPolling();            // disconnect
    // One reading of the sensor (at connect and as frames arrive), so that headers have it
    // without the dialog's poll; skipped while the camera reads out.
    void ReadTemperature();

    const CoolerDialogModel& Model() const { return model_; }

    // Hundredths of a degree with setpoint control, else a raw power level. Persisted. A value
    // the dialog could not set (beyond -40.0 .. 25.0 °C, or outside the camera's levels) is
    // limited to that range.
    static constexpr int32_t kLowestSetpoint = -4000;
    static constexpr int32_t kHighestSetpoint = 2500;
    int32_t SetpointValue() const { return setpointValue_; }
    void SetSetpointValue(int32_t v);
    // Last valid sensor reading in °C; -1000 until the first.
    float SensorTemperature() const { return sensorTemperature_; }
    void ResetTemperature() { sensorTemperature_ = -1000.0f; }

    // Waiting after switching the cooler on (the GUI thread blocks for it); replaceable in tests.
    std::function<void(unsigned ms)> sleep;

private:
    void ApplySetting();

    CameraLibrary& lib_;
    CameraConnection& camera_;
    TimerService& timers_;
    bool dialogExists_ = false;
    int32_t setpointValue_ = 500;
    float sensorTemperature_ = -1000.0f;
    CoolerDialogModel model_;
};

}  // namespace zorvane
