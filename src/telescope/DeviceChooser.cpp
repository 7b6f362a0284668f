#include "telescope/DeviceChooser.h"

#include <algorithm>
#include <cctype>

#include "automation/IndiTransport.h"
#include "indi/IndiClient.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

namespace zorvane {

namespace {

constexpr int kServerTimeoutMs = IndiTransport::kServerTimeoutMs;
constexpr int kFirstDeviceTimeoutMs = IndiTransport::kDeviceTimeoutMs;
// Drivers define their devices one after another; the others follow the first within this.
constexpr int kSettleMs = 400;

constexpr int32_t kDeviceTypeMember = 1;
constexpr int32_t kChooseMember = 2;

unsigned InterfaceBits(const std::string& deviceType) {
    if (deviceType == "Telescope") return indi::kTelescopeInterface;
    if (deviceType == "FilterWheel") return indi::kFilterInterface;
    if (deviceType == "Camera") return indi::kCcdInterface;
    return 0;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

DeviceListing ListIndiDevices(const std::string& host, int port, unsigned interfaceBits) {
    DeviceListing listing;
    indi::IndiClient client;
    if (!client.Connect(host, port, kServerTimeoutMs)) return listing;
    listing.reached = true;
    // A device counts once its driver has said what it is.
    const auto described = [](const indi::DeviceSet& set) {
        for (const auto& [name, properties] : set.devices)
            if (properties.count("DRIVER_INFO")) return true;
        return false;
    };
    if (client.WaitUntil(described, kFirstDeviceTimeoutMs))
        client.WaitUntil([](const indi::DeviceSet&) { return false; }, kSettleMs);
    // Nothing from a server that was cut off is offered.
    listing.cutOff = client.CutOff();
    if (!listing.cutOff.empty()) return listing;
    const indi::DeviceSet set = client.Devices();
    for (const auto& [name, properties] : set.devices) {
        if (!properties.count("DRIVER_INFO")) continue;
        if (interfaceBits == 0 || (set.DriverInterface(name) & interfaceBits))
            listing.devices.push_back(name);
    }
    return listing;
}

// ---------------------------------------------------------------------------------------------

DeviceChooserModel::DeviceChooserModel(std::string deviceType, std::string server)
    : deviceType_(std::move(deviceType)),
      interfaceBits_(InterfaceBits(deviceType_)),
      server_(std::move(server)) {}

void DeviceChooserModel::Refresh() {
    const auto [host, port] = indi::IndiClient::ParseServer(server_);
    listedHost_ = host;
    listedPort_ = port;
    const DeviceListing listing = ListIndiDevices(host, port, interfaceBits_);
    devices_ = listing.devices;
    const std::string where = ListedServer();
    const std::string kind = Lower(deviceType_);
    if (!listing.reached)
        status_ = "No INDI server answers at " + where;
    else if (!listing.cutOff.empty())
        status_ = listing.cutOff;
    else if (devices_.empty())
        status_ = "No " + kind + " on " + where;
    else if (devices_.size() == 1)
        status_ = "1 " + kind + " on " + where;
    else
        status_ = std::to_string(devices_.size()) + " " + kind + "s on " + where;
}

int DeviceChooserModel::Preselected() const {
    const auto it = std::find(devices_.begin(), devices_.end(), preselected_);
    return it == devices_.end() ? -1 : static_cast<int>(it - devices_.begin());
}

std::string DeviceChooserModel::ChosenId(int index) const {
    if (index < 0 || index >= static_cast<int>(devices_.size())) return {};
    return IndiTransport::DeviceProgId(devices_[index], listedHost_, listedPort_);
}

std::string DeviceChooserModel::ListedServer() const {
    return listedHost_ + ":" + std::to_string(listedPort_);
}

// ---------------------------------------------------------------------------------------------

DeviceChooserServer::DeviceChooserServer(DeviceChooserUi& ui, std::string settingsPath)
    : ui_(ui), settingsPath_(settingsPath.empty() ? SettingsFilePath() : std::move(settingsPath)) {}

int32_t DeviceChooserServer::Describe(ServerDescription& d) {
    d.functions.push_back(
        {kDeviceTypeMember, "DeviceType", invoke::PropertyPutRef, vt::Void, {vt::BStr}});
    d.functions.push_back({kChooseMember, "Choose", invoke::Method, vt::BStr, {vt::BStr}});
    return result::Ok;
}

int32_t DeviceChooserServer::Invoke(int32_t id, uint16_t kind, const std::vector<Variant>& args,
                                    Variant& value, ExceptionInfo&) {
    if (args.size() != 1) return result::MemberNotFound;
    if (id == kDeviceTypeMember && kind == invoke::PropertyPutRef) {
        deviceType_ = args[0].text;
        return result::Ok;
    }
    if (id == kChooseMember && kind == invoke::Method) {
        value = Variant::Text(Choose(args[0].text));
        return result::Ok;
    }
    return result::MemberNotFound;
}

std::string DeviceChooserServer::Choose(const std::string& current) {
    const std::string setting = GetPrivateProfileString(
        IndiTransport::kSection, kProgId, "", IniDocument::kDefaultBufferSize, settingsPath_);
    const IndiDeviceAddress stored = IndiTransport::ParseAddress(setting);
    std::string server = stored.host + ":" + std::to_string(stored.port);
    // An id this chooser gave opens on its own server, with its device selected.
    const std::optional<IndiDeviceAddress> given = IndiTransport::ParseDeviceProgId(current);
    if (given) server = given->host + ":" + std::to_string(given->port);

    DeviceChooserModel model(deviceType_, server);
    if (given) model.SetPreselected(given->device);
    model.Refresh();
    const std::optional<int> chosen = ui_.RunChooser(model);
    const std::string id = chosen ? model.ChosenId(*chosen) : std::string();
    if (!id.empty() && model.ListedServer() != server)
        WritePrivateProfileString(IndiTransport::kSection, kProgId, "@" + model.ListedServer(),
                                  settingsPath_);
    return id;
}

}  // namespace zorvane
