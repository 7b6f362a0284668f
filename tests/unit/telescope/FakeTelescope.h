#pragma once

// A telescope driver and a driver chooser as automation servers, for the telescope link's tests,
// in virtual time, and a bench that drives the link as the program does: its timer and the
// background work of its connects run when the test lets them.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automation/AutomationServer.h"
#include "core/Clock.h"
#include "core/TimerIds.h"
#include "support/ManualWork.h"
#include "support/VirtualEventLoop.h"
#include "telescope/TelescopeLink.h"

namespace zorvane::test {

// A mount driver whose pulses take their length of virtual time (or never end).
class FakeMountDriver : public AutomationServer {
public:
    explicit FakeMountDriver(Clock& c) : clock(c) {}
    Clock& clock;
    bool connectable = true;
    bool canPulseGuide = true;
    bool pulsesEnd = true;  // false: "IsPulseGuiding" stays true
    bool answers = true;    // false: every call fails, as when the server has died
    bool connected = false;
    std::vector<std::pair<int, int>> pulses;  // direction, ms
    std::vector<bool> connectedWrites;
    uint64_t pulseEnd = 0;

    int32_t Describe(ServerDescription& d) override {
        d.variables = {{1, "Connected", vt::Bool}};
        d.functions = {{2, "CanPulseGuide", invoke::PropertyGet, vt::Bool, {}},
                       {3, "PulseGuide", invoke::Method, vt::Void, {vt::I4, vt::I4}},
                       {4, "IsPulseGuiding", invoke::PropertyGet, vt::Bool, {}}};
        return result::Ok;
    }
    int32_t Invoke(int32_t id, uint16_t kind, const std::vector<Variant>& a, Variant& v,
                   ExceptionInfo& e) override {
        if (!answers) {
            e.description = "The INDI server does not answer";
            return result::Exception;
        }
        switch (id) {
            case 1:
                if (kind == invoke::PropertyPut) {
                    connectedWrites.push_back(a[0].integer != 0);
                    if (a[0].integer != 0 && !connectable) {
                        e.description = "refused";
                        return result::Exception;
                    }
                    connected = a[0].integer != 0;
                }
                v = Variant::Boolean(connected);
                return result::Ok;
            case 2:
                v = Variant::Boolean(canPulseGuide);
                return result::Ok;
            case 3:
                pulses.emplace_back(static_cast<int>(a[0].integer), static_cast<int>(a[1].integer));
                pulseEnd = clock.Milliseconds() + static_cast<uint64_t>(a[1].integer);
                return result::Ok;
            case 4:
                v = Variant::Boolean(!pulsesEnd || clock.Milliseconds() < pulseEnd);
                return result::Ok;
        }
        return result::MemberNotFound;
    }
};

// A chooser that answers with a scripted id ("" = the user cancelled).
class FakeChooser : public AutomationServer {
public:
    std::string answer;
    std::string deviceType;
    std::vector<std::string> offered;  // the ids "Choose" was called with

    int32_t Describe(ServerDescription& d) override {
        d.functions = {{1, "DeviceType", invoke::PropertyPutRef, vt::Void, {vt::BStr}},
                       {2, "Choose", invoke::Method, vt::BStr, {vt::BStr}}};
        return result::Ok;
    }
    int32_t Invoke(int32_t id, uint16_t, const std::vector<Variant>& a, Variant& v,
                   ExceptionInfo&) override {
        if (id == 1) {
            deviceType = a[0].text;
        } else {
            offered.push_back(a[0].text);
            v = Variant::Text(answer);
        }
        return result::Ok;
    }
};

// Servers by ProgID; an id without one is not registered.
class FakeTransport : public AutomationTransport {
public:
    std::map<std::string, std::shared_ptr<AutomationServer>> servers;
    std::vector<std::string> created;
    std::shared_ptr<AutomationServer> Create(const std::string& progId, const char*,
                                             int32_t& code) override {
        created.push_back(progId);
        const auto it = servers.find(progId);
        code = it == servers.end() ? result::ClassNotRegistered : result::Ok;
        return it == servers.end() ? nullptr : it->second;
    }
};

// A link to "Maker.Telescope" (the mount) with the chooser, on a virtual event loop whose
// timer handler the test may widen.
struct LinkBench {
    VirtualEventLoop loop;
    FakeTransport transport;
    ManualWork work;
    std::shared_ptr<FakeMountDriver> mount = std::make_shared<FakeMountDriver>(loop);
    std::shared_ptr<FakeChooser> chooser = std::make_shared<FakeChooser>();
    TelescopeLink link{transport, loop, loop, kTimerPulse, work};
    LinkBench() {
        transport.servers["Maker.Telescope"] = mount;
        transport.servers[TelescopeLink::kChooserProgId] = chooser;
        loop.SetTimerHandler([this](int id) {
            if (id == kTimerPulse) link.OnTimer();
        });
    }
    // Connects the link to the ScopeID's driver and lets it answer.
    std::optional<TelescopeLink::Connection> Connect() {
        std::optional<TelescopeLink::Connection> how;
        link.Connect([&](TelescopeLink::Connection c) { how = c; });
        work.RunAll();
        return how;
    }
    // A pulse and how it ended, with the virtual time it took.
    std::pair<TelescopeLink::PulseEnd, uint64_t> Pulse(int direction, unsigned ms) {
        std::optional<TelescopeLink::PulseEnd> end;
        const uint64_t start = loop.Now();
        link.PulseGuide(direction, ms, [&](TelescopeLink::PulseEnd e) { end = e; });
        loop.RunUntil([&] { return end.has_value(); }, 60000);
        return {end.value_or(TelescopeLink::PulseEnd::Dropped), loop.Now() - start};
    }
};

}  // namespace zorvane::test
