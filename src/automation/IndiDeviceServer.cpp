#include "automation/IndiDeviceServer.h"

namespace zorvane {

using indi::DeviceSet;
using indi::PropertySnapshot;
using indi::PropertyState;

IndiDeviceServer::IndiDeviceServer(std::unique_ptr<indi::IndiClient> client, std::string device,
                                   std::string server, std::shared_ptr<DeviceUse> use)
    : client_(std::move(client)),
      device_(std::move(device)),
      server_(std::move(server)),
      use_(use ? std::move(use) : std::make_shared<DeviceUse>()) {}

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
    if (!client_->IsConnected()) {
        const std::string cut = client_->CutOff();
        return Fail(cut.empty() ? "The INDI server at " + server_ + " does not answer" : cut);
    }
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
    bool connected = !released_ && on && on->on && c->state != PropertyState::Alert;
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
    const indi::Element* connect = c->Find("CONNECT");
    const bool isOn = connect && connect->on && c->state != PropertyState::Alert;
    const std::string key = device_ + "@" + server_;
    if (!on) {
        released_ = true;
        // Other programs may use the device: only one this program switched on, and only as the
        // program ends, is switched off. The answer is not waited for.
        std::lock_guard lock(use_->mutex);
        if (use_->ending && use_->switchedOn.erase(key) && isOn)
            client_->SelectSwitch(device_, "CONNECTION", "DISCONNECT");
        return result::Ok;
    }
    released_ = false;
    if (!isOn) {
        if (!client_->SelectSwitch(device_, "CONNECTION", "CONNECT"))
            return Fail("The device \"" + device_ + "\" cannot be connected");
        std::lock_guard lock(use_->mutex);
        use_->switchedOn.insert(key);
    }
    const uint64_t sent = c->updates;
    const std::vector<std::string> needed = ConnectedProperties();
    // Wait for the device's answer and for the properties it then defines.
    const bool answered = client_->WaitUntil(
        [&](const DeviceSet& set) {
            const PropertySnapshot* p = set.Find(device_, "CONNECTION");
            if (!p) return false;
            if (p->state == PropertyState::Alert && p->updates > sent) return true;
            const indi::Element* e = p->Find("CONNECT");
            if (!e || !e->on || p->state == PropertyState::Busy) return false;
            for (const std::string& name : needed)
                if (!set.Find(device_, name)) return false;
            return true;
        },
        kConnectTimeoutMs);
    if (!answered) {
        const std::string cut = client_->CutOff();
        return Fail(cut.empty() ? "The device \"" + device_ + "\" did not answer in time" : cut);
    }
    const std::vector<std::string> later = LaterProperties();
    if (!later.empty())
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
