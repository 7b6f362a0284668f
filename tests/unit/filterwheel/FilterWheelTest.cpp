// The filter wheel and its dialog's rules over a scripted wheel server, in virtual time: the
// move wait, the failures, and the position list.
#include <gtest/gtest.h>

#include "filterwheel/FilterDialogModel.h"
#include "filterwheel/FilterWheel.h"
#include "support/ScriptedPrompts.h"

namespace zorvane {
namespace {

// A wheel whose move takes `moveMs` of virtual time.
class ScriptedWheel : public AutomationServer {
public:
    int64_t& now;
    int position = 0;
    int target = 0;
    int64_t arrival = 0;
    int moveMs = 1200;
    bool connected = false;
    bool answers = true;
    bool connectable = true;
    std::vector<std::string> names{"Red", "Green", "Blue", "L", "Ha", "OIII", ""};

    explicit ScriptedWheel(int64_t& clock) : now(clock) {}

    int32_t Describe(ServerDescription& d) override {
        d.variables = {{1, "Connected", vt::Bool}, {2, "Position", vt::I2}};
        d.functions = {{3, "Names", invoke::PropertyGet, vt::Array | vt::BStr, {}},
                       {4, "Version", invoke::PropertyGet, vt::BStr, {}}};
        return result::Ok;
    }
    int32_t Invoke(int32_t id, uint16_t kind, const std::vector<Variant>& a, Variant& v,
                   ExceptionInfo& e) override {
        if (!answers) {
            e.description = "gone";
            return result::Exception;
        }
        const bool put = kind == invoke::PropertyPut;
        switch (id) {
            case 1:
                if (put) connected = connectable && a[0].integer != 0;
                v = Variant::Boolean(connected);
                break;
            case 2:
                if (put) {
                    target = a[0].integer;
                    arrival = now + moveMs;
                }
                v = Variant::Int16(now >= arrival ? target : -1);
                break;
            case 3:
                v = Variant::TextArray(names);
                break;
            case 4:
                v = Variant::Text("5.2");
                break;
        }
        return result::Ok;
    }
};

class OneWheel : public AutomationTransport {
public:
    std::shared_ptr<ScriptedWheel> wheel;
    std::string asked;
    std::shared_ptr<AutomationServer> Create(const std::string& progId, const char*,
                                             int32_t& code) override {
        asked = progId;
        code = wheel ? result::Ok : result::ServerUnavailable;
        return wheel;
    }
};

struct Bench {
    int64_t now = 0;
    int sleeps = 0;
    OneWheel transport;
    test::ScriptedPrompts prompts;
    FilterWheel wheel{transport, prompts};
    Bench() {
        transport.wheel = std::make_shared<ScriptedWheel>(now);
        wheel.sleep = [this](int ms) {
            ++sleeps;
            now += ms;
        };
    }
};

TEST(FilterWheel, MoveWaitEndsWithTheFirstReportedPosition) {
    Bench b;
    ASSERT_TRUE(b.wheel.Connect(true));
    EXPECT_EQ(b.transport.asked, "Qelt.Filterwheel.Com");
    EXPECT_TRUE(b.wheel.IsConnected());
    EXPECT_EQ(b.wheel.GetPositionCount(), 7);
    EXPECT_EQ(b.wheel.GetVersionText(), "Using Wyrl assembly v5.2");

    // -1 while moving, the new position after 1.2 s: three sleeps.
    EXPECT_EQ(b.wheel.SetPositionAndWait(4), 4);
    EXPECT_EQ(b.sleeps, 3);

    // Still moving after 10 s: -1 after twenty sleeps.
    b.sleeps = 0;
    b.transport.wheel->moveMs = 60000;
    EXPECT_EQ(b.wheel.SetPositionAndWait(1), -1);
    EXPECT_EQ(b.sleeps, 20);

    // A server that stops answering ends the wait at once.
    b.sleeps = 0;
    b.transport.wheel->answers = false;
    EXPECT_EQ(b.wheel.SetPositionAndWait(2), -1);
    EXPECT_EQ(b.sleeps, 1);
    EXPECT_FALSE(b.wheel.IsConnected());
    EXPECT_EQ(b.wheel.GetPositionCount(), -1);
    EXPECT_EQ(b.wheel.GetVersionText(), "");

    b.wheel.Disconnect();
    EXPECT_FALSE(b.wheel.SetPosition(3));
    EXPECT_EQ(b.wheel.GetPosition(), -1);
    EXPECT_TRUE(b.prompts.messages.empty());
}

TEST(FilterWheel, AFailedConnectHoldsNothingAndSpeaksOnlyWhenAsked) {
    Bench b;
    b.transport.wheel->connectable = false;
    EXPECT_FALSE(b.wheel.Connect(true));
    EXPECT_TRUE(b.prompts.messages.empty());
    EXPECT_FALSE(b.wheel.SetPosition(1)) << "nothing held";

    b.transport.wheel.reset();  // no server at all
    EXPECT_FALSE(b.wheel.Connect(false));
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text, "Cannot communicate with filterwheel");
    EXPECT_EQ(b.prompts.messages[0].caption, "Filterwheel");
    EXPECT_EQ(b.prompts.messages[0].buttons, MessageButtons::Ok);
}

// The dialog's host as the main window is, over the scripted wheel.
class WheelHost : public FilterDialogHost {
public:
    explicit WheelHost(FilterWheel& w) : wheel(w) {}
    FilterWheel& wheel;
    int positions = 5;
    bool IsFilterWheelConnected() override { return wheel.IsConnected(); }
    bool ConnectFilterWheel(bool quiet) override { return wheel.Connect(quiet); }
    void DisconnectFilterWheel() override { wheel.Disconnect(); }
    int FilterPositionCount() override {
        const int n = wheel.GetPositionCount();
        if (n > 0) positions = n;
        return n;
    }
    std::string FilterName(int p) override {
        const auto names = wheel.GetFilterNames();
        return names && p < static_cast<int>(names->size()) ? (*names)[p] : "";
    }
    int FilterPosition() override { return wheel.GetPosition(); }
    int SetFilterPositionAndWait(int p) override { return wheel.SetPositionAndWait(p); }
    void Sleep(int) override {}
};

TEST(FilterDialogModel, ConnectListAndMove) {
    Bench b;
    WheelHost host(b.wheel);
    FilterDialogModel model(host);
    FilterDialogView v = model.Refresh();
    EXPECT_EQ(v.buttonText, "Connect");
    EXPECT_EQ(v.typeText, "Not Connected");
    EXPECT_FALSE(v.listEnabled);

    v = model.PressConnectButton();
    EXPECT_EQ(v.buttonText, "Disconnect");
    EXPECT_EQ(v.typeText, "Qelt Filterwheel");
    EXPECT_TRUE(v.listEnabled);
    EXPECT_EQ(v.entries, (std::vector<std::string>{"1: Red", "2: Green", "3: Blue", "4: L", "5: Ha",
                                                   "6: OIII", "7"}));
    EXPECT_EQ(host.positions, 7);
    EXPECT_EQ(v.selection, 0);

    // Entry "3" is server position 2.
    v = model.SelectPosition(2);
    EXPECT_EQ(b.transport.wheel->target, 2);
    EXPECT_EQ(v.selection, 2);
    // An entry beyond the wheel's count is ignored; a wheel still moving shows no selection.
    v = model.SelectPosition(7);
    EXPECT_EQ(b.transport.wheel->target, 2);
    b.transport.wheel->moveMs = 60000;
    v = model.SelectPosition(5);
    EXPECT_EQ(v.selection, -1);

    v = model.PressConnectButton();
    EXPECT_EQ(v.buttonText, "Connect");
    EXPECT_FALSE(v.listEnabled);
}

}  // namespace
}  // namespace zorvane
