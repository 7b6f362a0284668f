#include <QApplication>

#include "ui/CMainFrame.h"
#include "ui/QtPrompts.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvane Capture"));

    // The connection questions come before the window exists, so they have no parent yet.
    zorvane::QtPrompts prompts;
    zorvane::AppOptions options;
    options.guiderSocket = true;  // other programs may drive the guider
    zorvane::CMainFrame frame(prompts, options);
    prompts.SetParent(&frame);
    frame.show();
    return app.exec();
}
