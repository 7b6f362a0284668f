#include "platform/MachineSwitch.h"

#include "platform/IniFile.h"

namespace zorvane {

std::optional<std::string> ReadMachineValue(const std::string& valueName, const std::string& path) {
    IniDocument doc;
    if (!doc.Load(path) || !doc.HasKey(kMachineSection, valueName)) return std::nullopt;
    return doc.GetString(kMachineSection, valueName, "", 16);
}

bool BlackLevelSwitch(const std::string& path) {
    const auto value = ReadMachineValue(kBlackLevelValueName, path);
    return !(value && *value == "1");
}

}  // namespace zorvane
