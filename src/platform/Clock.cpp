#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace zorvane {

std::int64_t MonotonicMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SystemClock& SystemClock::Instance() {
    static SystemClock clock;
    return clock;
}

void SleepMilliseconds(int ms) {
    if (ms <= 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace zorvane
