#include "ui/WaitNote.h"

#include <QDialog>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

namespace zorvane {

namespace {

// Escape does not close it.
class Note : public QDialog {
public:
    using QDialog::QDialog;
    void reject() override {}
};

constexpr int kShowAfterMs = 300;

}  // namespace

void RunWithWaitNote(QWidget* parent, const QString& text, const std::function<void()>& calls) {
    Note note(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    note.setObjectName(QStringLiteral("waitNote"));
    note.setWindowTitle(QStringLiteral("Zorvane Capture"));
    note.setModal(true);
    auto* layout = new QVBoxLayout(&note);
    layout->addWidget(new QLabel(text, &note));
    auto* bar = new QProgressBar(&note);
    bar->setRange(0, 0);  // busy, without an end to show
    layout->addWidget(bar);
    note.setMinimumWidth(320);  // wide enough for the caption to be read whole

    QEventLoop loop;
    QTimer::singleShot(kShowAfterMs, &note, [&note] { note.show(); });
    std::thread worker([&] {
        calls();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Input goes nowhere meanwhile: the core is in the middle of a command.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
}

}  // namespace zorvane
