#pragma once

#include <array>
#include <string>

#include "guiding/GuidingSettings.h"

namespace zorvane {

// Plain records of the main window's state that is persisted but belongs to features which
// keep it in the main window (the settings store reads and writes them).

struct HeaderTexts {
    std::string object;
    std::string telescope;
    std::string observer;
    bool extraTimePrecision = false;  // DATE-OBS with tenths of a second
    int focalLength = 0;              // mm; 0 = not known
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

// The guiding event server ([EventServer]): other programs drive the guider through it.
struct EventServerSettings {
    bool enabled = true;
    int port = 0;  // 0: 4400 for the program's first running copy, 4401 for a second ...
    bool allInterfaces = false;  // listen beyond this computer (an explicit choice)
};

struct FilterNames {
    std::array<std::string, 8> names{"<undefined>", "<undefined>", "<undefined>", "<undefined>",
                                     "<undefined>", "<undefined>", "<undefined>", "<undefined>"};
    std::array<int, 8> values{};
    int positions = 5;
};

}  // namespace zorvane
