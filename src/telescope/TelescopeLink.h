#pragma once

#include <memory>
#include <optional>
#include <string>

#include "automation/AutomationObject.h"
#include "core/Clock.h"
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
// pulses. Every call runs on the user-interface thread; a pulse blocks it for the pulse's
// length, never much longer (see PulseGuideAndWait).
class TelescopeLink {
public:
    static constexpr const char* kChooserProgId = "DriverHelper.Chooser";
    static constexpr const char* kSection = "Ascom";
    static constexpr const char* kKey = "ScopeID";
    // How often a running pulse is asked whether it has ended.
    static constexpr unsigned kPollMs = 10;
    // How much longer than its own length a pulse is waited for before it counts as ended.
    static constexpr unsigned kPulseMarginMs = 2000;

    TelescopeLink(AutomationTransport& transport, SleepingClock& clock);
    // Lets go of the driver without disconnecting the mount.
    ~TelescopeLink();
    TelescopeLink(const TelescopeLink&) = delete;
    TelescopeLink& operator=(const TelescopeLink&) = delete;

    // Whether the driver chooser can be created (it is released again at once).
    bool IsChooserInstalled();
    // Lets the user pick a driver with the chooser (none preselected) and opens it. False when
    // the chooser cannot be created, is cancelled, or the chosen driver cannot be opened; the
    // ScopeID is empty after a cancel.
    bool ChooseDriver();
    // Opens the ScopeID's driver (choosing one first when the ScopeID is empty); nothing when a
    // driver is open already. True when a driver is open afterwards.
    bool OpenDriver();
    // Disconnects and lets go of the open driver, if any. Always true.
    bool CloseDriver();
    bool DriverOpen() const { return driver_ != nullptr; }
    // Connects the mount; false without an open driver or when the driver refuses.
    bool SetConnected();
    // The driver says the mount takes timed guide pulses.
    bool SupportsPulseGuide();

    // Sends a guide pulse (direction 0..3, ms milliseconds) and waits until the driver reports
    // it has ended, polling every 10 ms, but never longer than the pulse plus 2 s: a driver that
    // never reports the end would otherwise hold the program for the rest of the night. A
    // timeout, or a driver that stops answering the poll, counts as the end of the pulse.
    // True when the pulse was sent; false without an open driver, for a direction outside
    // 0..3, or when the driver refused or did not answer the pulse (the INDI server died).
    bool PulseGuideAndWait(int direction, unsigned ms);
    // Whether the last pulse's wait ran out before the driver reported the end.
    bool LastPulseTimedOut() const { return lastPulseTimedOut_; }

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
    AutomationTransport& transport_;
    SleepingClock& clock_;
    std::string scopeId_ = "test";
    std::unique_ptr<AutomationObject> driver_;
    bool lastPulseTimedOut_ = false;
};

}  // namespace zorvane
