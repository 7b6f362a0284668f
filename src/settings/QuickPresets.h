#pragma once

#include <array>
#include <string>

#include "app/AppState.h"

namespace zorvane {

// The eight presets on F1-F8. Flags: bits 0-1 what starts (0 nothing, 1 one exposure,
// 2 a loop), 4 restores subframe, pan and zoom, 8 restores exposure, delay, binning and
// autosave.
namespace quick {

inline constexpr int kCount = 8;
inline constexpr int kStartMask = 3;
inline constexpr int kStartNone = 0;
inline constexpr int kStartSingle = 1;
inline constexpr int kStartLoop = 2;
inline constexpr int kRestoreSubframe = 4;
inline constexpr int kRestoreExposure = 8;
// What a title that was never saved comes with: restore the exposure, take one exposure.
inline constexpr int kBuiltInFlags = kRestoreExposure | kStartSingle;
// A stored title without flags restores the exposure and starts nothing.
inline constexpr int kDefaultFlags = kRestoreExposure;
inline constexpr const char* kUndefinedTitle = "<undefined>";

struct BuiltIn {
    const char* title;
    float exposure;  // seconds, when the preset's section has none
    int binning;     // both axes, when the preset's section has none
};

// Preset n (1-8) as the program ships it.
const BuiltIn& BuiltInPreset(int n);

// The "&Quick" menu's text of preset n: the title, a tab and the key ("Guide 2s\tF3").
std::string MenuText(int n, const std::string& title);

}  // namespace quick

// The fields of the "Save quick settings" dialog: which key, its title, what it starts and what
// it restores. Switching the key loads that preset's title and flags, unless the title was
// edited.
struct QuickSaveForm {
    int key = 0;  // 0-7 for F1-F8
    std::string title;
    int mode = 0;  // 0 None, 1 Single, 2 Loop
    bool saveExposure = false;
    bool saveSubframe = false;

    // The form as the dialog opens: F1 with preset 1's title and flags.
    static QuickSaveForm Open(const std::array<QuickPreset, 8>& presets);
    // Shows preset key + 1's title and flags.
    void Load(int newKey, const std::array<QuickPreset, 8>& presets);
    // The user picked another key: while the title still is the one of the key selected
    // before, the new key's title and flags come in; an edited title and its choices stay.
    void SelectKey(int newKey, const std::array<QuickPreset, 8>& presets);

    int Flags() const;
};

}  // namespace zorvane
