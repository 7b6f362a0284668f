// The guiding event protocol as a client sees it, against a guider double that records what it
// was asked: the catch-up on connect, both parameter styles, bad lines, a busy window, a flood,
// and two clients on a real socket.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "guideserver/EventServer.h"
#include "guideserver/EventServerSocket.h"
#include "support/ProtocolClient.h"

namespace zorvane {
namespace {

using json = nlohmann::json;
using test::ProtocolClient;

// Answers from fixed values and records each request as "method args".
class FakeGuider : public GuiderApi {
public:
    GuiderState state = GuiderState::Stopped;
    std::optional<PointF> lock, star;
    bool calibrated = false;
    std::vector<std::string> calls;

    GuiderState State() override { return state; }
    std::optional<PointF> LockPosition() override { return lock; }
    std::optional<PointF> SelectedStar() override { return star; }
    bool Calibrated() override { return calibrated; }
    bool Paused() override { return false; }
    bool CameraConnected() override { return true; }
    GuiderStatus SetConnected(bool on) override { return Call("set_connected", on); }
    Equipment CurrentEquipment() override { return {"SIM", true, "Port", true}; }
    std::optional<double> PixelScale() override { return 1.5; }
    int ExposureMs() override { return 2000; }
    GuiderStatus SetExposureMs(int ms) override { return Call("set_exposure", ms); }
    std::vector<int> ExposureDurations() override { return {10, 1000}; }
    std::optional<std::pair<int, int>> CameraFrameSize() override { return std::pair{640, 480}; }
    GuiderStatus Loop() override { return Call("loop"); }
    void StopCapture() override { Call("stop_capture"); }
    std::optional<PointF> FindStar(const std::optional<Roi>& roi, GuiderError&) override {
        Call("find_star", roi ? roi->x : -1, roi ? roi->height : -1);
        return PointF{10, 20};
    }
    GuiderStatus Guide(const SettleSpec& s, bool recal, const std::optional<Roi>&) override {
        return Call("guide", s.pixels, s.time, s.timeout, recal);
    }
    GuiderStatus Dither(double amount, bool raOnly, const SettleSpec& s) override {
        return Call("dither", amount, raOnly, s.pixels, s.time, s.timeout);
    }
    GuiderStatus SetPaused(bool paused, bool full) override {
        return Call("set_paused", paused, full);
    }
    GuiderStatus SetLockPosition(double x, double y, bool exact) override {
        return Call("set_lock_position", x, y, exact);
    }
    void ClearCalibration() override { Call("clear_calibration"); }
    std::string DecGuideMode() override { return "Auto"; }
    GuiderStatus SetDecGuideMode(const std::string& mode) override {
        return Call("set_dec_guide_mode", mode);
    }
    std::optional<StarImage> StarImageAround(int size) override {
        Call("get_star_image", size);
        return StarImage{7, 2, 1, {0.5, 0.5}, {0x0102, 0xfffe}};
    }
    void Shutdown() override { Call("shutdown"); }

private:
    template <typename... A>
    GuiderStatus Call(const char* method, A... args) {
        std::string text = method;
        ((text += ' ', text += json(args).dump()), ...);
        calls.push_back(text);
        return std::nullopt;
    }
};

struct Bench {
    FakeGuider guider;
    EventServer server{guider, EventServerOptions{"obs", 2}, [] { return 1700000000.1234; }};
};

TEST(EventServer, CatchUpOnConnectEndsWithTheState) {
    Bench b;
    ProtocolClient idle(b.server);
    idle.Pump();
    EXPECT_EQ(idle.EventNames(), (std::vector<std::string>{"Version", "AppState"}));
    const json& v = idle.events[0];
    EXPECT_EQ(v["Host"], "obs");
    EXPECT_EQ(v["Inst"], 2);
    EXPECT_DOUBLE_EQ(v["Timestamp"].get<double>(), 1700000000.123);
    EXPECT_EQ(v["MsgVersion"], 1);
    EXPECT_TRUE(v["PHDVersion"].is_string());
    EXPECT_EQ(idle.events[1]["State"], "Stopped");
    // Every line ends with CR LF.
    EXPECT_EQ(idle.Lines().size(), 2u);

    b.guider.state = GuiderState::Guiding;
    b.guider.lock = PointF{100.5, 200.25};
    b.guider.star = PointF{100.75, 200};
    b.guider.calibrated = true;
    ProtocolClient guiding(b.server);
    guiding.Pump();
    EXPECT_EQ(guiding.EventNames(),
              (std::vector<std::string>{"Version", "LockPositionSet", "StarSelected",
                                        "CalibrationComplete", "StartGuiding", "AppState"}));
    EXPECT_EQ(guiding.events[1]["X"], 100.5);
    EXPECT_EQ(guiding.events.back()["State"], "Guiding");

    b.guider.state = GuiderState::Paused;
    b.guider.lock.reset();
    b.guider.star.reset();
    ProtocolClient paused(b.server);
    paused.Pump();
    EXPECT_EQ(paused.EventNames(),
              (std::vector<std::string>{"Version", "CalibrationComplete", "Paused", "AppState"}));
}

TEST(EventServer, MethodsTakeTheirParametersByPositionOrByName) {
    struct Case {
        const char* method;
        json positional, named;
        std::string call;
    };
    const json settle{{"pixels", 1.5}, {"time", 8}, {"timeout", 40}};
    const Case cases[] = {
        {"guide",
         {settle, true},
         {{"settle", settle}, {"recalibrate", true}},
         "guide 1.5 8.0 40.0 true"},
        {"dither",
         {5, true, settle},
         {{"amount", 5}, {"raOnly", true}, {"settle", settle}},
         "dither 5.0 true 1.5 8.0 40.0"},
        {"set_paused",
         {true, "full"},
         {{"paused", true}, {"type", "full"}},
         "set_paused true true"},
        {"set_exposure", {1500}, {{"exposure", 1500}}, "set_exposure 1500"},
        {"set_lock_position",
         {3, 4, false},
         {{"x", 3}, {"y", 4}, {"exact", false}},
         "set_lock_position 3.0 4.0 false"},
        {"find_star", {json::array({1, 2, 30, 40})}, {{"roi", {1, 2, 30, 40}}}, "find_star 1 40"},
        {"set_dec_guide_mode", {"North"}, {{"mode", "North"}}, "set_dec_guide_mode \"North\""},
        {"set_connected", {true}, {{"connected", true}}, "set_connected true"},
        {"get_star_image", {21}, {{"size", 21}}, "get_star_image 21"},
    };
    Bench b;
    ProtocolClient c(b.server);
    for (const Case& k : cases) {
        for (const json& params : {k.positional, k.named}) {
            b.guider.calls.clear();
            const int id = c.Request(k.method, params);
            c.Pump();
            ASSERT_TRUE(c.Answered(id)) << k.method;
            const json& a = c.answers[id];
            EXPECT_EQ(a["jsonrpc"], "2.0");
            EXPECT_FALSE(a.contains("error")) << k.method << " " << a.dump();
            ASSERT_EQ(b.guider.calls.size(), 1u) << k.method;
            EXPECT_EQ(b.guider.calls[0], k.call) << params.dump();
        }
    }
    // Methods without parameters, and their results.
    const std::pair<const char*, json> plain[] = {
        {"get_app_state", "Stopped"},
        {"get_pixel_scale", 1.5},
        {"get_exposure", 2000},
        {"get_exposure_durations", {10, 1000}},
        {"get_camera_frame_size", {640, 480}},
        {"get_calibrated", false},
        {"get_lock_position", nullptr},
        {"get_dec_guide_mode", "Auto"},
        {"loop", 0},
        {"stop_capture", 0},
        {"clear_calibration", 0},
        {"get_connected", true},
        {"get_paused", false},
        {"shutdown", 0},
    };
    for (const auto& [method, result] : plain) {
        const int id = c.Request(method);
        c.Pump();
        ASSERT_TRUE(c.Answered(id)) << method;
        EXPECT_EQ(c.answers[id]["result"], result) << method;
    }
    const int image = c.Request("get_star_image", {15});
    const int equipment = c.Request("get_current_equipment");
    const int profiles = c.Request("get_profiles");
    c.Pump();
    // Two pixels, little-endian, base64.
    EXPECT_EQ(c.answers[image]["result"]["pixels"], "AgH+/w==");
    EXPECT_EQ(c.answers[image]["result"]["frame"], 7);
    EXPECT_EQ(c.answers[equipment]["result"]["camera"]["name"], "SIM");
    EXPECT_EQ(c.answers[profiles]["result"][0]["id"], 1);
}

TEST(EventServer, BadLinesGetErrorsAndTheConnectionGoesOn) {
    Bench b;
    ProtocolClient c(b.server);
    c.SendRaw("this is not json\n");
    c.SendRaw("[1,2]\r");
    c.SendRaw("{\"method\":\"no_such_method\",\"id\":1}\n");
    c.SendRaw("{\"method\":\"guide\",\"params\":[{\"pixels\":1.5,\"time\":8}],\"id\":2}\n");
    c.SendRaw("{\"method\":\"dither\",\"params\":\"five\",\"id\":3}\n");
    c.SendRaw("{\"id\":4}\n");
    // A notification is carried out without an answer.
    c.SendRaw("{\"method\":\"loop\"}\n");
    // 1100 bytes without an end, then its end and a good request.
    c.SendRaw("{\"method\":\"get_app_state\",\"params\":[\"" + std::string(1100, 'x'));
    c.SendRaw("\"],\"id\":5}\n{\"method\":\"get_app_state\",\"id\":6}\n");
    c.Pump();
    ASSERT_EQ(c.others.size(), 3u);
    EXPECT_EQ(c.others[0]["error"]["code"], -32700);
    EXPECT_EQ(c.others[1]["error"]["code"], -32600);
    EXPECT_EQ(c.others[2]["error"]["code"], -32603);
    EXPECT_EQ(c.others[2]["error"]["message"], "too big");
    EXPECT_EQ(c.answers[1]["error"]["code"], -32601);
    EXPECT_EQ(c.answers[2]["error"]["code"], -32602) << "settle needs pixels, time and timeout";
    EXPECT_EQ(c.answers[3]["error"]["code"], -32602);
    EXPECT_EQ(c.answers[4]["error"]["code"], -32600);
    EXPECT_FALSE(c.Answered(5));
    EXPECT_EQ(c.answers[6]["result"], "Stopped");
    EXPECT_EQ(b.guider.calls, std::vector<std::string>{"loop"});
    EXPECT_FALSE(c.Closed());
}

TEST(EventServer, RequestsWaitWhileTheWindowIsBusyAndAFloodIsRefused) {
    Bench b;
    bool busy = true;
    b.server.SetBusyCheck([&] { return busy; });
    ProtocolClient c(b.server);
    std::string flood;
    for (int i = 1; i <= 100; ++i)
        flood += "{\"method\":\"get_exposure\",\"id\":" + std::to_string(i) + "}\n";
    c.SendRaw(flood);
    c.Pump();
    // Refused at once beyond the queue; the rest wait for the window.
    EXPECT_EQ(c.answers.size(), 68u);
    EXPECT_EQ(c.answers[100]["error"]["message"], "too many requests");
    EXPECT_FALSE(c.Answered(1));
    EXPECT_EQ(b.server.QueuedRequests(1), 32u);
    // Events still go out while requests wait.
    b.server.OnPaused();
    busy = false;
    b.server.ProcessQueued();
    c.Pump();
    EXPECT_EQ(c.answers.size(), 100u);
    EXPECT_EQ(c.answers[1]["result"], 2000);
    EXPECT_EQ(c.answers[32]["result"], 2000);
    EXPECT_EQ(c.Count("Paused"), 1);

    // A client that never reads what it is sent is dropped, not kept in memory.
    EventServer small(b.guider, EventServerOptions{"obs", 1, "1", 1024, 32, 4096},
                      [] { return 0.0; });
    const EventServer::ClientId deaf = small.Connect();
    for (int i = 0; i < 200; ++i) small.OnPaused();
    EXPECT_TRUE(small.Closing(deaf));
    EXPECT_TRUE(small.Output(deaf)->empty());
}

TEST(EventServer, TwoClientsOverTcpEachGetTheirAnswersAndEveryEvent) {
    Bench b;
    EventServerSocket socket(b.server);
    std::string why;
    ASSERT_TRUE(socket.Listen(0, false, why)) << why;
    ProtocolClient one(TcpConnection::ConnectTo("127.0.0.1", socket.Port()));
    ProtocolClient two(TcpConnection::ConnectTo("127.0.0.1", socket.Port()));
    // Loopback bytes take their moment: poll every millisecond, for two seconds at most.
    const auto exchange = [&](const std::function<bool()>& done) {
        for (int i = 0; i < 2000 && !done(); ++i) {
            socket.Poll();
            one.Pump();
            two.Pump();
            if (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    };
    ASSERT_TRUE(exchange([&] { return one.Count("AppState") == 1 && two.Count("AppState") == 1; }));
    const int a = one.Request("get_exposure");
    const int c = two.Request("get_app_state");
    ASSERT_TRUE(exchange([&] { return one.Answered(a) && two.Answered(c); }));
    EXPECT_EQ(one.answers[a]["result"], 2000);
    EXPECT_EQ(two.answers[c]["result"], "Stopped");
    EXPECT_EQ(one.answers.size(), 1u) << "each client gets only its own answers";

    b.server.OnDithered(1.25, -2.5, PointF{});
    ASSERT_TRUE(
        exchange([&] { return one.Count("GuidingDithered") && two.Count("GuidingDithered"); }));
    EXPECT_EQ((*two.Last("GuidingDithered"))["dy"], -2.5);
    // Half a request, then the rest in the next packet.
    two.SendRaw("{\"method\":\"get_expo");
    socket.Poll();
    two.SendRaw("sure\",\"id\":9}\r\n");
    ASSERT_TRUE(exchange([&] { return two.Answered(9); }));
    EXPECT_EQ(socket.ClientCount(), 2u);
}

}  // namespace
}  // namespace zorvane
