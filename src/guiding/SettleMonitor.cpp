#include "guiding/SettleMonitor.h"

namespace zorvane {

namespace {
uint64_t Ms(double seconds) {
    return seconds <= 0 ? 0 : static_cast<uint64_t>(seconds * 1000.0 + 0.5);
}
}  // namespace

void SettleMonitor::Begin(const SettleSpec& rule, uint64_t nowMs) {
    active_ = true;
    rule_ = rule;
    beganMs_ = nowMs;
    insideSinceMs_.reset();
    frames_ = dropped_ = 0;
}

SettleMonitor::Update SettleMonitor::Frame(uint64_t nowMs, double distance) {
    ++frames_;
    if (distance <= rule_.pixels) {
        if (!insideSinceMs_) insideSinceMs_ = nowMs;
    } else {
        insideSinceMs_.reset();
    }
    return Progress(nowMs, distance, true);
}

SettleMonitor::Update SettleMonitor::Dropped(uint64_t nowMs) {
    ++frames_;
    ++dropped_;
    insideSinceMs_.reset();
    return Progress(nowMs, 0.0, false);
}

SettleMonitor::Update SettleMonitor::Progress(uint64_t nowMs, double distance, bool locked) {
    Update u;
    const double settled = insideSinceMs_ ? (nowMs - *insideSinceMs_) / 1000.0 : 0.0;
    u.settling = SettlingEvent{distance, settled, rule_.time, locked};
    if (insideSinceMs_ && nowMs - *insideSinceMs_ >= Ms(rule_.time)) {
        u.done = Finish(0, {});
    } else if (auto failed = Tick(nowMs)) {
        u.done = failed;
    }
    return u;
}

std::optional<SettleDoneEvent> SettleMonitor::Tick(uint64_t nowMs) {
    if (!active_ || nowMs - beganMs_ < Ms(rule_.timeout)) return std::nullopt;
    return Finish(1, "timed out waiting for the guider to settle");
}

SettleDoneEvent SettleMonitor::Cancel(const std::string& why) {
    return Finish(1, why);
}

SettleDoneEvent SettleMonitor::Finish(int status, const std::string& error) {
    active_ = false;
    return SettleDoneEvent{status, error, frames_, dropped_};
}

}  // namespace zorvane
