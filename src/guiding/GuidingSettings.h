#pragma once

namespace zorvane {

// The main window's star tracking radii, in binned frame pixels ([Focus] Search, Measure).
struct FocusSettings {
    int searchRadius = 15;
    int measureRadius = 8;
};

// Axis directions and speeds of a guide calibration; valid when both speeds are non-zero.
struct GuideCalibration {
    float axisNSX = 0, axisNSY = 0, axisWEX = 0, axisWEY = 0;
    float velNS = 0, velWE = 0;
    bool Valid() const { return velNS != 0.0f && velWE != 0.0f; }
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
    bool cameraRelays = true;              // guide through the camera's port
    bool trackingExpand = false;           // the tracking dialog shows its guiding part
    int focalLength = 0;                   // of the guide scope, mm; 0 = not known
};

}  // namespace zorvane
