#pragma once

#include <cmath>

namespace zorvane {

// The main window's star tracking radii, in binned frame pixels ([Focus] Search, Measure).
struct FocusSettings {
    int searchRadius = 15;
    int measureRadius = 8;
};

// Where guide corrections leave the program: the camera's own guide port (its relays) or the
// mount through the telescope link. Stored as [Guiding] CameraRelays, 1 for the camera's port.
enum class GuideOutput { TelescopeLink, CameraPort };

// How a calibration was measured. The axes it found hold only for frames turned the same way
// and for pulses through the same output (a mount's guide rate need not be the camera port's).
struct CalibrationSetup {
    bool rotate180 = false;  // "Rotate 180º" was on: frames as the camera reads them
    GuideOutput output = GuideOutput::CameraPort;  // where its pulses went
    bool operator==(const CalibrationSetup&) const = default;
};

// Axis directions and speeds of a guide calibration; valid when both speeds are non-zero.
struct GuideCalibration {
    float axisNSX = 0, axisNSY = 0, axisWEX = 0, axisWEY = 0;
    float velNS = 0, velWE = 0;
    CalibrationSetup setup;

    GuideCalibration() = default;
    GuideCalibration(float nsX, float nsY, float weX, float weY, float speedNS, float speedWE,
                     CalibrationSetup how = {})
        : axisNSX(nsX),
          axisNSY(nsY),
          axisWEX(weX),
          axisWEY(weY),
          velNS(speedNS),
          velWE(speedWE),
          setup(how) {}
    bool Valid() const { return velNS != 0.0f && velWE != 0.0f; }
    // Fit to guide with: finite, positive speeds and two axes far enough from parallel to
    // resolve an offset along them (more than 15 degrees apart).
    bool Usable() const {
        for (const float f : {axisNSX, axisNSY, axisWEX, axisWEY, velNS, velWE})
            if (!std::isfinite(f)) return false;
        const double a = std::hypot(axisNSX, axisNSY), b = std::hypot(axisWEX, axisWEY);
        const double det = double{axisNSX} * axisWEY - double{axisWEX} * axisNSY;
        return velNS > 0.0f && velWE > 0.0f && std::fabs(det) > 0.2588 * a * b;
    }
};

// The main window's guiding settings ([Guiding]); the Star Tracking dialog edits working
// copies and copies them back here after every accepted edit.
struct GuidingSettings {
    int aggressivenessRA = 5;
    int aggressivenessDEC = 5;
    int axes = 0;
    int minGuideTime = 200;
    int maxGuideTime = 2000;
    int guideCalTime = 3000;
    GuideCalibration previousCalibration;  // loaded at start
    GuideOutput output = GuideOutput::CameraPort;
    bool trackingExpand = false;  // the tracking dialog shows its guiding part
    int focalLength = 0;          // of the guide scope, mm; 0 = not known
};

}  // namespace zorvane
