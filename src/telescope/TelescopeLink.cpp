#include "telescope/TelescopeLink.h"

#include <chrono>

#include "settings/SettingsValues.h"

namespace zorvane {

TelescopeLink::TelescopeLink(AutomationTransport& transport, Clock& clock, TimerService& timers,
                             int timerId, BackgroundWork& work)
    : transport_(transport), clock_(clock), timers_(timers), timerId_(timerId), work_(work) {}

// The driver object goes without a "Connected" false: the mount stays as it is.
TelescopeLink::~TelescopeLink() {
    *alive_ = false;
    if (timerSet_) timers_.KillTimer(timerId_);
    if (driver_) LetGo(std::move(driver_), false);
}

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
    return !scopeId_.empty();
}

void TelescopeLink::Connect(std::function<void(Connection)> done) {
    if (connecting_) ++attempt_;  // the earlier one is given up
    connecting_ = true;
    connected_ = std::move(done);
    const int attempt = ++attempt_;
    // The driver is the connect's until it has finished: nothing else calls it meanwhile.
    work_.Run([&transport = transport_, id = scopeId_, driver = std::move(driver_), alive = alive_,
               this, attempt]() mutable -> BackgroundWork::Finish {
        Connection how = Connection::NotCreated;
        if (!driver && !id.empty()) {
            auto made = std::make_shared<AutomationObject>(transport);
            if (made->CreateFromProgId(id)) driver = std::move(made);
        }
        if (driver) {
            how = Connection::NotConnected;
            if (driver->PutProperty("Connected", 1)) {
                const Variant* can = driver->GetProperty("CanPulseGuide");
                how = can && can->AsInt16() != 0 ? Connection::Ready : Connection::CannotGuide;
            }
        }
        return [this, alive, attempt, driver, how] {
            if (*alive) Connected(attempt, driver, how);
        };
    });
    driver_.reset();
}

void TelescopeLink::Connected(int attempt, std::shared_ptr<AutomationObject> driver,
                              Connection how) {
    if (attempt != attempt_) {
        // Closed meanwhile: the driver goes as a closed one does.
        if (driver) LetGo(std::move(driver), true);
        return;
    }
    connecting_ = false;
    driver_ = std::move(driver);
    const auto done = std::move(connected_);
    connected_ = nullptr;
    if (done) done(how);
}

void TelescopeLink::LetGo(std::shared_ptr<AutomationObject> driver, bool disconnect) {
    // Letting go of a server connection waits a moment for the server to end its side.
    work_.Run([driver = std::move(driver), disconnect]() mutable {
        if (disconnect) driver->PutProperty("Connected", 0);
        driver.reset();
        return BackgroundWork::Finish{};
    });
}

bool TelescopeLink::CloseDriver() {
    if (connecting_) {
        connecting_ = false;
        connected_ = nullptr;
        ++attempt_;
    }
    for (Pulse& p : pulses_) {
        if (p.ended) continue;
        p.ended = true;
        p.end = PulseEnd::Dropped;
    }
    if (!pulses_.empty()) EnsureTimer();
    if (driver_) LetGo(std::move(driver_), true);
    driver_.reset();
    return true;
}

bool TelescopeLink::SupportsPulseGuide() {
    if (!driver_) return false;
    const Variant* can = driver_->GetProperty("CanPulseGuide");
    return can && can->AsInt16() != 0;
}

void TelescopeLink::PulseGuide(int direction, unsigned ms, std::function<void(PulseEnd)> done) {
    pulses_.push_back({direction, ms, std::move(done)});
    if (pulses_.size() == 1) Send(pulses_.front());
    EnsureTimer();
}

void TelescopeLink::Send(Pulse& p) {
    p.running = p.direction >= 0 && p.direction <= 3 && driver_ &&
                driver_->CallMethod("PulseGuide", p.direction, p.ms);
    if (p.running) {
        p.deadline = clock_.Milliseconds() + p.ms + kPulseMarginMs;
    } else {
        p.ended = true;
        p.end = PulseEnd::Refused;
    }
}

void TelescopeLink::EnsureTimer() {
    if (timerSet_) return;
    timers_.SetTimer(timerId_, kPollMs);
    timerSet_ = true;
}

void TelescopeLink::OnTimer() {
    if (!pulses_.empty() && pulses_.front().running && !pulses_.front().ended) {
        Pulse& p = pulses_.front();
        const Variant* guiding = driver_ ? driver_->GetProperty("IsPulseGuiding") : nullptr;
        if (guiding && guiding->AsInt16() != 0) {
            if (clock_.Milliseconds() < p.deadline) return;
            p.end = PulseEnd::TimedOut;
        } else {
            p.end = PulseEnd::Ended;
        }
        p.ended = true;
    }
    // Tell whoever asked for a pulse that has ended, and send the next one.
    const std::shared_ptr<bool> alive = alive_;
    while (!pulses_.empty()) {
        Pulse& p = pulses_.front();
        if (!p.ended && !p.running) Send(p);
        if (!p.ended) return;
        const auto done = std::move(p.done);
        const PulseEnd end = p.end;
        pulses_.pop_front();
        // It may ask for the next pulse, or close the driver.
        if (done) done(end);
        if (!*alive) return;
    }
    timers_.KillTimer(timerId_);
    timerSet_ = false;
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
