#pragma once

// A telescope driver and a driver chooser as automation servers, for the telescope link's tests,
// in virtual time.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "automation/AutomationServer.h"
#include "core/Clock.h"

namespace zorvane::test {

// Virtual time that moves only when the code under test sleeps.
struct FakeSleepingClock : SleepingClock {
    uint64_t now = 0;
    int sleeps = 0;
    uint64_t Milliseconds() override { return now; }
    void Sleep(unsigned ms) override {
        ++sleeps;
        now += ms;
    }
};

// A mount driver whose pulses take their length of virtual time (or never end).
class FakeMountDriver : public AutomationServer {
public:
    explicit FakeMountDriver(FakeSleepingClock& c) : clock(c) {}
    FakeSleepingClock& clock;
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
                pulseEnd = clock.now + static_cast<uint64_t>(a[1].integer);
                return result::Ok;
            case 4:
                v = Variant::Boolean(!pulsesEnd || clock.now < pulseEnd);
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

}  // namespace zorvane::test
