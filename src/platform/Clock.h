#pragma once

#include <cstdint>

namespace zorvane {

// Milliseconds on a clock that never goes backwards (unaffected by changes of the wall clock);
// only differences are meaningful.
std::int64_t MonotonicMilliseconds();

// Blocks the calling thread for at least ms milliseconds; 0 or less just yields.
void SleepMilliseconds(int ms);

}  // namespace zorvane
