#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/AutomationObject.h"
#include "core/BackgroundWork.h"
#include "core/Prompts.h"
#include "core/TimerService.h"

namespace zorvane {

// The filter wheel, driven through its automation server by member name. Positions are
// counted from 0; -1 read from the server means the wheel is moving (or there is no wheel).
// Nothing here holds up the window: connecting (and letting go) runs in the background, and a
// move is waited for on the wheel's timer, its outcome handed to whoever asked for it.
class FilterWheel {
public:
    static constexpr const char* kProgId = "Qelt.Filterwheel.Com";
    static constexpr int kWaitSteps = 20;
    static constexpr int kWaitStepMs = 500;

    using Connected = std::function<void(bool connected)>;
    using Reached = std::function<void(int position)>;

    FilterWheel(AutomationTransport& transport, Prompts& prompts, TimerService& timers, int timerId,
                BackgroundWork& work);
    ~FilterWheel();
    FilterWheel(const FilterWheel&) = delete;
    FilterWheel& operator=(const FilterWheel&) = delete;

    // Connects afresh (a wheel held is let go first): the server is created and the wheel
    // switched on in the background, then done(connected) follows. Unless quiet, a failure
    // shows "Cannot communicate with filterwheel"; a failed connect holds nothing. A connect
    // asked for while one is under way shares its outcome (and speaks unless both were quiet).
    // A wheel that connected is given `settleMs` before it counts as connected.
    void Connect(bool quiet, Connected done = {}, int settleMs = 0);
    bool Connecting() const { return connecting_; }
    // Ends the program's use of the wheel (the device stays as it is for other programs). A
    // connect under way is given up: whoever waits for it is told "not connected" at once.
    bool Disconnect();
    // The program uses the wheel: it connected it and has not let it go since. A server that
    // died does not end the use: the wheel is still expected to move.
    bool InUse() const { return inUse_; }
    bool IsConnected();
    // Commands a move without waiting; false only when no wheel is held.
    bool SetPosition(int position);
    int GetPosition();
    // Commands a move, then reads the position every 500 ms until the wheel reports one:
    // done(position), or done(-1) when it still moves after 10 s (or the server stopped
    // answering, or no wheel is held). Moves asked for meanwhile follow in order.
    void MoveAndWait(int position, Reached done);
    bool Moving() const { return !moves_.empty(); }
    // The wheel's timer.
    void OnTimer();
    // The number of filter names the server reports; -1 without a wheel.
    int GetPositionCount();
    // The filter names, one per position; none without a wheel.
    std::optional<std::vector<std::string>> GetFilterNames();
    // "Using Wyrl assembly v<version>", or empty.
    std::string GetVersionText();

private:
    struct Move {
        int position;
        Reached done;
        bool started = false;
        bool sent = false;
        int steps = 0;
    };

    void ConnectFinished(int attempt, std::shared_ptr<AutomationObject> object);
    // Switches the held wheel off (as far as the program's use goes) and lets it go, in the
    // background.
    void Release();
    void StartMove();
    void EndMove(int reached);
    // The position and whether the server answered at all.
    int ReadPosition(bool& answered);

    AutomationTransport& transport_;
    Prompts& prompts_;
    TimerService& timers_;
    int timerId_;
    BackgroundWork& work_;
    std::shared_ptr<AutomationObject> object_;
    bool inUse_ = false;
    bool connecting_ = false;
    bool quiet_ = true;  // every connect waiting for the one under way is quiet
    int attempt_ = 0;
    std::vector<Connected> waiting_;
    std::deque<Move> moves_;
    // Outcomes that arrive after the wheel is gone are dropped.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace zorvane
