#pragma once

#include <array>
#include <string>

namespace zorvane {

// Plain records of the main window's state that is persisted but belongs to features which
// keep it in the main window (the settings store reads and writes them).

struct HeaderTexts {
    std::string object;
    std::string telescope;
    std::string observer;
    bool extraTimePrecision = false;  // DATE-OBS with tenths of a second
};

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

struct GuidingSettings {
    int aggressivenessRA = 5;
    int aggressivenessDEC = 5;
    int axes = 0;
    int minGuideTime = 200;
    int maxGuideTime = 2000;
    int guideCalTime = 3000;
    GuideCalibration previousCalibration;  // loaded at start
    bool cameraRelays = true;              // guide through the camera's port
};

// The main window's normal-position rectangle and whether it was maximised.
struct WindowPlacement {
    int left = 50, top = 50, right = 600, bottom = 450;
    bool maximised = false;
};

struct QuickPreset {
    std::string title;
    int flags = 9;  // bits 0-1 start (0 none, 1 single, 2 loop); 4 subframe/pan/zoom; 8 exposure
};

struct FilterNames {
    std::array<std::string, 8> names{"<undefined>", "<undefined>", "<undefined>", "<undefined>",
                                     "<undefined>", "<undefined>", "<undefined>", "<undefined>"};
    std::array<int, 8> values{};
    int positions = 5;
};

}  // namespace zorvane
