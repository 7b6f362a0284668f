#pragma once

#include <string>
#include <string_view>

namespace zorvane::indi {

// Which INDI camera the user asked for, as "device@host:port" (device, host and port may each
// be left out: the first camera device, localhost, 7624; "@" alone takes all three defaults).
// The environment variable ZORVANE_INDI_CAMERA wins for one run; otherwise the key
// "IndiCamera" of the settings file's section "Automation". Empty: no INDI camera was asked
// for, and the program does not look for one.
inline constexpr const char* kCameraEnvironment = "ZORVANE_INDI_CAMERA";
inline constexpr const char* kCameraSection = "Automation";
inline constexpr const char* kCameraKey = "IndiCamera";

// `settingsPath` empty: the user's settings file.
std::string IndiCameraSetting(const std::string& settingsPath = {});

struct CameraAddress {
    std::string device;  // empty: the first device whose driver says it is a camera
    std::string host = "localhost";
    int port = 7624;
};
CameraAddress ParseCameraAddress(std::string_view text);

}  // namespace zorvane::indi
