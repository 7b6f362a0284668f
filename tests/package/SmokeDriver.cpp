// Loaded with LD_PRELOAD into an installed zorvane-capture by the installation smoke test, and
// never installed itself. Once the window is up with its camera connected it does what a user
// would: switches autosave on and presses Snapshot. When the frame's file is in
// $ZORVANE_SMOKE_DIR it prints which simulated camera library the program loaded and the
// file's name, and closes the window.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "core/CommandIds.h"

namespace {

constexpr qint64 kGiveUpMs = 60000;

[[noreturn]] void Fail(const char* why) {
    std::fprintf(stderr, "smoke: %s\n", why);
    std::fflush(stderr);
    // Not a normal exit: a message box left open must not hold the test up.
    std::_Exit(3);
}

// The path the library `file` was loaded from, read from the process's own mappings.
QString LoadedFrom(const QByteArray& file) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) return {};
    for (const QByteArray& line : maps.readAll().split('\n')) {
        const qsizetype slash = line.indexOf('/');
        if (slash >= 0 && line.endsWith('/' + file)) return QString::fromLocal8Bit(line.mid(slash));
    }
    return {};
}

QMainWindow* ShownMainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<QMainWindow*>(w); window && window->isVisible())
            return window;
    }
    return nullptr;
}

void Drive() {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(
        timer, &QTimer::timeout,
        [timer, clock = QElapsedTimer(), pressed = false,
         frames = QDir(qEnvironmentVariable("ZORVANE_SMOKE_DIR"))]() mutable {
            if (!clock.isValid()) clock.start();
            if (clock.elapsed() > kGiveUpMs)
                Fail(pressed ? "no frame was saved" : "the camera never connected");
            QMainWindow* window = ShownMainWindow();
            if (!window) return;
            if (!pressed) {
                auto* snapshot =
                    window->findChild<QAction*>(QString::number(zorvane::ids::ID_CAMERA_SNAPSHOT));
                auto* autosave =
                    window->findChild<QAction*>(QString::number(zorvane::ids::ID_FILE_AUTOSAVE));
                if (!snapshot || !autosave) Fail("the window has no Snapshot or Autosave command");
                if (!snapshot->isEnabled()) return;  // the camera is not connected yet
                if (!autosave->isChecked()) autosave->trigger();
                snapshot->trigger();
                pressed = true;
                return;
            }
            // Files are written on this thread, so one that is listed is complete.
            const QStringList saved = frames.entryList({QStringLiteral("*.fit")}, QDir::Files);
            if (saved.isEmpty()) return;
            timer->stop();
            std::printf("smoke: camera library %s\nsmoke: frame %s\n",
                        qPrintable(LoadedFrom("libZorvaneCCDDummy.so")),
                        qPrintable(frames.filePath(saved.first())));
            std::fflush(stdout);
            window->close();
        });
    timer->start(20);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Drive)
