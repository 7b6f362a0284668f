// The filter wheel and its dialog's rules over a scripted wheel server, in virtual time: the
// move wait on the wheel's timer, the connect in the background, the failures, what the user
// may do meanwhile, and the position list.
#include <gtest/gtest.h>

#include <optional>

#include "core/TimerIds.h"
#include "filterwheel/FilterDialogModel.h"
#include "filterwheel/FilterWheel.h"
#include "support/ManualWork.h"
#include "support/ScriptedPrompts.h"
#include "support/VirtualEventLoop.h"

namespace zorvane {
namespace {

// A wheel whose move takes `moveMs` of virtual time.
class ScriptedWheel : public AutomationServer {
public:
    uint64_t& now;
    int position = 0;
    int target = 0;
    uint64_t arrival = 0;
    int moveMs = 1200;
    bool connected = false;
    bool answers = true;
    bool connectable = true;
    std::vector<std::string> names{"Red", "Green", "Blue", "L", "Ha", "OIII", ""};

    explicit ScriptedWheel(uint64_t& clock) : now(clock) {}

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
    test::VirtualEventLoop loop;
    uint64_t now = 0;
    OneWheel transport;
    test::ScriptedPrompts prompts;
    test::ManualWork work;
    FilterWheel wheel{transport, prompts, loop, kTimerFilterWheel, work};
    Bench() {
        transport.wheel = std::make_shared<ScriptedWheel>(now);
        loop.SetClockListener([this](uint64_t t) { now = t; });
        loop.SetTimerHandler([this](int) { wheel.OnTimer(); });
    }
    bool Connect(bool quiet) {
        std::optional<bool> outcome;
        wheel.Connect(quiet, [&](bool connected) { outcome = connected; });
        work.RunAll();
        return outcome.value_or(false);
    }
    // Moves and lets virtual time run until the wheel has answered: the position, and when.
    std::pair<int, uint64_t> Move(int position) {
        std::optional<int> reached;
        const uint64_t start = loop.Now();
        wheel.MoveAndWait(position, [&](int p) { reached = p; });
        loop.RunUntil([&] { return reached.has_value(); }, 20000);
        return {reached.value_or(-2), loop.Now() - start};
    }
};

TEST(FilterWheel, MoveWaitEndsWithTheFirstReportedPosition) {
    Bench b;
    ASSERT_TRUE(b.Connect(true));
    EXPECT_EQ(b.transport.asked, "Qelt.Filterwheel.Com");
    EXPECT_TRUE(b.wheel.IsConnected());
    EXPECT_EQ(b.wheel.GetPositionCount(), 7);
    EXPECT_EQ(b.wheel.GetVersionText(), "Using Wyrl assembly v5.2");

    // -1 while moving, the new position after 1.2 s: three reads, 500 ms apart.
    EXPECT_EQ(b.Move(4), (std::pair<int, uint64_t>{4, 1500}));

    // Still moving after 10 s: -1 after twenty reads.
    b.transport.wheel->moveMs = 60000;
    EXPECT_EQ(b.Move(1), (std::pair<int, uint64_t>{-1, 10000}));
    EXPECT_FALSE(b.loop.IsTimerSet(kTimerFilterWheel));

    // A server that stops answering ends the wait at the first read.
    b.transport.wheel->answers = false;
    EXPECT_EQ(b.Move(2), (std::pair<int, uint64_t>{-1, 500}));
    EXPECT_FALSE(b.wheel.IsConnected());
    EXPECT_EQ(b.wheel.GetPositionCount(), -1);
    EXPECT_EQ(b.wheel.GetVersionText(), "");

    // Without a wheel the outcome still comes, a moment later.
    b.wheel.Disconnect();
    EXPECT_FALSE(b.wheel.SetPosition(3));
    EXPECT_EQ(b.wheel.GetPosition(), -1);
    EXPECT_EQ(b.Move(3), (std::pair<int, uint64_t>{-1, 1}));
    EXPECT_TRUE(b.prompts.messages.empty());
}

TEST(FilterWheel, MovesAskedForMeanwhileFollowInOrder) {
    Bench b;
    ASSERT_TRUE(b.Connect(true));
    std::vector<int> reached;
    b.wheel.MoveAndWait(2, [&](int p) { reached.push_back(p); });
    b.wheel.MoveAndWait(5, [&](int p) { reached.push_back(p); });
    EXPECT_EQ(b.transport.wheel->target, 2) << "the second waits for the first";
    b.loop.RunUntil([&] { return reached.size() == 2; }, 20000);
    EXPECT_EQ(reached, (std::vector<int>{2, 5}));
    EXPECT_EQ(b.loop.Now(), 3000u);
    EXPECT_FALSE(b.wheel.Moving());
}

TEST(FilterWheel, AFailedConnectHoldsNothingAndSpeaksOnlyWhenAsked) {
    Bench b;
    b.transport.wheel->connectable = false;
    EXPECT_FALSE(b.Connect(true));
    EXPECT_TRUE(b.prompts.messages.empty());
    EXPECT_FALSE(b.wheel.SetPosition(1)) << "nothing held";

    b.transport.wheel.reset();  // no server at all
    EXPECT_FALSE(b.Connect(false));
    ASSERT_EQ(b.prompts.messages.size(), 1u);
    EXPECT_EQ(b.prompts.messages[0].text, "Cannot communicate with filterwheel");
    EXPECT_EQ(b.prompts.messages[0].caption, "Filterwheel");
    EXPECT_EQ(b.prompts.messages[0].buttons, MessageButtons::Ok);
}

TEST(FilterWheel, AConnectUnderWayIsSharedOrGivenUp) {
    Bench b;
    // A quiet start-up connect and the user's, before the wheel has answered: one connect,
    // one outcome for both.
    std::vector<bool> outcomes;
    b.wheel.Connect(true, [&](bool c) { outcomes.push_back(c); });
    b.wheel.Connect(false, [&](bool c) { outcomes.push_back(c); });
    EXPECT_TRUE(b.wheel.Connecting());
    EXPECT_FALSE(b.wheel.IsConnected());
    EXPECT_EQ(b.work.Pending(), 1u);
    b.work.RunAll();
    EXPECT_EQ(outcomes, (std::vector<bool>{true, true}));
    EXPECT_TRUE(b.wheel.IsConnected());

    // Disconnect while connecting afresh: those waiting hear "no" at once, and the wheel that
    // connects all the same is let go again, without a message.
    outcomes.clear();
    b.wheel.Connect(false, [&](bool c) { outcomes.push_back(c); });
    b.wheel.Disconnect();
    EXPECT_EQ(outcomes, (std::vector<bool>{false}));
    b.work.RunAll();
    EXPECT_FALSE(b.wheel.IsConnected());
    EXPECT_FALSE(b.wheel.InUse());
    EXPECT_FALSE(b.transport.wheel->connected) << "switched off as the program let it go";
    EXPECT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(b.prompts.messages.empty());
}

// The dialog's host as the main window is, over the scripted wheel.
class WheelHost : public FilterDialogHost {
public:
    explicit WheelHost(FilterWheel& w) : wheel(w) {}
    FilterWheel& wheel;
    int positions = 5;
    bool IsFilterWheelConnected() override { return wheel.IsConnected(); }
    bool FilterWheelConnecting() override { return wheel.Connecting(); }
    void ConnectFilterWheel(bool quiet, std::function<void(bool)> done, int) override {
        wheel.Connect(quiet, std::move(done));
    }
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
    void MoveFilterWheel(int p, std::function<void(int)> done) override {
        wheel.MoveAndWait(p, std::move(done));
    }
};

TEST(FilterDialogModel, ConnectListAndMove) {
    Bench b;
    WheelHost host(b.wheel);
    FilterDialogModel model(host);
    int notices = 0;
    model.SetChangeNotice([&] { ++notices; });
    FilterDialogView v = model.Refresh();
    EXPECT_EQ(v.buttonText, "Connect");
    EXPECT_EQ(v.typeText, "Not Connected");
    EXPECT_FALSE(v.listEnabled);

    // The button waits for the wheel; the dialog is told when it has answered.
    v = model.PressConnectButton();
    EXPECT_FALSE(v.buttonEnabled);
    EXPECT_TRUE(v.busy);
    b.work.RunAll();
    EXPECT_EQ(notices, 1);
    v = model.View();
    EXPECT_TRUE(v.buttonEnabled);
    EXPECT_EQ(v.buttonText, "Disconnect");
    EXPECT_EQ(v.typeText, "Qelt Filterwheel");
    EXPECT_TRUE(v.listEnabled);
    EXPECT_EQ(v.entries, (std::vector<std::string>{"1: Red", "2: Green", "3: Blue", "4: L", "5: Ha",
                                                   "6: OIII", "7"}));
    EXPECT_EQ(host.positions, 7);
    EXPECT_EQ(v.selection, 0);

    // Entry "3" is server position 2: the list shows the choice, closed to another one, until
    // the wheel reports where it stopped.
    v = model.SelectPosition(2);
    EXPECT_EQ(b.transport.wheel->target, 2);
    EXPECT_EQ(v.selection, 2);
    EXPECT_FALSE(v.listEnabled);
    EXPECT_EQ(model.SelectPosition(4).selection, 2) << "no second choice while it moves";
    b.loop.RunUntil([&] { return notices == 2; }, 20000);
    EXPECT_EQ(model.View().selection, 2);
    EXPECT_TRUE(model.View().listEnabled);
    EXPECT_FALSE(model.View().busy);
    // An entry beyond the wheel's count is ignored; a wheel still moving shows no selection.
    model.SelectPosition(7);
    EXPECT_EQ(b.transport.wheel->target, 2);
    b.transport.wheel->moveMs = 60000;
    model.SelectPosition(5);
    b.loop.RunUntil([&] { return notices == 3; }, 20000);
    EXPECT_EQ(model.View().selection, -1);

    v = model.PressConnectButton();
    EXPECT_EQ(v.buttonText, "Connect");
    EXPECT_FALSE(v.listEnabled);
}

}  // namespace
}  // namespace zorvane
