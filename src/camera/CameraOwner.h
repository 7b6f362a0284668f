#pragma once

#include <functional>
#include <string>

#include "core/Prompts.h"

namespace zorvane {

// What can drive the one camera. Exposures are the snapshot and the loop; a remote activity is
// one asked for from outside the program (named by its requester).
enum class CameraActivity { None, Exposures, Sequence, Calibration, Remote };

// How the camera left the activity that held it.
enum class CameraLoss {
    Lost,          // it stopped answering
    Disconnected,  // the Connect command is taking it away
};

// Which activity holds the camera. Every activity asks here before it starts, prepares or aborts
// an exposure, and none looks at another's state: the one that holds the camera keeps it until it
// gives it back or the camera goes away, and is then told, so that it ends in its own words.
class CameraOwner {
public:
    using LossHandler = std::function<void(CameraLoss)>;

    CameraActivity Holder() const { return holder_; }
    bool Holds(CameraActivity who) const { return holder_ == who; }
    // The camera is free, or `who` holds it already.
    bool MayUse(CameraActivity who) const;
    // Takes the camera for `who`; taking it again keeps the handler and name given first. False,
    // and nothing changes, when another activity holds it. `onLoss` is how the holder hears that
    // the camera went away; `requester` names who asked, for the refusals others get.
    bool Acquire(CameraActivity who, LossHandler onLoss = {}, std::string requester = {});
    // Gives the camera back; nothing unless `who` holds it.
    void Release(CameraActivity who);
    // The camera went away: the holder lets go of it, then hears why.
    void TakeAway(CameraLoss why);

    // Why `who` may not have the camera now, naming the activity that holds it; empty when it
    // may.
    std::string Refusal(CameraActivity who) const;
    // The caption of a refusal to `who`: the one that activity's own messages carry.
    static const char* RefusalCaption(CameraActivity who);
    // For a command from the user: true when `who` may go ahead; otherwise the refusal is shown.
    bool MayUseOrTell(CameraActivity who, Prompts& prompts) const;

private:
    CameraActivity holder_ = CameraActivity::None;
    LossHandler onLoss_;
    std::string requester_;
};

}  // namespace zorvane
