#pragma once

#include <optional>
#include <vector>

#include "view/ViewOverlays.h"

namespace zorvane {

// The dim-red colour scheme for observing in the dark: every colour becomes pure red of
// three quarters of its red part. Remembers the colours it replaced so switching off restores
// them exactly, however often it was switched on.
class NightVisionColours {
  public:
    static Rgb Dimmed(Rgb colour) {
        return Rgb{static_cast<uint8_t>(colour.r - (colour.r >> 2)), 0, 0};
    }

    // The colours to put in place of `current`; nullopt when night vision is already on.
    std::optional<std::vector<Rgb>> SwitchOn(const std::vector<Rgb>& current);
    // The colours saved by SwitchOn; nullopt when night vision is not on.
    std::optional<std::vector<Rgb>> SwitchOff();
    bool IsOn() const { return on_; }

  private:
    bool on_ = false;
    std::vector<Rgb> saved_;
};

}  // namespace zorvane
