#pragma once

// Shared set-up of the main-window test programs: a private home and configuration folder (so
// no test touches the real user's settings), the simulated camera's test controls, and a way
// to answer the modal boxes the window opens.

#include <dlfcn.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "../../sim/zorvane_sim.h"
#include "app/CaptureApp.h"
#include "support/ScriptedPrompts.h"
#include "ui/CMainFrame.h"

namespace zorvane::test {

// Points HOME and XDG_CONFIG_HOME at a folder that lives as long as the program. Call it
// before anything reads them (the simulated camera reads its options file once).
inline QString IsolateHome() {
    static QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    QDir().mkpath(home.path() + "/.config");
    qunsetenv("ZORVANE_SIM");
    return home.path();
}

// The folder with the program's libraries: the simulated camera and the fixtures.
inline QString BinDir() {
    return QCoreApplication::applicationDirPath();
}

// The simulated camera's test controls, from the same loaded library the program uses.
class SimControls {
public:
    SimControls() {
        const QByteArray path = (BinDir() + "/libZorvaneCCDDummy.so").toLocal8Bit();
        handle_ = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_) return;
        configure_ =
            reinterpret_cast<ZorvaneSimConfigure_fn>(dlsym(handle_, "ZorvaneSimConfigure"));
        virtualClock_ = reinterpret_cast<ZorvaneSimUseVirtualClock_fn>(
            dlsym(handle_, "ZorvaneSimUseVirtualClock"));
        setTime_ = reinterpret_cast<ZorvaneSimSetTime_fn>(dlsym(handle_, "ZorvaneSimSetTime"));
        callLog_ = reinterpret_cast<ZorvaneSimCallLog_fn>(dlsym(handle_, "ZorvaneSimCallLog"));
        clearLog_ =
            reinterpret_cast<ZorvaneSimClearCallLog_fn>(dlsym(handle_, "ZorvaneSimClearCallLog"));
        callCount_ =
            reinterpret_cast<ZorvaneSimCallCount_fn>(dlsym(handle_, "ZorvaneSimCallCount"));
    }
    ~SimControls() {
        if (handle_) dlclose(handle_);
    }
    SimControls(const SimControls&) = delete;
    SimControls& operator=(const SimControls&) = delete;

    bool Loaded() const { return handle_ && configure_ && virtualClock_ && setTime_; }
    // Power-on state with these options, on a virtual clock starting at 0 ms.
    void Reset(const char* options) {
        configure_(options);
        virtualClock_(1);
        now_ = 0;
    }
    void Advance(uint64_t ms) { setTime_(now_ += ms); }
    QString CallLog() const {
        const int32_t n = callLog_(nullptr, 0);
        QByteArray text(n + 1, '\0');
        callLog_(text.data(), n + 1);
        return QString::fromLatin1(text.constData());
    }
    void ClearCallLog() { clearLog_(); }
    int CallCount(const char* entryPoint) const { return callCount_(entryPoint); }

private:
    void* handle_ = nullptr;
    uint64_t now_ = 0;
    ZorvaneSimConfigure_fn configure_ = nullptr;
    ZorvaneSimUseVirtualClock_fn virtualClock_ = nullptr;
    ZorvaneSimSetTime_fn setTime_ = nullptr;
    ZorvaneSimCallLog_fn callLog_ = nullptr;
    ZorvaneSimClearCallLog_fn clearLog_ = nullptr;
    ZorvaneSimCallCount_fn callCount_ = nullptr;
};

// Start-up options for one window: libraries from `libraryDir`, settings in a fresh folder.
struct WindowFolders {
    QTemporaryDir settings;
    AppOptions Options(const QString& libraryDir) const {
        AppOptions o;
        o.librarySearchDirs = {libraryDir.toStdString()};
        o.settingsPath = (settings.path() + "/ZorvaneCapture.ini").toStdString();
        o.machineConfigPath = (settings.path() + "/machine.ini").toStdString();
        return o;
    }
};

// Runs `inspect` on the next modal dialog once it is showing, then (unless `inspect` answers
// it itself, `accept` false) closes it with accept().
inline void WhenModalShows(std::function<void(QWidget*)> inspect, bool accept = true) {
    auto* timer = new QTimer;
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [timer, accept, inspect = std::move(inspect)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        timer->stop();
        timer->deleteLater();
        inspect(modal);
        if (!accept) return;
        if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->accept();
    });
    timer->start();
}

inline QString LabelText(QWidget* dialog, const char* name) {
    auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

}  // namespace zorvane::test

// main() of a main-window test program: isolated home, offscreen unless told otherwise.
#define ZORVANE_GUI_TEST_MAIN(TestClass)                    \
    int main(int argc, char** argv) {                       \
        zorvane::test::IsolateHome();                       \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) \
            qputenv("QT_QPA_PLATFORM", "offscreen");        \
        QApplication app(argc, argv);                       \
        TestClass test;                                     \
        return QTest::qExec(&test, argc, argv);             \
    }
