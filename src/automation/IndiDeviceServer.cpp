#include "automation/IndiDeviceServer.h"

namespace zorvane {

using indi::DeviceSet;
using indi::PropertySnapshot;
using indi::PropertyState;

IndiDeviceServer::IndiDeviceServer(std::unique_ptr<indi::IndiClient> client, std::string device,
                                   std::string server)
    : client_(std::move(client)), device_(std::move(device)), server_(std::move(server)) {}

int32_t IndiDeviceServer::Describe(ServerDescription& d) {
    d.variables.push_back({kConnected, "Connected", vt::Bool});
    DescribeDevice(d);
    return result::Ok;
}

int32_t IndiDeviceServer::Fail(const std::string& description) {
    if (exception_) {
        exception_->code = result::Exception;
        exception_->source = device_ + "@" + server_;
        exception_->description = description;
    }
    return result::Exception;
}

std::optional<PropertySnapshot> IndiDeviceServer::Property(const char* name) const {
    return client_->Get(device_, name);
}

int32_t IndiDeviceServer::Invoke(int32_t id, uint16_t kind, const std::vector<Variant>& arguments,
                                 Variant& value, ExceptionInfo& exception) {
    exception_ = &exception;
    struct Reset {
        ExceptionInfo*& p;
        ~Reset() { p = nullptr; }
    } reset{exception_};
    if (!client_->IsConnected()) return Fail("The INDI server at " + server_ + " does not answer");
    if (id == kConnected) {
        if (kind == invoke::PropertyGet) return GetConnected(value);
        if (kind == invoke::PropertyPut && arguments.size() == 1)
            return PutConnected(arguments[0].integer != 0);
        return result::MemberNotFound;
    }
    return InvokeDevice(Call{id, kind, arguments, value});
}

int32_t IndiDeviceServer::GetConnected(Variant& value) {
    const std::optional<PropertySnapshot> c = Property("CONNECTION");
    if (!c) return Fail("The INDI server has no device \"" + device_ + "\"");
    const indi::Element* on = c->Find("CONNECT");
    bool connected = on && on->on && c->state != PropertyState::Alert;
    // Connected means the device's working properties are there too.
    if (connected) {
        const DeviceSet set = client_->Devices();
        for (const std::string& p : ConnectedProperties())
            if (!set.Find(device_, p)) connected = false;
    }
    value = Variant::Boolean(connected);
    return result::Ok;
}

int32_t IndiDeviceServer::PutConnected(bool on) {
    const std::optional<PropertySnapshot> c = Property("CONNECTION");
    if (!c) return Fail("The INDI server has no device \"" + device_ + "\"");
    if (!client_->SelectSwitch(device_, "CONNECTION", on ? "CONNECT" : "DISCONNECT"))
        return Fail("The device \"" + device_ + "\" cannot be " +
                    (on ? "connected" : "disconnected"));
    const uint64_t sent = c->updates;
    const std::vector<std::string> needed = ConnectedProperties();
    // Wait for the device's answer (and, on connecting, for the properties it then defines).
    const bool answered = client_->WaitUntil(
        [&](const DeviceSet& set) {
            const PropertySnapshot* p = set.Find(device_, "CONNECTION");
            if (!p) return false;
            if (p->state == PropertyState::Alert && p->updates > sent) return true;
            const indi::Element* e = p->Find("CONNECT");
            if (!e || e->on != on || p->state == PropertyState::Busy) return false;
            if (!on) return true;
            for (const std::string& name : needed)
                if (!set.Find(device_, name)) return false;
            return true;
        },
        kConnectTimeoutMs);
    if (!answered) return Fail("The device \"" + device_ + "\" did not answer in time");
    const std::vector<std::string> later = LaterProperties();
    if (on && !later.empty())
        client_->WaitUntil(
            [&](const DeviceSet& set) {
                for (const std::string& name : later)
                    if (!set.Find(device_, name)) return false;
                return true;
            },
            kAnswerTimeoutMs);
    return result::Ok;
}

void IndiDeviceServer::PendingAnswer::Start(uint64_t updatesAtSend) {
    active_ = true;
    updates_ = updatesAtSend;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
}

bool IndiDeviceServer::PendingAnswer::Active(const std::optional<PropertySnapshot>& now) {
    if (!active_) return false;
    if ((now && now->updates > updates_) || std::chrono::steady_clock::now() >= deadline_)
        active_ = false;
    return active_;
}

}  // namespace zorvane
