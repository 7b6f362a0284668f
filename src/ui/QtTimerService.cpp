#include "ui/QtTimerService.h"

#include <QTimerEvent>

namespace zorvane {

QtTimerService::~QtTimerService() {
    for (const auto& [id, qtId] : running_) killTimer(qtId);
}

void QtTimerService::SetTimer(int id, unsigned milliseconds) {
    KillTimer(id);
    // The poll timers ask for 1 ms; a coarse timer would stretch every frame by its slack.
    const int qtId = startTimer(static_cast<int>(milliseconds), Qt::PreciseTimer);
    if (qtId != 0) running_[id] = qtId;
}

void QtTimerService::KillTimer(int id) {
    const auto it = running_.find(id);
    if (it == running_.end()) return;
    killTimer(it->second);
    running_.erase(it);
}

void QtTimerService::timerEvent(QTimerEvent* event) {
    for (const auto& [id, qtId] : running_) {
        if (qtId == event->timerId()) {
            const int ours = id;  // the handler may kill or restart it
            if (handler_) handler_(ours);
            return;
        }
    }
    QObject::timerEvent(event);
}

}  // namespace zorvane
