#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/AutomationObject.h"
#include "core/Prompts.h"

namespace zorvane {

// The filter wheel, driven through its automation server by member name. Positions are
// counted from 0; -1 read from the server means the wheel is moving (or there is no wheel).
// Every call runs on the user-interface thread; SetPositionAndWait blocks it for up to 10 s.
class FilterWheel {
public:
    static constexpr const char* kProgId = "Qelt.Filterwheel.Com";
    static constexpr int kWaitSteps = 20;
    static constexpr int kWaitStepMs = 500;

    FilterWheel(AutomationTransport& transport, Prompts& prompts);
    ~FilterWheel();
    FilterWheel(const FilterWheel&) = delete;
    FilterWheel& operator=(const FilterWheel&) = delete;

    // Disconnects a held object first, then creates a new one. True when created.
    bool Create();
    // Creates and connects; unless quiet, a failure shows "Cannot communicate with
    // filterwheel". A failed connect holds nothing.
    bool Connect(bool quiet);
    // Ends the program's use of the wheel (the device stays as it is for other programs).
    bool Disconnect();
    // The program uses the wheel: it connected it and has not let it go since. A server that
    // died does not end the use: the wheel is still expected to move.
    bool InUse() const { return inUse_; }
    bool IsConnected();
    // Commands a move without waiting; false only when no wheel is held.
    bool SetPosition(int position);
    int GetPosition();
    // Commands a move and waits until the wheel reports a position: the position, or -1 when
    // it still moves after 10 s (or the server stopped answering).
    int SetPositionAndWait(int position);
    // The number of filter names the server reports; -1 without a wheel.
    int GetPositionCount();
    // The filter names, one per position; none without a wheel.
    std::optional<std::vector<std::string>> GetFilterNames();
    // "Using Wyrl assembly v<version>", or empty.
    std::string GetVersionText();

    // Stands in for the 500 ms sleeps of the move wait (tests run them in no time).
    std::function<void(int ms)> sleep;

private:
    void Release();
    // The position and whether the server answered at all.
    int ReadPosition(bool& answered);

    AutomationTransport& transport_;
    Prompts& prompts_;
    std::unique_ptr<AutomationObject> object_;
    bool inUse_ = false;
};

}  // namespace zorvane
