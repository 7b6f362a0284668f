#include <QApplication>
#include <cstdio>
#include <cstring>

#include "core/Version.h"
#include "ui/CMainFrame.h"
#include "ui/QtPrompts.h"

int main(int argc, char** argv) {
    // The one option, answered before Qt looks for a display, so it works on any terminal.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("zorvane-capture %s\n", ZORVANE_VERSION);
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvane Capture"));
    QApplication::setApplicationVersion(QStringLiteral(ZORVANE_VERSION));
    // Lets the desktop match the window to its menu entry and icon.
    QApplication::setDesktopFileName(QStringLiteral(ZORVANE_APP_ID));

    // The connection questions come before the window exists, so they have no parent yet.
    zorvane::QtPrompts prompts;
    zorvane::AppOptions options;
    options.guiderSocket = true;  // other programs may drive the guider
    zorvane::CMainFrame frame(prompts, options);
    prompts.SetParent(&frame);
    frame.show();
    return app.exec();
}
