#pragma once

#include <optional>
#include <string>

namespace zorvane {

// The machine-wide configuration, written by the administrator, never by the program.
inline constexpr const char* kMachineConfigPath = "/etc/zorvane-capture/capture.ini";
inline constexpr const char* kMachineSection = "Capture";
inline constexpr const char* kBlackLevelValueName = "DisableBlackLevelAutoAdjustment";

// A value of the machine-wide [Capture] section, cut as a 16-byte buffer would cut it (at most
// 15 characters); nullopt when the file, the section or the value is missing.
std::optional<std::string> ReadMachineValue(const std::string& valueName,
                                            const std::string& path = kMachineConfigPath);

// Whether automatic black-level adjustment is allowed: true unless the machine-wide value
// "DisableBlackLevelAutoAdjustment" reads exactly "1".
bool BlackLevelSwitch(const std::string& path = kMachineConfigPath);

}  // namespace zorvane
