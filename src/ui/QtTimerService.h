#pragma once

#include <QObject>
#include <functional>
#include <map>

#include "core/TimerService.h"

namespace zorvane {

// Window timers over Qt: one periodic Qt timer per id. Setting an id that runs restarts it with
// the new period; firing calls the handler with the id on the GUI thread.
class QtTimerService : public QObject, public TimerService {
    Q_OBJECT
public:
    using Handler = std::function<void(int id)>;

    explicit QtTimerService(QObject* parent = nullptr) : QObject(parent) {}
    ~QtTimerService() override;

    void SetHandler(Handler handler) { handler_ = std::move(handler); }

    void SetTimer(int id, unsigned milliseconds) override;
    void KillTimer(int id) override;
    bool IsTimerSet(int id) const { return running_.count(id) != 0; }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    Handler handler_;
    std::map<int, int> running_;  // our id -> Qt's timer id
};

}  // namespace zorvane
