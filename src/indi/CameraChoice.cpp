#include "indi/CameraChoice.h"

#include <cstdlib>

#include "indi/IndiClient.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

namespace zorvane::indi {

std::string IndiCameraSetting(const std::string& settingsPath) {
    if (const char* env = std::getenv(kCameraEnvironment); env && *env) return env;
    const std::string path = settingsPath.empty() ? SettingsFilePath() : settingsPath;
    return GetPrivateProfileString(kCameraSection, kCameraKey, "", 256, path);
}

CameraAddress ParseCameraAddress(std::string_view text) {
    CameraAddress a;
    const size_t at = text.rfind('@');
    a.device = std::string(text.substr(0, at));
    if (at != std::string_view::npos) {
        const auto [host, port] = IndiClient::ParseServer(text.substr(at + 1));
        a.host = host;
        a.port = port;
    }
    return a;
}

}  // namespace zorvane::indi
