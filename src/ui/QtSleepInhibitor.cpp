#include "ui/QtSleepInhibitor.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QVariant>

namespace zorvane {

namespace {

// A desktop that does not answer must not hold up the start of an exposure for long.
constexpr int kCallTimeoutMs = 1000;
const QString kScreenSaverService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kLogindService = QStringLiteral("org.freedesktop.login1");

bool HasService(QDBusConnection& bus, const QString& name) {
    if (!bus.isConnected()) return false;
    QDBusConnectionInterface* daemon = bus.interface();
    return daemon && daemon->isServiceRegistered(name).value();
}

}  // namespace

QtSleepInhibitor::QtSleepInhibitor()
    : QtSleepInhibitor(QDBusConnection::sessionBus(), QDBusConnection::systemBus()) {}

QtSleepInhibitor::QtSleepInhibitor(QDBusConnection sessionBus, QDBusConnection systemBus)
    : session_(std::move(sessionBus)), system_(std::move(systemBus)) {}

QtSleepInhibitor::~QtSleepInhibitor() {
    Release();
}

bool QtSleepInhibitor::Inhibit(const std::string& reason) {
    if (Held()) return true;
    const QString why = QString::fromStdString(reason);
    return InhibitScreenSaver(why) || InhibitLogind(why);
}

bool QtSleepInhibitor::InhibitScreenSaver(const QString& reason) {
    if (!HasService(session_, kScreenSaverService)) return false;
    // Desktops register the interface at one of these two paths.
    for (const QString& path :
         {QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("/ScreenSaver")}) {
        QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, path,
                                                           kScreenSaverService, "Inhibit");
        call << QStringLiteral("Zorvane Capture") << reason;
        const QDBusReply<uint> reply = session_.call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.isValid()) {
            cookie_ = reply.value();
            cookiePath_ = path;
            return true;
        }
    }
    return false;
}

bool QtSleepInhibitor::InhibitLogind(const QString& reason) {
    if (!HasService(system_, kLogindService)) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kLogindService, QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QStringLiteral("Zorvane Capture") << reason
         << QStringLiteral("block");
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        system_.call(call, QDBus::Block, kCallTimeoutMs);
    if (!reply.isValid() || !reply.value().isValid()) return false;
    logindLock_ = reply.value();
    return true;
}

void QtSleepInhibitor::Release() {
    if (cookie_) {
        QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, cookiePath_,
                                                           kScreenSaverService, "UnInhibit");
        call << *cookie_;
        // No answer is needed: a session that has gone has dropped the inhibitor with it.
        session_.send(call);
        cookie_.reset();
    }
    logindLock_ = QDBusUnixFileDescriptor();
}

}  // namespace zorvane
