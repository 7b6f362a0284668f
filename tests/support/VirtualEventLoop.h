#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "core/Clock.h"
#include "core/EventPoster.h"
#include "core/TimerService.h"

namespace zorvane::test {

// A GUI thread in virtual time: window timers that fire only when the test advances the clock
// (which is also the core's clock), and a queue of posted messages (which may be posted from any
// thread) delivered between timer firings. Timer periods below 1 ms fire after 1 ms, as the
// shortest period a system gives.
class VirtualEventLoop : public TimerService, public EventPoster, public Clock {
public:
    using TimerHandler = std::function<void(int id)>;

    void SetTimerHandler(TimerHandler handler) { handler_ = std::move(handler); }
    // Called whenever virtual time moves, with the new time (for example to move a simulated
    // camera's clock along).
    void SetClockListener(std::function<void(uint64_t nowMs)> listener) {
        clockListener_ = std::move(listener);
    }

    void SetTimer(int id, unsigned milliseconds) override;
    void KillTimer(int id) override;

    bool IsTimerSet(int id) const { return timers_.count(id) != 0; }
    // The period last requested for a running timer; -1 when it is not set.
    long RequestedPeriod(int id) const;
    // How often a timer has fired since the start (or since ResetCounts).
    int FireCount(int id) const;
    void ResetCounts() { fireCounts_.clear(); }

    uint64_t Now() const { return now_; }
    uint64_t Milliseconds() override { return now_; }

    // Thread-safe: queue a message for the loop.
    void Post(std::function<void()> message);
    void PostToGuiThread(std::function<void()> message) override { Post(std::move(message)); }
    // Delivers every queued message (and the ones they queue) at the current time.
    int DrainPosted();

    // Moves time forward by ms, delivering posted messages and firing due timers in order of
    // their due time (ties in order of setting).
    void Advance(uint64_t ms);
    // Advances in 1 ms steps until pred() holds or limitMs have passed; true when it held.
    bool RunUntil(const std::function<bool()>& pred, uint64_t limitMs);
    // Moves time along with the real clock until pred() holds or limitMs real milliseconds have
    // passed: for devices on real servers, which answer in real time.
    bool RunInRealTime(const std::function<bool()>& pred, uint64_t limitMs);

private:
    struct Timer {
        unsigned requested;
        unsigned period;
        uint64_t due;
        uint64_t order;
    };
    void SetNow(uint64_t t);

    TimerHandler handler_;
    std::function<void(uint64_t)> clockListener_;
    std::map<int, Timer> timers_;
    std::map<int, int> fireCounts_;
    uint64_t now_ = 0;
    uint64_t order_ = 0;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace zorvane::test
