#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QString>
#include <optional>

#include "core/SleepInhibitor.h"

namespace zorvane {

// The desktop session's inhibitor over D-Bus: the freedesktop screen saver's Inhibit on the
// session bus (the desktop then neither blanks nor suspends for idleness), else logind's
// "sleep:idle" block lock on the system bus. Where neither bus is there nothing is held and
// nothing is said: the exposures run as before.
class QtSleepInhibitor : public SleepInhibitor {
public:
    QtSleepInhibitor();
    // For tests: the two buses to use (a connection that is not connected stands for none).
    QtSleepInhibitor(QDBusConnection sessionBus, QDBusConnection systemBus);
    ~QtSleepInhibitor() override;
    QtSleepInhibitor(const QtSleepInhibitor&) = delete;
    QtSleepInhibitor& operator=(const QtSleepInhibitor&) = delete;

    bool Inhibit(const std::string& reason) override;
    void Release() override;
    bool Held() const override { return cookie_.has_value() || logindLock_.isValid(); }

private:
    bool InhibitScreenSaver(const QString& reason);
    bool InhibitLogind(const QString& reason);

    QDBusConnection session_;
    QDBusConnection system_;
    std::optional<uint> cookie_;
    QString cookiePath_;
    QDBusUnixFileDescriptor logindLock_;  // the lock lasts while this descriptor is open
};

}  // namespace zorvane
