#include "telescope/TelescopeLink.h"

#include <chrono>

#include "settings/SettingsValues.h"

namespace zorvane {

TelescopeLink::TelescopeLink(AutomationTransport& transport, SleepingClock& clock)
    : transport_(transport), clock_(clock) {}

// The driver object goes without a "Connected" false: the mount stays as it is.
TelescopeLink::~TelescopeLink() = default;

bool TelescopeLink::IsChooserInstalled() {
    AutomationObject chooser(transport_);
    return chooser.CreateFromProgId(kChooserProgId);
}

bool TelescopeLink::ChooseDriver() {
    scopeId_.clear();
    AutomationObject chooser(transport_);
    if (!chooser.CreateFromProgId(kChooserProgId)) return false;
    chooser.PutPropertyRef("DeviceType", "Telescope");
    // An empty id: the chooser opens with no driver preselected.
    if (const Variant* chosen = chooser.CallMethod("Choose", scopeId_)) scopeId_ = chosen->AsText();
    CloseDriver();
    return !scopeId_.empty() && OpenDriver();
}

bool TelescopeLink::OpenDriver() {
    if (driver_) return true;
    if (scopeId_.empty()) return ChooseDriver();
    auto driver = std::make_unique<AutomationObject>(transport_);
    if (!driver->CreateFromProgId(scopeId_)) return false;
    driver_ = std::move(driver);
    return true;
}

bool TelescopeLink::CloseDriver() {
    if (driver_) {
        driver_->PutProperty("Connected", 0);
        driver_.reset();
    }
    return true;
}

bool TelescopeLink::SetConnected() {
    return driver_ && driver_->PutProperty("Connected", 1);
}

bool TelescopeLink::SupportsPulseGuide() {
    if (!driver_) return false;
    const Variant* can = driver_->GetProperty("CanPulseGuide");
    return can && can->AsInt16() != 0;
}

bool TelescopeLink::PulseGuideAndWait(int direction, unsigned ms) {
    lastPulseTimedOut_ = false;
    if (!driver_ || direction < 0 || direction > 3) return false;
    if (!driver_->CallMethod("PulseGuide", direction, ms)) return false;
    const uint64_t deadline = clock_.Milliseconds() + ms + kPulseMarginMs;
    for (;;) {
        const Variant* guiding = driver_->GetProperty("IsPulseGuiding");
        if (!guiding || guiding->AsInt16() == 0) return true;
        if (clock_.Milliseconds() >= deadline) {
            lastPulseTimedOut_ = true;
            return true;
        }
        clock_.Sleep(kPollMs);
    }
}

std::optional<Equatorial> TelescopeLink::CurrentPointing() {
    if (!driver_) return std::nullopt;
    const Variant* connected = driver_->GetProperty("Connected");
    if (!connected || connected->AsInt16() == 0) return std::nullopt;
    const Variant* ra = driver_->GetProperty("RightAscension");
    if (!ra || ra->type != vt::R8) return std::nullopt;
    const double hours = ra->real;
    const Variant* dec = driver_->GetProperty("Declination");
    if (!dec || dec->type != vt::R8) return std::nullopt;
    const double degrees = dec->real;
    if (!(hours >= 0 && hours <= 24 && degrees >= -90 && degrees <= 90)) return std::nullopt;
    const double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    return PrecessToJ2000({hours * 15.0, degrees}, CenturiesSinceJ2000(now));
}

void TelescopeLink::LoadScopeID(const SettingsValues& settings) {
    scopeId_ = settings.ascomScopeId;
}

void TelescopeLink::SaveScopeID(SettingsValues& settings) const {
    settings.ascomScopeId = scopeId_;
}

std::string TelescopeLink::ShortName(const std::string& scopeId) {
    const size_t dot = scopeId.find('.');
    return dot == std::string::npos || dot == 0 ? scopeId : scopeId.substr(0, dot);
}

std::string TelescopeLink::DriverName(const std::string& scopeId) {
    return scopeId.empty() ? "ASCOM" : ShortName(scopeId);
}

}  // namespace zorvane
