#include "support/VirtualEventLoop.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace zorvane::test {

void VirtualEventLoop::SetTimer(int id, unsigned milliseconds) {
    unsigned period = std::max(1u, milliseconds);
    timers_[id] = Timer{milliseconds, period, now_ + period, order_++};
}

void VirtualEventLoop::KillTimer(int id) {
    timers_.erase(id);
}

long VirtualEventLoop::RequestedPeriod(int id) const {
    auto it = timers_.find(id);
    return it == timers_.end() ? -1 : static_cast<long>(it->second.requested);
}

int VirtualEventLoop::FireCount(int id) const {
    auto it = fireCounts_.find(id);
    return it == fireCounts_.end() ? 0 : it->second;
}

void VirtualEventLoop::Post(std::function<void()> message) {
    std::lock_guard<std::mutex> lock(postedMutex_);
    posted_.push_back(std::move(message));
}

int VirtualEventLoop::DrainPosted() {
    int delivered = 0;
    for (;;) {
        std::function<void()> message;
        {
            std::lock_guard<std::mutex> lock(postedMutex_);
            if (posted_.empty()) break;
            message = std::move(posted_.front());
            posted_.pop_front();
        }
        message();
        ++delivered;
    }
    return delivered;
}

void VirtualEventLoop::SetNow(uint64_t t) {
    if (t == now_) return;
    now_ = t;
    if (clockListener_) clockListener_(now_);
}

void VirtualEventLoop::Advance(uint64_t ms) {
    // Time moves in steps of at most 1 ms so that whatever the clock listener posts (a camera
    // finishing a frame) is delivered at the time it happened.
    const uint64_t end = now_ + ms;
    for (;;) {
        DrainPosted();
        const uint64_t stepEnd = std::min(end, now_ + 1);
        // The earliest due timer within this step (ties: the one set first).
        int next = 0;
        const Timer* best = nullptr;
        for (const auto& [id, t] : timers_) {
            if (t.due > stepEnd) continue;
            if (!best || t.due < best->due || (t.due == best->due && t.order < best->order)) {
                best = &t;
                next = id;
            }
        }
        if (!best) {
            if (now_ >= end) break;
            SetNow(stepEnd);
            continue;
        }
        SetNow(std::max(now_, best->due));
        DrainPosted();
        auto it = timers_.find(next);
        if (it == timers_.end() || it->second.due > now_) continue;  // killed or reset meanwhile
        it->second.due = now_ + it->second.period;
        ++fireCounts_[next];
        if (handler_) handler_(next);
    }
    DrainPosted();
}

bool VirtualEventLoop::RunUntil(const std::function<bool()>& pred, uint64_t limitMs) {
    for (uint64_t i = 0; i < limitMs; ++i) {
        if (pred()) return true;
        Advance(1);
    }
    return pred();
}

bool VirtualEventLoop::RunInRealTime(const std::function<bool()>& pred, uint64_t limitMs) {
    using namespace std::chrono;
    const auto start = steady_clock::now();
    const uint64_t base = now_;
    while (!pred()) {
        const auto real =
            static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now() - start).count());
        if (real >= limitMs) return pred();
        if (base + real > now_) {
            Advance(base + real - now_);
        } else {
            DrainPosted();
            std::this_thread::sleep_for(milliseconds(1));
        }
    }
    return true;
}

}  // namespace zorvane::test
