#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "automation/AutomationServer.h"
#include "indi/IndiClient.h"

namespace zorvane {

// What the program has done to the devices it used, shared by every device server one
// transport made (the program connects again and again over a night).
struct DeviceUse {
    std::mutex mutex;
    bool ending = false;               // the program is ending
    std::set<std::string> switchedOn;  // "device@host:port" the program switched on itself
};

// An INDI device presented as an automation server with the member names its callers use.
// It owns its server connection. Reads come from the copies the client keeps, so they never
// wait; writes send a whole vector and, where the caller expects the device to have taken
// them (connecting), wait a bounded time for its answer.
//
// The device is shared with every other client of the server. "Connected" true switches it on
// only when it is off; "Connected" false ends this program's use of it (it reads false from
// then on) and leaves the device as it is. Only once the program is ending does letting go
// switch off a device the program switched on itself.
class IndiDeviceServer : public AutomationServer {
public:
    IndiDeviceServer(std::unique_ptr<indi::IndiClient> client, std::string device,
                     std::string server, std::shared_ptr<DeviceUse> use = nullptr);

    int32_t Describe(ServerDescription& description) override;
    int32_t Invoke(int32_t id, uint16_t kind, const std::vector<Variant>& arguments, Variant& value,
                   ExceptionInfo& exception) override;

    const std::string& Device() const { return device_; }

    // How long a connect waits for the device, and a write for the device's first answer.
    static constexpr int kConnectTimeoutMs = 5000;
    static constexpr int kAnswerTimeoutMs = 2000;

protected:
    // Member ids shared by every device.
    static constexpr int32_t kConnected = 1;

    struct Call {
        int32_t id;
        uint16_t kind;
        const std::vector<Variant>& arguments;
        Variant& value;
    };
    // The device's own members; Ok, or a failure after Fail().
    virtual void DescribeDevice(ServerDescription& description) = 0;
    virtual int32_t InvokeDevice(const Call& call) = 0;
    // Properties the device must have defined before it counts as connected.
    virtual std::vector<std::string> ConnectedProperties() const = 0;
    // Properties a connected device usually defines a moment later; a connect waits a short
    // time for them, but the device counts as connected without them.
    virtual std::vector<std::string> LaterProperties() const { return {}; }

    // A failure the caller can read: result::Exception with the text.
    int32_t Fail(const std::string& description);
    std::optional<indi::PropertySnapshot> Property(const char* name) const;
    indi::IndiClient& Client() { return *client_; }

    // A write the device has not answered yet: reads show it as under way until an update of
    // the property arrives or the answer time has passed.
    class PendingAnswer {
    public:
        void Start(uint64_t updatesAtSend);
        bool Active(const std::optional<indi::PropertySnapshot>& now);

    private:
        bool active_ = false;
        uint64_t updates_ = 0;
        std::chrono::steady_clock::time_point deadline_;
    };

private:
    int32_t GetConnected(Variant& value);
    int32_t PutConnected(bool on);

    std::unique_ptr<indi::IndiClient> client_;
    std::string device_;
    std::string server_;
    std::shared_ptr<DeviceUse> use_;
    bool released_ = false;  // "Connected" false was put: the program no longer uses it
    ExceptionInfo* exception_ = nullptr;
};

}  // namespace zorvane
