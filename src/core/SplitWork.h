#pragma once

#include <cstddef>
#include <system_error>
#include <thread>

namespace zorvane {

// Runs work(part, begin, end) over [0, count) as two halves at once, part 1 (the second half)
// on a helper thread, when the caller finds the work large enough (split) and the machine has
// a second core;
// otherwise, or when no thread can be started, as one part (0, 0, count) on the caller's
// thread. Either way all the work is done when this returns: the helper never outlives the call.
template <typename Work>
void SplitInTwo(std::size_t count, bool split, Work&& work) {
    static const unsigned cores = std::thread::hardware_concurrency();
    if (split && count >= 2 && cores > 1) {
        const std::size_t mid = count / 2;
        std::thread helper;
        try {
            helper = std::thread([&work, mid, count] { work(1, mid, count); });
        } catch (const std::system_error&) {
            // No thread to be had: fall through to the single part.
        }
        if (helper.joinable()) {
            work(0, std::size_t{0}, mid);
            helper.join();
            return;
        }
    }
    work(0, std::size_t{0}, count);
}

}  // namespace zorvane
