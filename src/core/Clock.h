#pragma once

#include <cstdint>

namespace zorvane {

// Milliseconds on a clock that never goes backwards; only differences are meaningful. The
// program reads the system's monotonic clock; tests move a virtual one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t Milliseconds() = 0;
};

// A clock the calling thread can also wait on: blocking waits (a guide pulse running out) sleep
// on it, so tests can move virtual time instead of sleeping.
class SleepingClock : public Clock {
public:
    // Blocks for at least ms milliseconds of this clock's time.
    virtual void Sleep(unsigned ms) = 0;
};

}  // namespace zorvane
