#include "automation/IndiTransport.h"

#include "automation/IndiFilterWheelServer.h"
#include "automation/IndiTelescopeServer.h"
#include "indi/IndiClient.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

namespace zorvane {

using indi::DeviceSet;

IndiTransport::IndiTransport(std::string settingsPath, CutOffNotice notice, LostNotice lost)
    : settingsPath_(settingsPath.empty() ? SettingsFilePath() : std::move(settingsPath)),
      notice_(std::move(notice)),
      lost_(std::move(lost)) {}

IndiDeviceAddress IndiTransport::ParseAddress(const std::string& text) {
    IndiDeviceAddress a;
    const size_t at = text.rfind('@');
    a.device = text.substr(0, at);
    if (at != std::string::npos) {
        const auto [host, port] = indi::IndiClient::ParseServer(text.substr(at + 1));
        a.host = host;
        a.port = port;
    }
    return a;
}

namespace {
constexpr std::string_view kDeviceIdTag = ".indi@";
}  // namespace

std::string IndiTransport::DeviceProgId(const std::string& device, const std::string& host,
                                        int port) {
    return device + std::string(kDeviceIdTag) + host + ":" + std::to_string(port);
}

std::optional<IndiDeviceAddress> IndiTransport::ParseDeviceProgId(const std::string& progId) {
    // The last tag: a device name may hold dots, a host name never holds "@".
    const size_t tag = progId.rfind(kDeviceIdTag);
    if (tag == std::string::npos || tag == 0) return std::nullopt;
    IndiDeviceAddress a;
    a.device = progId.substr(0, tag);
    const auto [host, port] =
        indi::IndiClient::ParseServer(std::string_view(progId).substr(tag + kDeviceIdTag.size()));
    a.host = host;
    a.port = port;
    return a;
}

std::shared_ptr<AutomationServer> IndiTransport::Create(const std::string& progId,
                                                        const char* serverName, int32_t& code) {
    const std::string setting = GetPrivateProfileString(
        kSection, progId, "", IniDocument::kDefaultBufferSize, settingsPath_);
    const bool wheelId = progId == kFilterWheelProgId;
    const std::optional<IndiDeviceAddress> named =
        setting.empty() ? ParseDeviceProgId(progId) : std::nullopt;
    if (setting.empty() && !wheelId && !named) {
        code = result::ClassNotRegistered;
        return nullptr;
    }
    IndiDeviceAddress address = named ? *named : ParseAddress(setting);
    if (serverName && *serverName) address.host = serverName;

    auto client = std::make_unique<indi::IndiClient>();
    client->SetCutOffNotice(notice_);
    client->SetLostNotice(lost_);
    if (!client->Connect(address.host, address.port, kServerTimeoutMs)) {
        code = result::ServerUnavailable;
        return nullptr;
    }
    // The named device, or the first one that says it is a filter wheel.
    std::string device = address.device;
    const bool found = client->WaitUntil(
        [&](const DeviceSet& set) {
            for (const auto& [name, properties] : set.devices) {
                if (!properties.count("CONNECTION") || !properties.count("DRIVER_INFO")) continue;
                if (!address.device.empty()
                        ? name == address.device
                        : (set.DriverInterface(name) & indi::kFilterInterface)) {
                    device = name;
                    return true;
                }
            }
            return false;
        },
        kDeviceTimeoutMs);
    if (!found) {
        code = result::ServerUnavailable;
        return nullptr;
    }
    const unsigned kind = client->Devices().DriverInterface(device);
    const std::string server = address.host + ":" + std::to_string(address.port);
    code = result::Ok;
    if (wheelId || ((kind & indi::kFilterInterface) && !(kind & indi::kTelescopeInterface)))
        return std::make_shared<IndiFilterWheelServer>(std::move(client), device, server, use_);
    if (kind & indi::kTelescopeInterface)
        return std::make_shared<IndiTelescopeServer>(std::move(client), device, server, use_);
    code = result::ClassNotRegistered;
    return nullptr;
}

}  // namespace zorvane
