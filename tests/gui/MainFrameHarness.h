#pragma once

// Shared set-up of the main-window test programs: a private home and configuration folder (so
// no test touches the real user's settings), the simulated camera's test controls, and a way
// to answer the modal boxes the window opens.

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/CaptureApp.h"
#include "support/ScriptedPrompts.h"
#include "support/SimHarness.h"
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
