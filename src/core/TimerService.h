#pragma once

namespace zorvane {

// Window-timer semantics: SetTimer(id, ms) (re)starts a periodic timer that keeps firing until
// KillTimer(id); setting a running id again restarts it with the new period. Firing is delivered
// to the owner's OnTimer(id) on the GUI thread.
class TimerService {
public:
    virtual ~TimerService() = default;
    virtual void SetTimer(int id, unsigned milliseconds) = 0;
    virtual void KillTimer(int id) = 0;
};

}  // namespace zorvane
