#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "guiding/GuiderInterface.h"

namespace zorvane {

// Decides when guiding has settled after a start or a dither: the star within `pixels` of the
// lock position on every frame for `time` seconds; failed once `timeout` seconds have passed
// without that. Fed with each guided frame and with the passing time.
class SettleMonitor {
public:
    struct Update {
        SettlingEvent settling;
        std::optional<SettleDoneEvent> done;  // the period is over
    };

    void Begin(const SettleSpec& rule, uint64_t nowMs);
    bool Active() const { return active_; }

    // A guided frame with the star `distance` pixels from the lock position.
    Update Frame(uint64_t nowMs, double distance);
    // A frame without the star: the settled time starts again.
    Update Dropped(uint64_t nowMs);
    // Time passing (between frames too): the failure once the timeout has run out.
    std::optional<SettleDoneEvent> Tick(uint64_t nowMs);
    // Ends the period as failed (guiding stopped, the star could not be found).
    SettleDoneEvent Cancel(const std::string& why);

private:
    SettleDoneEvent Finish(int status, const std::string& error);
    Update Progress(uint64_t nowMs, double distance, bool locked);

    bool active_ = false;
    SettleSpec rule_;
    uint64_t beganMs_ = 0;
    std::optional<uint64_t> insideSinceMs_;
    int frames_ = 0, dropped_ = 0;
};

}  // namespace zorvane
