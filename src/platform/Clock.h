#pragma once

#include <cstdint>

#include "core/Clock.h"

namespace zorvane {

// Milliseconds on a clock that never goes backwards (unaffected by changes of the wall clock);
// only differences are meaningful.
std::int64_t MonotonicMilliseconds();

// Blocks the calling thread for at least ms milliseconds; 0 or less just yields.
void SleepMilliseconds(int ms);

// The monotonic clock behind the core's clock interface; its sleeps are real ones.
class SystemClock : public SleepingClock {
public:
    uint64_t Milliseconds() override { return static_cast<uint64_t>(MonotonicMilliseconds()); }
    void Sleep(unsigned ms) override { SleepMilliseconds(static_cast<int>(ms)); }
    // One for the whole program.
    static SystemClock& Instance();
};

}  // namespace zorvane
