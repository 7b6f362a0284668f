#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "automation/AutomationObject.h"
#include "core/BackgroundWork.h"
#include "core/Clock.h"
#include "core/TimerService.h"
#include "telescope/Precession.h"

namespace zorvane {

struct SettingsValues;

// Guide directions, the same codes for the telescope link and the camera's guide port; the
// opposite of direction d is d ^ 1.
namespace guide {
constexpr int North = 0;
constexpr int South = 1;
constexpr int East = 2;
constexpr int West = 3;
}  // namespace guide

// The telescope side of guiding: which telescope driver to use (its ScopeID), picking one with
// the driver chooser, opening and connecting it through the automation client, and timed guide
// pulses. Nothing here holds up the window: the driver is opened and connected in the
// background, and a pulse is followed on the link's timer until the mount reports its end.
class TelescopeLink {
public:
    static constexpr const char* kChooserProgId = "DriverHelper.Chooser";
    static constexpr const char* kSection = "Ascom";
    static constexpr const char* kKey = "ScopeID";
    // How often a running pulse is asked whether it has ended.
    static constexpr unsigned kPollMs = 10;
    // How much longer than its own length a pulse is waited for before it counts as ended.
    static constexpr unsigned kPulseMarginMs = 2000;

    // How a connect ended: no driver could be made for the ScopeID, the mount did not connect,
    // it connected but takes no guide pulses, or it is ready to guide.
    enum class Connection { NotCreated, NotConnected, CannotGuide, Ready };
    // How a pulse ended: the mount said so, or the wait ran out (both count as the end of the
    // pulse); the driver refused it or did not answer (the INDI server died); or it was dropped
    // unsent, or its wait given up, because the driver was closed.
    enum class PulseEnd { Ended, TimedOut, Refused, Dropped };

    TelescopeLink(AutomationTransport& transport, Clock& clock, TimerService& timers, int timerId,
                  BackgroundWork& work);
    // Lets go of the driver without disconnecting the mount.
    ~TelescopeLink();
    TelescopeLink(const TelescopeLink&) = delete;
    TelescopeLink& operator=(const TelescopeLink&) = delete;

    // Whether the driver chooser can be created (it is released again at once).
    bool IsChooserInstalled();
    // Lets the user pick a driver with the chooser (none preselected); the driver open before
    // is closed. False when the chooser cannot be created or is cancelled: the ScopeID is then
    // empty.
    bool ChooseDriver();
    // Opens the ScopeID's driver (or takes the one open), connects the mount and asks whether
    // it takes guide pulses, all in the background; done(how) follows. The driver stays open
    // whatever the outcome, until CloseDriver.
    void Connect(std::function<void(Connection)> done);
    bool Connecting() const { return connecting_; }
    // Disconnects and lets go of the open driver, if any. A connect under way is given up (its
    // outcome is never reported) and the pulses not yet ended are dropped. Always true.
    bool CloseDriver();
    bool DriverOpen() const { return driver_ != nullptr; }
    // The open driver says the mount takes timed guide pulses (from what the link last heard of
    // it: no wait). False while a connect is under way.
    bool SupportsPulseGuide();

    // Sends a guide pulse (direction 0..3, ms milliseconds) once the pulses asked for before
    // it have ended, then asks the driver every 10 ms whether it has ended, but never longer
    // than the pulse plus 2 s: a driver that never reports the end would otherwise hold guiding
    // for the rest of the night. A driver that stops answering the question counts as having
    // ended it. done(how) always follows, from the link's timer, never within this call.
    void PulseGuide(int direction, unsigned ms, std::function<void(PulseEnd)> done);
    bool Pulsing() const { return !pulses_.empty(); }
    // The link's timer.
    void OnTimer();

    // Where the connected mount points now, carried from the mount's coordinates of date to
    // J2000. None without an open, connected driver or when it cannot tell.
    std::optional<Equatorial> CurrentPointing();

    // [Ascom] ScopeID of the settings: taken at start, handed back when the settings are saved.
    void LoadScopeID(const SettingsValues& settings);
    void SaveScopeID(SettingsValues& settings) const;
    const std::string& ScopeId() const { return scopeId_; }
    void SetScopeId(std::string id) { scopeId_ = std::move(id); }

    // The driver's name as the user sees it: the ScopeID up to its first "." (the whole ScopeID
    // when it starts with one); "ASCOM" when no driver has been chosen.
    std::string DriverName() const { return DriverName(scopeId_); }
    static std::string DriverName(const std::string& scopeId);
    // The same cut without the "ASCOM" for an empty ScopeID, as messages name the driver.
    static std::string ShortName(const std::string& scopeId);

private:
    struct Pulse {
        int direction;
        unsigned ms;
        std::function<void(PulseEnd)> done;
        bool running = false;
        bool ended = false;
        PulseEnd end = PulseEnd::Ended;
        uint64_t deadline = 0;
    };

    void Connected(int attempt, std::shared_ptr<AutomationObject> driver, Connection how);
    // Hands the driver to the background to be let go, after "Connected" false if asked.
    void LetGo(std::shared_ptr<AutomationObject> driver, bool disconnect);
    void Send(Pulse& pulse);
    void EnsureTimer();

    AutomationTransport& transport_;
    Clock& clock_;
    TimerService& timers_;
    int timerId_;
    BackgroundWork& work_;
    std::string scopeId_ = "test";
    std::shared_ptr<AutomationObject> driver_;
    bool connecting_ = false;
    int attempt_ = 0;
    std::function<void(Connection)> connected_;
    std::deque<Pulse> pulses_;
    bool timerSet_ = false;
    // Outcomes that arrive after the link is gone are dropped.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace zorvane
