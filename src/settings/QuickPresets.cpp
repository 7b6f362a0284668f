#include "settings/QuickPresets.h"

#include <algorithm>

namespace zorvane {

namespace quick {

namespace {
constexpr BuiltIn kBuiltIns[kCount] = {
    {"0.1 sec 1x1", 0.1f, 1}, {"1 sec 1x1", 1.0f, 1},   {"5 sec 1x1", 5.0f, 1},
    {"10 sec 1x1", 10.0f, 1}, {"0.1 sec 2x2", 0.1f, 2}, {"1 sec 2x2", 1.0f, 2},
    {"5 sec 2x2", 5.0f, 2},   {"10 sec 2x2", 10.0f, 2},
};
}  // namespace

const BuiltIn& BuiltInPreset(int n) {
    return kBuiltIns[std::clamp(n, 1, kCount) - 1];
}

std::string MenuText(int n, const std::string& title) {
    return title + "\tF" + std::to_string(n);
}

}  // namespace quick

QuickSaveForm QuickSaveForm::Open(const std::array<QuickPreset, 8>& presets) {
    QuickSaveForm form;
    form.Load(0, presets);
    return form;
}

void QuickSaveForm::Load(int newKey, const std::array<QuickPreset, 8>& presets) {
    key = std::clamp(newKey, 0, quick::kCount - 1);
    const QuickPreset& p = presets[key];
    title = p.title;
    // Flags from a hand-edited file may hold a start mode the list does not offer.
    mode = p.flags & quick::kStartMask;
    if (mode > quick::kStartLoop) mode = quick::kStartNone;
    saveSubframe = (p.flags & quick::kRestoreSubframe) != 0;
    saveExposure = (p.flags & quick::kRestoreExposure) != 0;
}

void QuickSaveForm::SelectKey(int newKey, const std::array<QuickPreset, 8>& presets) {
    const bool titleUntouched = title == presets[key].title;
    if (titleUntouched) {
        Load(newKey, presets);
    } else {
        key = std::clamp(newKey, 0, quick::kCount - 1);
    }
}

int QuickSaveForm::Flags() const {
    return mode + (saveSubframe ? quick::kRestoreSubframe : 0) +
           (saveExposure ? quick::kRestoreExposure : 0);
}

}  // namespace zorvane
