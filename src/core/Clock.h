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

}  // namespace zorvane
