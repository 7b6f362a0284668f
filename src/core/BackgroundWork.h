#pragma once

#include <functional>

namespace zorvane {

// Device work that may wait on a device (connecting it, letting it go) done away from the
// window's thread, so the window keeps answering. A job runs after the jobs handed over before
// it; what it returns then runs on the window's thread, which is where its result is taken up.
class BackgroundWork {
public:
    using Finish = std::function<void()>;
    using Job = std::function<Finish()>;

    virtual ~BackgroundWork() = default;
    // `job` must keep its own bounds: whoever owns this waits for it at the end.
    virtual void Run(Job job) = 0;
};

}  // namespace zorvane
