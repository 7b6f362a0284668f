#pragma once

#include <functional>

namespace zorvane {

// Queues work for the GUI thread. PostToGuiThread may be called from any thread; the message
// runs later on the GUI thread, in the order posted. Messages posted to an owner that no longer
// exists are dropped by the implementation.
class EventPoster {
public:
    virtual ~EventPoster() = default;
    virtual void PostToGuiThread(std::function<void()> message) = 0;
};

}  // namespace zorvane
