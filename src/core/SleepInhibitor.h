#pragma once

#include <string>

namespace zorvane {

// Keeps the desktop session from suspending or going idle while exposures run. The Qt layer
// asks the session's inhibit service; where there is none, nothing is held, silently.
class SleepInhibitor {
public:
    virtual ~SleepInhibitor() = default;
    // Takes the inhibitor with the reason the session shows; asking again while it is held
    // changes nothing. False when nothing could be held.
    virtual bool Inhibit(const std::string& reason) = 0;
    // Lets go of it; harmless when nothing is held.
    virtual void Release() = 0;
    virtual bool Held() const = 0;
};

}  // namespace zorvane
