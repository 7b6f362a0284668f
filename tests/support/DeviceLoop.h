#pragma once

// The filter wheel and the telescope link on real servers, driven as the program drives them:
// their timers on an event loop that keeps pace with the real clock, their connects done at once
// with the outcome posted back.
#include <optional>

#include "core/TimerIds.h"
#include "filterwheel/FilterWheel.h"
#include "support/ManualWork.h"
#include "support/VirtualEventLoop.h"
#include "telescope/TelescopeLink.h"

namespace zorvane::test {

struct DeviceLoop {
    VirtualEventLoop loop;
    PostedWork work{loop};
    FilterWheel* wheel = nullptr;
    TelescopeLink* link = nullptr;

    DeviceLoop() {
        loop.SetTimerHandler([this](int id) {
            if (id == kTimerFilterWheel && wheel) wheel->OnTimer();
            if (id == kTimerPulse && link) link->OnTimer();
        });
    }
    FilterWheel Wheel(AutomationTransport& transport, Prompts& prompts) {
        return FilterWheel(transport, prompts, loop, kTimerFilterWheel, work);
    }

    // Each true when connected; none when no answer came within 20 s.
    std::optional<bool> Connect(FilterWheel& w, bool quiet) {
        wheel = &w;
        std::optional<bool> connected;
        w.Connect(quiet, [&](bool c) { connected = c; });
        loop.RunInRealTime([&] { return connected.has_value(); }, 20000);
        return connected;
    }
    // The position the wheel reported; -2 when no answer came within 20 s.
    int Move(FilterWheel& w, int position) {
        wheel = &w;
        std::optional<int> reached;
        w.MoveAndWait(position, [&](int p) { reached = p; });
        loop.RunInRealTime([&] { return reached.has_value(); }, 20000);
        return reached.value_or(-2);
    }
    std::optional<TelescopeLink::Connection> Connect(TelescopeLink& l) {
        link = &l;
        std::optional<TelescopeLink::Connection> how;
        l.Connect([&](TelescopeLink::Connection c) { how = c; });
        loop.RunInRealTime([&] { return how.has_value(); }, 20000);
        return how;
    }
    std::optional<TelescopeLink::PulseEnd> Pulse(TelescopeLink& l, int direction, unsigned ms) {
        link = &l;
        std::optional<TelescopeLink::PulseEnd> end;
        l.PulseGuide(direction, ms, [&](TelescopeLink::PulseEnd e) { end = e; });
        loop.RunInRealTime([&] { return end.has_value(); }, 20000);
        return end;
    }
};

}  // namespace zorvane::test
