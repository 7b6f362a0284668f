#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "automation/AutomationServer.h"
#include "automation/IndiDeviceServer.h"

namespace zorvane {

// Where a ProgID points: an INDI device on a server.
struct IndiDeviceAddress {
    std::string device;  // empty: the first device of the wanted kind
    std::string host = "localhost";
    int port = 7624;
};

// Creates automation servers for INDI devices. A ProgID resolves through the settings file:
// section "Automation", key = the ProgID, value = "device@host:port" (host and port may be
// left out: localhost, 7624). Without a key the filter wheel's ProgID takes the first device
// on localhost:7624 whose driver says it is a filter wheel, and a ProgID of the form
// "device.indi@host:port" (what the device chooser returns) names its device itself. The
// device's kind (filter wheel or mount) decides which members it shows.
//
// Each device is a connection of its own. A server that sends more than a client takes is cut
// off (see indi::IndiClient); the cut-off notice then tells the user which server it was.
class IndiTransport : public AutomationTransport {
public:
    static constexpr const char* kSection = "Automation";
    static constexpr const char* kFilterWheelProgId = "Qelt.Filterwheel.Com";
    // An unreachable host is given up after this; a refused connection fails at once.
    static constexpr int kServerTimeoutMs = 500;
    // How long the server may take to show the device.
    static constexpr int kDeviceTimeoutMs = 3000;

    // Called on a connection's reader thread with the text naming the server that was cut off.
    using CutOffNotice = std::function<void(const std::string&)>;
    // Called on a connection's reader thread when the server of a device the program holds
    // went away (it died, closed the connection or was cut off).
    using LostNotice = std::function<void()>;

    // `settingsPath` empty: the user's settings file.
    explicit IndiTransport(std::string settingsPath = {}, CutOffNotice notice = {},
                           LostNotice lost = {});

    std::shared_ptr<AutomationServer> Create(const std::string& progId, const char* serverName,
                                             int32_t& code) override;
    void ProgramEnding() override {
        std::lock_guard lock(use_->mutex);
        use_->ending = true;
    }

    // "device@host:port", "device@host", "device", "@host:port".
    static IndiDeviceAddress ParseAddress(const std::string& text);

    // The ProgID that names a device on a server by itself: "device.indi@host:port", so that
    // the text before its first "." is the device's name (unless the name has a dot itself).
    static std::string DeviceProgId(const std::string& device, const std::string& host, int port);
    // The device and server of such a ProgID; none for any other ProgID.
    static std::optional<IndiDeviceAddress> ParseDeviceProgId(const std::string& progId);

private:
    std::string settingsPath_;
    CutOffNotice notice_;
    LostNotice lost_;
    // Shared with the devices made, which may outlive this transport.
    std::shared_ptr<DeviceUse> use_ = std::make_shared<DeviceUse>();
};

}  // namespace zorvane
