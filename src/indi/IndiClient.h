#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace zorvane::indi {

enum class PropertyState { Idle, Ok, Busy, Alert };
enum class PropertyKind { Number, Switch, Text, Light, Blob };

// One element of a property vector, copied out of the client library.
struct Element {
    std::string name;
    double number = 0.0;                      // numbers
    bool on = false;                          // switches
    std::string text;                         // texts
    double min = 0.0, max = 0.0, step = 0.0;  // numbers: the range the driver declared
};

// A copy of one property vector as the server last described it. `updates` counts the
// definitions and updates received for it, so a caller can tell that an answer has come.
struct PropertySnapshot {
    std::string device;
    std::string name;
    PropertyKind kind = PropertyKind::Number;
    PropertyState state = PropertyState::Idle;
    std::vector<Element> elements;
    uint64_t updates = 0;

    const Element* Find(std::string_view element) const;
};

// One BLOB element as it arrives, decoded from the wire; the bytes belong to the client and are
// valid only during the call.
struct BlobView {
    std::string_view device;
    std::string_view property;
    std::string_view element;
    std::string_view format;  // ".fits", ".fits.fz", ...
    const void* data = nullptr;
    size_t size = 0;
};

// Every device and property the server has defined, as copies.
struct DeviceSet {
    std::map<std::string, std::map<std::string, PropertySnapshot>, std::less<>> devices;

    const PropertySnapshot* Find(std::string_view device, std::string_view property) const;
    // DRIVER_INFO.DRIVER_INTERFACE as a number; 0 when the device has not said.
    unsigned DriverInterface(std::string_view device) const;
};

// Driver interface bits of DRIVER_INFO.DRIVER_INTERFACE.
inline constexpr unsigned kTelescopeInterface = 1u << 0;
inline constexpr unsigned kCcdInterface = 1u << 1;
inline constexpr unsigned kFilterInterface = 1u << 4;

// A connection to one INDI server. A reader thread of its own parses what the server sends
// (within the limits of StreamLimits) and keeps copies of every property in a DeviceSet under
// a lock. Every other call is made from the caller's thread and every wait has a bound. Values
// are sent as whole vectors built here.
//
// A server that sends more than the limits allow (an element that never ends, a flood of
// devices, a vector of a hundred thousand elements) has its connection ended: the client then
// counts as disconnected, CutOff() says why, and the cut-off notice is given once.
class IndiClient {
public:
    IndiClient();
    ~IndiClient();
    IndiClient(const IndiClient&) = delete;
    IndiClient& operator=(const IndiClient&) = delete;

    // Connects afresh, dropping any earlier connection first (also one whose server died).
    // A refused connection fails at once; an unreachable host after `timeoutMs`.
    bool Connect(const std::string& host, int port, int timeoutMs);
    void Disconnect();
    // False once the server has closed the connection, died, or was cut off.
    bool IsConnected() const;
    // Why the program ended the connection ("The INDI server at localhost:7624 sent a message
    // larger than 4 MB; ..."); empty unless it did.
    std::string CutOff() const;
    // Called once, on the reader thread, with the CutOff() text when a server is cut off. Set
    // it before Connect; it must not call this client.
    using CutOffNotice = std::function<void(const std::string&)>;
    void SetCutOffNotice(CutOffNotice notice) { notice_ = std::move(notice); }
    // Called once, on the reader thread, when the connection ends other than by Disconnect
    // (the server died or closed it, or was cut off, after the cut-off notice). Set it before
    // Connect; it must not call this client.
    using LostNotice = std::function<void()>;
    void SetLostNotice(LostNotice notice) { lost_ = std::move(notice); }

    // Called on the reader thread with a copy of every property as a definition or update has
    // left it. Set it before Connect; it must not call this client.
    using UpdateSink = std::function<void(const PropertySnapshot&)>;
    void SetUpdateSink(UpdateSink sink) { updateSink_ = std::move(sink); }

    DeviceSet Devices() const;
    std::optional<PropertySnapshot> Get(std::string_view device, std::string_view property) const;

    // Waits until `ready` holds for the devices (checked under the lock, so keep it short),
    // the connection is lost, or `timeoutMs` has passed. True when `ready` held.
    bool WaitUntil(const std::function<bool(const DeviceSet&)>& ready, int timeoutMs) const;
    bool WaitForProperty(std::string_view device, std::string_view property, int timeoutMs) const;

    // Sends a new value vector: the elements named, with their values. For a one-of-many
    // switch give every element, the chosen one on. False when not connected or when the
    // server does not take it within a bound (the connection then counts as lost).
    bool SendSwitches(const std::string& device, const std::string& property,
                      const std::vector<std::pair<std::string, bool>>& elements);
    bool SendNumbers(const std::string& device, const std::string& property,
                     const std::vector<std::pair<std::string, double>>& elements);
    bool SendTexts(const std::string& device, const std::string& property,
                   const std::vector<std::pair<std::string, std::string>>& elements);
    // Switches one element of a one-of-many switch on and the others off, from the elements
    // the server defined. False when the property has not been defined.
    bool SelectSwitch(const std::string& device, const std::string& property,
                      const std::string& element);

    // Asks the server to send the BLOBs of one device's property (all of its BLOBs when
    // `property` is empty) along with the other messages, none larger than `largest` bytes
    // (0: the largest any device may send). False when not connected.
    bool EnableBlobs(const std::string& device, const std::string& property, size_t largest = 0);
    // Called on the reader thread with every BLOB received, before the property's update is
    // stored (so a waiter woken by the update finds whatever the sink did). Replacing or
    // clearing the sink waits for a call in progress. The sink must not call this client.
    using BlobSink = std::function<void(const BlobView&)>;
    void SetBlobSink(BlobSink sink);

    // How long a send may wait for a server that does not read.
    static constexpr int kSendTimeoutMs = 2000;
    // How long Disconnect waits for the server to end its side.
    static constexpr int kCloseTimeoutMs = 500;

    // Host and port from "host:port" or "host" ("" = localhost, port 7624).
    static std::pair<std::string, int> ParseServer(std::string_view text);
    static constexpr int kDefaultPort = 7624;

private:
    struct Shared;
    bool Send(const std::string& xml);

    std::shared_ptr<Shared> shared_;
    std::thread reader_;
    BlobSink blobSink_;
    CutOffNotice notice_;
    LostNotice lost_;
    UpdateSink updateSink_;
};

}  // namespace zorvane::indi
