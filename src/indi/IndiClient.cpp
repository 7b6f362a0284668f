#include "indi/IndiClient.h"

#include <libindi/baseclient.h>
#include <libindi/basedevice.h>
#include <libindi/indiproperty.h>
#include <libindi/indipropertyblob.h>
#include <libindi/indipropertynumber.h>
#include <libindi/indipropertyswitch.h>
#include <libindi/indipropertytext.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>

namespace zorvane::indi {

namespace {

PropertyState StateOf(IPState s) {
    switch (s) {
        case IPS_OK:
            return PropertyState::Ok;
        case IPS_BUSY:
            return PropertyState::Busy;
        case IPS_ALERT:
            return PropertyState::Alert;
        default:
            return PropertyState::Idle;
    }
}

const char* Text(const char* s) {
    return s ? s : "";
}

// Copies what the callback was given; the library's object is not kept.
PropertySnapshot Copy(INDI::Property p) {
    PropertySnapshot s;
    s.device = Text(p.getDeviceName());
    s.name = Text(p.getName());
    s.state = StateOf(p.getState());
    switch (p.getType()) {
        case INDI_NUMBER:
            s.kind = PropertyKind::Number;
            if (auto* v = p.getNumber())
                for (auto& w : *v)
                    s.elements.push_back({Text(w.getName()),
                                          w.getValue(),
                                          false,
                                          {},
                                          w.getMin(),
                                          w.getMax(),
                                          w.getStep()});
            break;
        case INDI_SWITCH:
            s.kind = PropertyKind::Switch;
            if (auto* v = p.getSwitch())
                for (auto& w : *v)
                    s.elements.push_back({Text(w.getName()), 0.0, w.getState() == ISS_ON, {}});
            break;
        case INDI_TEXT:
            s.kind = PropertyKind::Text;
            if (auto* v = p.getText())
                for (auto& w : *v)
                    s.elements.push_back({Text(w.getName()), 0.0, false, Text(w.getText())});
            break;
        case INDI_LIGHT:
            s.kind = PropertyKind::Light;
            if (auto* v = p.getLight())
                for (auto& w : *v) s.elements.push_back({Text(w.getName()), 0.0, false, {}});
            break;
        default:
            s.kind = PropertyKind::Blob;
            break;
    }
    return s;
}

}  // namespace

const Element* PropertySnapshot::Find(std::string_view element) const {
    for (const Element& e : elements)
        if (e.name == element) return &e;
    return nullptr;
}

const PropertySnapshot* DeviceSet::Find(std::string_view device, std::string_view property) const {
    const auto d = devices.find(device);
    if (d == devices.end()) return nullptr;
    const auto p = d->second.find(std::string(property));
    return p == d->second.end() ? nullptr : &p->second;
}

unsigned DeviceSet::DriverInterface(std::string_view device) const {
    const PropertySnapshot* info = Find(device, "DRIVER_INFO");
    const Element* e = info ? info->Find("DRIVER_INTERFACE") : nullptr;
    if (!e) return 0;
    return static_cast<unsigned>(std::strtoul(e->text.c_str(), nullptr, 10));
}

struct IndiClient::Shared {
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    DeviceSet set;
    bool connected = false;
    std::mutex sinkMutex;  // held while the sink runs, so replacing it waits for the call
    BlobSink sink;

    void Deliver(INDI::Property p) {
        std::lock_guard lock(sinkMutex);
        if (!sink || p.getType() != INDI_BLOB) return;
        auto* v = p.getBLOB();
        if (!v) return;
        for (auto& w : *v) {
            if (!w.getBlob() || w.getBlobLen() <= 0) continue;
            sink(BlobView{Text(p.getDeviceName()), Text(p.getName()), Text(w.getName()),
                          Text(w.getFormat()), w.getBlob(), static_cast<size_t>(w.getBlobLen())});
        }
    }

    void Store(INDI::Property p) {
        PropertySnapshot copy = Copy(p);
        {
            std::lock_guard lock(mutex);
            auto& slot = set.devices[copy.device][copy.name];
            copy.updates = slot.updates + 1;
            slot = std::move(copy);
        }
        changed.notify_all();
    }
};

// Runs on the client library's listener thread: copies, stores, wakes the waiters.
class IndiClient::Listener : public INDI::BaseClient {
public:
    explicit Listener(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

protected:
    void newProperty(INDI::Property p) override { shared_->Store(p); }
    void updateProperty(INDI::Property p) override {
        shared_->Deliver(p);
        shared_->Store(p);
    }
    void removeProperty(INDI::Property p) override {
        {
            std::lock_guard lock(shared_->mutex);
            const auto d = shared_->set.devices.find(std::string_view(Text(p.getDeviceName())));
            if (d != shared_->set.devices.end()) d->second.erase(Text(p.getName()));
        }
        shared_->changed.notify_all();
    }
    void removeDevice(INDI::BaseDevice device) override {
        {
            std::lock_guard lock(shared_->mutex);
            const auto d =
                shared_->set.devices.find(std::string_view(Text(device.getDeviceName())));
            if (d != shared_->set.devices.end()) shared_->set.devices.erase(d);
        }
        shared_->changed.notify_all();
    }
    void serverDisconnected(int) override {
        {
            std::lock_guard lock(shared_->mutex);
            shared_->connected = false;
        }
        shared_->changed.notify_all();
    }

private:
    std::shared_ptr<Shared> shared_;
};

IndiClient::IndiClient() : shared_(std::make_shared<Shared>()) {}

IndiClient::~IndiClient() {
    Disconnect();
}

bool IndiClient::Connect(const std::string& host, int port, int timeoutMs) {
    // After a server died the library still believes it is connected: drop the old
    // connection (and its listener thread) before starting a new one.
    Disconnect();
    // A write to a server that has just died raises SIGPIPE, which would end the whole program
    // in the middle of a night; the failed write is noticed as a lost connection instead.
    std::signal(SIGPIPE, SIG_IGN);
    shared_ = std::make_shared<Shared>();
    shared_->sink = blobSink_;
    listener_ = std::make_unique<Listener>(shared_);
    listener_->setServer(host.empty() ? "localhost" : host.c_str(), static_cast<unsigned>(port));
    const int ms = timeoutMs < 1 ? 1 : timeoutMs;
    listener_->setConnectionTimeout(static_cast<uint32_t>(ms / 1000),
                                    static_cast<uint32_t>(ms % 1000) * 1000u);
    {
        std::lock_guard lock(shared_->mutex);
        shared_->connected = true;  // before the listener can report a disconnection
    }
    if (!listener_->connectServer()) {
        listener_.reset();
        std::lock_guard lock(shared_->mutex);
        shared_->connected = false;
        return false;
    }
    return true;
}

void IndiClient::Disconnect() {
    if (!listener_) return;
    if (listener_->isServerConnected()) listener_->disconnectServer();
    listener_.reset();
    std::lock_guard lock(shared_->mutex);
    shared_->connected = false;
}

bool IndiClient::IsConnected() const {
    std::lock_guard lock(shared_->mutex);
    return listener_ && shared_->connected;
}

DeviceSet IndiClient::Devices() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->set;
}

std::optional<PropertySnapshot> IndiClient::Get(std::string_view device,
                                                std::string_view property) const {
    std::lock_guard lock(shared_->mutex);
    const PropertySnapshot* p = shared_->set.Find(device, property);
    if (!p) return std::nullopt;
    return *p;
}

bool IndiClient::WaitUntil(const std::function<bool(const DeviceSet&)>& ready,
                           int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(shared_->mutex);
    bool result = false;
    shared_->changed.wait_until(lock, deadline, [&] {
        result = ready(shared_->set);
        return result || !shared_->connected;
    });
    return result;
}

bool IndiClient::WaitForProperty(std::string_view device, std::string_view property,
                                 int timeoutMs) const {
    return WaitUntil([&](const DeviceSet& s) { return s.Find(device, property) != nullptr; },
                     timeoutMs);
}

bool IndiClient::SendSwitches(const std::string& device, const std::string& property,
                              const std::vector<std::pair<std::string, bool>>& elements) {
    if (!IsConnected() || elements.empty()) return false;
    INDI::PropertySwitch p(elements.size());
    p.setDeviceName(device.c_str());
    p.setName(property.c_str());
    for (size_t i = 0; i < elements.size(); ++i) {
        p[i].setName(elements[i].first.c_str());
        p[i].setState(elements[i].second ? ISS_ON : ISS_OFF);
    }
    listener_->sendNewSwitch(p);
    return true;
}

bool IndiClient::SendNumbers(const std::string& device, const std::string& property,
                             const std::vector<std::pair<std::string, double>>& elements) {
    if (!IsConnected() || elements.empty()) return false;
    INDI::PropertyNumber p(elements.size());
    p.setDeviceName(device.c_str());
    p.setName(property.c_str());
    for (size_t i = 0; i < elements.size(); ++i) {
        p[i].setName(elements[i].first.c_str());
        p[i].setValue(elements[i].second);
    }
    listener_->sendNewNumber(p);
    return true;
}

bool IndiClient::SendTexts(const std::string& device, const std::string& property,
                           const std::vector<std::pair<std::string, std::string>>& elements) {
    if (!IsConnected() || elements.empty()) return false;
    INDI::PropertyText p(elements.size());
    p.setDeviceName(device.c_str());
    p.setName(property.c_str());
    for (size_t i = 0; i < elements.size(); ++i) {
        p[i].setName(elements[i].first.c_str());
        p[i].setText(elements[i].second.c_str());
    }
    listener_->sendNewText(p);
    return true;
}

bool IndiClient::SelectSwitch(const std::string& device, const std::string& property,
                              const std::string& element) {
    const std::optional<PropertySnapshot> p = Get(device, property);
    if (!p || !p->Find(element)) return false;
    std::vector<std::pair<std::string, bool>> values;
    for (const Element& e : p->elements) values.emplace_back(e.name, e.name == element);
    return SendSwitches(device, property, values);
}

bool IndiClient::EnableBlobs(const std::string& device, const std::string& property) {
    if (!IsConnected()) return false;
    listener_->setBLOBMode(B_ALSO, device.c_str(), property.empty() ? nullptr : property.c_str());
    return true;
}

void IndiClient::SetBlobSink(BlobSink sink) {
    // The sink lives in the connection's shared state; a later Connect starts a new one, so
    // keep it for that too.
    blobSink_ = sink;
    std::lock_guard lock(shared_->sinkMutex);
    shared_->sink = std::move(sink);
}

std::pair<std::string, int> IndiClient::ParseServer(std::string_view text) {
    std::string host(text);
    int port = kDefaultPort;
    const size_t colon = host.rfind(':');
    if (colon != std::string::npos) {
        const std::string portText = host.substr(colon + 1);
        char* end = nullptr;
        const long value = std::strtol(portText.c_str(), &end, 10);
        if (!portText.empty() && end && *end == '\0' && value > 0 && value < 65536)
            port = static_cast<int>(value);
        host.erase(colon);
    }
    if (host.empty()) host = "localhost";
    return {host, port};
}

}  // namespace zorvane::indi
