#include "view/NightVisionColours.h"

namespace zorvane {

std::optional<std::vector<Rgb>> NightVisionColours::SwitchOn(const std::vector<Rgb>& current) {
    if (on_) return std::nullopt;
    saved_ = current;
    std::vector<Rgb> red;
    red.reserve(current.size());
    for (const Rgb& c : current) red.push_back(Dimmed(c));
    on_ = true;
    return red;
}

std::optional<std::vector<Rgb>> NightVisionColours::SwitchOff() {
    if (!on_) return std::nullopt;
    on_ = false;
    return std::move(saved_);
}

}  // namespace zorvane
