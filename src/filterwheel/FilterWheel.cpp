#include "filterwheel/FilterWheel.h"

#include "platform/Clock.h"

namespace zorvane {

FilterWheel::FilterWheel(AutomationTransport& transport, Prompts& prompts)
    : sleep([](int ms) { SleepMilliseconds(ms); }), transport_(transport), prompts_(prompts) {}

FilterWheel::~FilterWheel() {
    Disconnect();
}

bool FilterWheel::Create() {
    Release();
    auto object = std::make_unique<AutomationObject>(transport_);
    if (!object->CreateFromProgId(kProgId, AutomationObject::kAllContexts, nullptr)) return false;
    object_ = std::move(object);
    return true;
}

bool FilterWheel::Connect(bool quiet) {
    if (Create()) {
        object_->PutProperty("Connected", 1);
        const Variant* v = object_->GetProperty("Connected");
        if (v && v->AsInt16() != 0) {
            inUse_ = true;
            return true;
        }
    }
    object_.reset();
    if (!quiet)
        prompts_.MessageBox("Cannot communicate with filterwheel", "Filterwheel",
                            MessageButtons::Ok, MessageIcon::None);
    return false;
}

bool FilterWheel::Disconnect() {
    Release();
    inUse_ = false;
    return true;
}

void FilterWheel::Release() {
    if (!object_) return;
    object_->PutProperty("Connected", 0);
    object_.reset();
}

bool FilterWheel::IsConnected() {
    if (!object_) return false;
    const Variant* v = object_->GetProperty("Connected");
    return v && v->AsInt16() != 0;
}

bool FilterWheel::SetPosition(int position) {
    if (!object_) return false;
    // What the server makes of it shows in the next read of the position.
    object_->PutProperty("Position", position);
    return true;
}

int FilterWheel::ReadPosition(bool& answered) {
    answered = false;
    if (!object_) return -1;
    const Variant* v = object_->GetProperty("Position");
    answered = v != nullptr;
    return v ? v->AsInt16() : -1;
}

int FilterWheel::GetPosition() {
    bool answered = false;
    return ReadPosition(answered);
}

int FilterWheel::SetPositionAndWait(int position) {
    if (!SetPosition(position)) return -1;
    for (int i = 0; i < kWaitSteps; ++i) {
        sleep(kWaitStepMs);
        bool answered = false;
        const int p = ReadPosition(answered);
        // A server that no longer answers will not finish the move: no use waiting on.
        if (!answered || p != -1) break;
    }
    return GetPosition();
}

int FilterWheel::GetPositionCount() {
    const auto names = GetFilterNames();
    return names ? static_cast<int>(names->size()) : -1;
}

std::optional<std::vector<std::string>> FilterWheel::GetFilterNames() {
    if (!object_) return std::nullopt;
    const Variant* names = object_->GetProperty("Names");
    if (!names || names->type != (vt::Array | vt::BStr)) return std::nullopt;
    return names->texts;
}

std::string FilterWheel::GetVersionText() {
    if (!object_) return {};
    const Variant* v = object_->GetProperty("Version");
    if (!v) return {};
    return "Using Wyrl assembly v" + v->AsText();
}

}  // namespace zorvane
