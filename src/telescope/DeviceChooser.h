#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/AutomationServer.h"

namespace zorvane {

// The devices on an INDI server whose driver says it is of a kind, for the chooser.
struct DeviceListing {
    bool reached = false;              // the server answered
    std::vector<std::string> devices;  // their INDI names, sorted
    std::string cutOff;                // why the server was cut off while listing; empty if not
};

// Asks the server at host:port (half a second to answer at most) for its devices, waits up to
// 3 s for the first one and a moment more for the others, and lists those whose
// DRIVER_INTERFACE has any of `interfaceBits` (0: every device).
DeviceListing ListIndiDevices(const std::string& host, int port, unsigned interfaceBits);

// What the device chooser shows and the user edits: the INDI server, its devices of the asked
// kind, and a line saying what was found. The window only shows it and reports the clicks.
class DeviceChooserModel {
public:
    // `deviceType` as the caller names it ("Telescope"); `server` as "host:port".
    DeviceChooserModel(std::string deviceType, std::string server);

    const std::string& DeviceType() const { return deviceType_; }
    // "Choose Telescope".
    std::string Title() const { return "Choose " + deviceType_; }
    // The server as typed ("host:port", "host"; empty: localhost:7624).
    const std::string& Server() const { return server_; }
    void SetServer(std::string text) { server_ = std::move(text); }
    // Lists the devices of the server as typed now.
    void Refresh();
    const std::vector<std::string>& Devices() const { return devices_; }
    // "2 telescopes on localhost:7624", "No telescope on ...", "No INDI server answers at ...",
    // or why the server was cut off.
    const std::string& StatusText() const { return status_; }
    // The listed device to select first (the one last chosen); -1 none.
    int Preselected() const;
    void SetPreselected(std::string device) { preselected_ = std::move(device); }
    // The id the listed device `index` is opened by, on the server it was listed from; empty
    // for an index outside the list.
    std::string ChosenId(int index) const;
    // The server the list came from, "host:port".
    std::string ListedServer() const;

private:
    std::string deviceType_;
    unsigned interfaceBits_ = 0;
    std::string server_;
    std::string listedHost_;
    int listedPort_ = 0;
    std::vector<std::string> devices_;
    std::string status_;
    std::string preselected_;
};

// The chooser's window: shows the model modally; the listed device the user chose, or none when
// the user cancelled.
class DeviceChooserUi {
public:
    virtual ~DeviceChooserUi() = default;
    virtual std::optional<int> RunChooser(DeviceChooserModel& model) = 0;
};

// The program's own device chooser as an automation server: "DeviceType" (put by reference,
// the kind of device to list) and "Choose" (the id to preselect; returns the chosen device's
// id, empty when cancelled). It lists the devices of the INDI server named in the settings
// ([Automation] DriverHelper.Chooser = "@host:port", localhost:7624 without it); a server the
// user typed and chose from is remembered there.
class DeviceChooserServer : public AutomationServer {
public:
    static constexpr const char* kProgId = "DriverHelper.Chooser";

    // `settingsPath` empty: the user's settings file.
    DeviceChooserServer(DeviceChooserUi& ui, std::string settingsPath);

    int32_t Describe(ServerDescription& description) override;
    int32_t Invoke(int32_t id, uint16_t kind, const std::vector<Variant>& arguments, Variant& value,
                   ExceptionInfo& exception) override;

private:
    std::string Choose(const std::string& current);

    DeviceChooserUi& ui_;
    std::string settingsPath_;
    std::string deviceType_ = "Telescope";
};

}  // namespace zorvane
