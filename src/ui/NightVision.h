#pragma once

#include <QPalette>

#include "view/NightVisionColours.h"

namespace zorvane {

// Dims this application's windows to red for observing in the dark, and restores the colours
// they had before exactly. Switched off when the object goes away, so the program never exits
// with its windows left red.
class NightVision {
public:
    NightVision() = default;
    ~NightVision();
    NightVision(const NightVision&) = delete;
    NightVision& operator=(const NightVision&) = delete;

    void SetOn(bool on);
    bool IsOn() const { return colours_.IsOn(); }

private:
    NightVisionColours colours_;
    QPalette saved_;
};

}  // namespace zorvane
