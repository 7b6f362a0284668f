#include <QApplication>

#include "ui/CMainFrame.h"
#include "ui/QtPrompts.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zorvane Capture"));

    // The connection questions come before the window exists, so they have no parent yet.
    zorvane::QtPrompts prompts;
    zorvane::CMainFrame frame(prompts);
    prompts.SetParent(&frame);
    frame.show();
    return app.exec();
}
