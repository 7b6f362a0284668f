#include "app/StatusBarText.h"

#include <zorvane/camera_api.h>

#include <cstdio>

namespace zorvane::statusbar {

namespace {
std::string Format(const char* fmt, int a, int b = 0, int c = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a, b, c);
    return buf;
}
}  // namespace

bool CameraStateActive(bool highSpeed, bool connected, int32_t state) {
    if (highSpeed || !connected) return false;
    return state == ZORVANE_STATE_EXPOSING || state == ZORVANE_STATE_WAITING ||
           state == ZORVANE_STATE_DOWNLOADING || state == ZORVANE_STATE_FLUSHING;
}

std::string CameraStateText(bool highSpeed, bool connected, int32_t state, float remaining,
                            int32_t downloadPercent) {
    if (highSpeed) return "High-speed imaging";
    if (!connected) return "Idle";
    switch (state) {
        case ZORVANE_STATE_EXPOSING: {
            const int t = static_cast<int>(remaining);
            if (t < 60) return Format("Exp. %d sec", t);
            return Format("Exp. %d min %d", t / 60, t % 60);
        }
        case ZORVANE_STATE_WAITING:
            return "Waiting";
        case ZORVANE_STATE_DOWNLOADING:
            if (downloadPercent >= 1) return Format("Downloading: %d%%", 100 - downloadPercent);
            return "Downloading";
        case ZORVANE_STATE_FLUSHING:
            if (downloadPercent >= 1) return Format("Flushing: %d%%", 100 - downloadPercent);
            return "Flushing";
        default:
            return "Idle";
    }
}

SavedColour SavedBackground(const std::string& lastSavedPath, bool nightVision) {
    if (!lastSavedPath.empty()) return {true, {0, 0, 0}};
    return {false, nightVision ? Rgb{255, 255, 96} : Rgb{255, 96, 96}};
}

std::string ZoomText(int z) {
    const char* half = (z & 1) ? ".5" : "";
    char buf[32];
    if (z >= 0)
        std::snprintf(buf, sizeof buf, "Zoom %d%s:1", (z >> 1) + 1, half);
    else
        std::snprintf(buf, sizeof buf, "Zoom 1:%d%s", ((-z) >> 1) + 1, half);
    return buf;
}

std::string ReadoutText(int x, int y, int value) {
    if (x < 0) return {};
    return Format("(%d,%d)=%d", x, y, value);
}

}  // namespace zorvane::statusbar
