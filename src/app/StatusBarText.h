#pragma once

#include <cstdint>
#include <string>

namespace zorvane {

// Texts and colours of the status-bar panes, from plain inputs.
namespace statusbar {

struct Rgb {
    uint8_t r, g, b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Camera-state pane: "High-speed imaging", "Exp. %d sec", "Exp. %d min %d", "Waiting",
// "Downloading: %d%%" / "Downloading", "Flushing: %d%%" / "Flushing", "Idle". The library's
// download percent counts down; the pane shows 100 minus it.
std::string CameraStateText(bool highSpeed, bool connected, int32_t state, float remaining,
                            int32_t downloadPercent);
// Whether the state pane counts as active (one of the four camera states was reported).
bool CameraStateActive(bool highSpeed, bool connected, int32_t state);

// Background of the whole bar by the saved state of the frame on show: red when not saved (yellow with night vision), else normal.
struct SavedColour {
    bool useDefault;  // the system's normal status-bar colour
    Rgb colour;
};
SavedColour SavedBackground(const std::string& lastSavedPath, bool nightVision);

// Zoom pane from the view's zoom step: "Zoom %d%s:1" or "Zoom 1:%d%s".
std::string ZoomText(int zoomLevel);
// Read-out pane "(%d,%d)=%d"; empty when there is no read-out (x < 0).
std::string ReadoutText(int x, int y, int value);

}  // namespace statusbar
}  // namespace zorvane
