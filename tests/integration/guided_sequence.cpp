// Two copies of the program's core in one process, each on a simulated camera of its own (the
// second from a copy of the camera library, so that the two share nothing): one guides on its
// camera and serves the guiding event protocol on a loopback port, the other runs a sequence
// that guides through it, dithers and holds for a lost star. The frames go to fitsverify and,
// when it is installed, to a stacking program that registers them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/TimerIds.h"
#include "support/AppBench.h"
#include "support/ProtocolClient.h"
#include "view/ImageView.h"

namespace zorvane {
namespace {

using json = nlohmann::json;
using test::AppBench;
using test::ProtocolClient;
using test::TempDir;

constexpr const char* kGuideSky =
    "flush_ms=0;wait_ms=0;download_mpx_s=100;size=640x480;stars=400;star_flux=400000;"
    "hot_pixels=0;seed=5;guide_angle=30;guide_rate=7.5;";
constexpr const char* kImageSky =
    "flush_ms=0;wait_ms=0;download_mpx_s=100;size=640x480;stars=400;star_flux=400000;"
    "hot_pixels=0;seed=9;drift=0.2;pe=0";
constexpr uint64_t kStep = 5;  // ms both programs move on at a time

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen((command + " 2>&1").c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// The value text of a header card, or "<none>".
std::string HeaderValue(const std::string& path, const std::string& keyword) {
    const std::string text = test::ReadText(path);
    std::string key = keyword;
    key.resize(8, ' ');
    for (size_t at = 0; at + 80 <= text.size(); at += 80) {
        if (text.compare(at, 3, "END") == 0 && text[at + 3] == ' ') break;
        if (text.compare(at, 8, key) != 0) continue;
        std::string value = text.substr(at + 10, 70);
        value.erase(value.find_last_not_of(' ') + 1);
        value.erase(0, value.find_first_not_of(' '));
        return value;
    }
    return "<none>";
}

struct WheelDouble : FilterWheelControl {
    int position = 0;
    std::vector<int> moves;
    void ConnectQuietly(std::function<void(bool)> done) override { done(true); }
    bool IsConnected() override { return true; }
    bool InUse() override { return true; }
    int GetPositionCount() override { return 3; }
    bool SetPosition(int p) override {
        if (p != position) moves.push_back(p);
        position = p;
        return true;
    }
    // There at once.
    void MoveAndWait(int p, std::function<void(bool)> done) override { done(SetPosition(p)); }
};

// The guider (camera 2, serving the protocol) and the imager (camera 1, running the sequence),
// moved on in step, with what the guider told its clients and when each exposure of the
// sequence started and ended, in the virtual time both share.
struct TwoPrograms {
    TempDir secondCamera;
    std::unique_ptr<AppBench> guider, imager;
    std::unique_ptr<ProtocolClient> watch;
    WheelDouble wheel;
    int port = 0;
    struct Seen {
        uint64_t at;
        json event;
    };
    std::vector<Seen> events;
    std::vector<uint64_t> starts, ends;
    std::vector<std::string> statusLines;  // each status line of the sequencer, once
    int startCalls = 0;

    explicit TwoPrograms(const std::string& guiderSky = kGuideSky) {
        std::filesystem::copy_file(test::SimControls::LibraryPath(),
                                   secondCamera / "libZorvaneCCDDummy.so");
        guider = std::make_unique<AppBench>(guiderSky, secondCamera.Path());
        guider->guiderSocket = true;
        TcpListener probe;
        std::string why;
        EXPECT_TRUE(probe.Listen(0, false, why)) << why;
        port = probe.Port();
        probe.Close();
        test::WriteText(guider->iniPath, "[EventServer]\nPort=" + std::to_string(port) + "\n");
        guider->Start();
        guider->app->Guiding().guideCalTime = 1500;
        guider->app->Guiding().minGuideTime = 10;
        guider->app->Guiding().focalLength = 500;
        guider->Exposure().exposure = 1.0f;
        guider->app->View().SetClientSize(1000, 800);
        watch = std::make_unique<ProtocolClient>(guider->app->GuiderServer().Server());

        imager = std::make_unique<AppBench>(kImageSky);
        imager->Start();
        AppBench& b = *imager;
        b.app->Saver().Settings().savePath = b.dir / "m31.fit";
        b.app->Header().object = "M31";
        b.app->Header().focalLength = 800;
        b.app->Sequencer().SetFilterWheel(&wheel);
        b.loop.SetTimerHandler([this](int id) {
            AppBench& i = *imager;
            const int taken = i.app->Sequencer().FramesTaken();
            i.app->OnTimer(id);
            if (i.app->Sequencer().FramesTaken() > taken) ends.push_back(i.loop.Now());
            const int calls = i.sim.CallCount("ZorvaneStartExposure");
            if (calls > startCalls) starts.push_back(i.loop.Now());
            startCalls = calls;
        });
        SequenceGuideOptions& g = b.app->Sequence().guiding;
        g.guide = true;
        g.host = "127.0.0.1";
        g.port = port;
        g.settlePixels = 1.5;
        g.settleSeconds = 3;
        g.settleTimeout = 40;
    }
    ~TwoPrograms() {
        watch.reset();
        imager.reset();
        guider.reset();
    }

    // Lines 1.. with the filters given, each `seconds` long, the whole pass `passes` times.
    void Lines(const std::vector<int>& filters, const char* seconds, int passes) {
        SequenceModel& m = imager->app->Sequence();
        for (size_t i = 0; i < filters.size(); ++i)
            m.lines[i] = {true, seconds, 0, filters[i], "_L" + std::to_string(i + 1), ""};
        m.repeatMode = static_cast<int>(RepeatMode::Sequence);
        m.repeat = passes;
    }

    bool Run(const std::function<bool()>& done, uint64_t limitMs) {
        for (uint64_t t = 0; t < limitMs; t += kStep) {
            guider->loop.Advance(kStep);
            imager->loop.Advance(kStep);
            watch->Pump();
            for (size_t i = events.size(); i < watch->events.size(); ++i)
                events.push_back({imager->loop.Now(), watch->events[i]});
            const std::string& status = imager->app->Sequencer().StatusText();
            if (!status.empty() && (statusLines.empty() || statusLines.back() != status))
                statusLines.push_back(status);
            if (done()) return true;
        }
        return false;
    }
    bool RunSequence(uint64_t limitMs) {
        imager->app->Sequencer().StartStopSequence();
        EXPECT_TRUE(imager->app->Sequencer().Running());
        return Run([this] { return !imager->app->Sequencer().Running(); }, limitMs);
    }

    std::vector<uint64_t> Times(const std::string& name, int status = -1) const {
        std::vector<uint64_t> at;
        for (const Seen& s : events)
            if (s.event["Event"] == name && (status < 0 || s.event.value("Status", -1) == status))
                at.push_back(s.at);
        return at;
    }
    // Whether an exposure of the sequence started in (from, to].
    bool StartedWithin(uint64_t from, uint64_t to) const {
        return std::any_of(starts.begin(), starts.end(),
                           [&](uint64_t s) { return s > from && s <= to; });
    }
    std::string LastMessage() const {
        return imager->prompts.messages.empty() ? "" : imager->prompts.messages.back().text;
    }
    std::vector<std::string> SavedFiles() const {
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(imager->dir.Path()))
            if (e.path().extension() == ".fit") files.push_back(e.path().string());
        std::sort(files.begin(), files.end());
        return files;
    }
};

TEST(GuidedSequence, TenFramesThroughThreeFiltersDitherEverySecondFrameAndStartOnlySettled) {
    TwoPrograms p;
    p.Lines({1, 2, 3, 1, 2}, "4", 2);
    p.imager->app->Sequence().guiding.ditherEvery = 2;
    p.imager->app->Sequence().guiding.ditherPixels = 3;
    ASSERT_TRUE(p.RunSequence(900000)) << p.imager->app->Sequencer().StatusText();
    EXPECT_EQ(p.LastMessage(), "Sequence complete.");
    ASSERT_EQ(p.starts.size(), 10u);
    ASSERT_EQ(p.ends.size(), 10u);

    // The guider was started (unpause, loop, find a star, guide) and settled before frame 1;
    // frames 3, 5, 7 and 9 each came after a dither and its settle.
    const auto settled = p.Times("SettleDone", 0);
    EXPECT_EQ(p.Times("SettleDone").size(), settled.size()) << "no settle failed";
    EXPECT_EQ(p.Times("GuidingDithered").size(), 4u);
    for (int frame : {0, 2, 4, 6, 8}) {
        const uint64_t after = frame == 0 ? 0 : p.ends[frame - 1];
        EXPECT_TRUE(std::any_of(settled.begin(), settled.end(),
                                [&](uint64_t t) { return t > after && t <= p.starts[frame]; }))
            << "frame " << frame + 1 << " started without a settle before it";
    }
    // No frame started while the guider settled, nor while it was paused for the wheel.
    const auto begins = p.Times("SettleBegin"), paused = p.Times("Paused"),
               resumed = p.Times("Resumed");
    ASSERT_EQ(begins.size(), p.Times("SettleDone").size());
    for (size_t i = 0; i < begins.size(); ++i)
        EXPECT_FALSE(p.StartedWithin(begins[i], settled[i])) << "settle " << i;
    EXPECT_EQ(paused.size(), p.wheel.moves.size());
    ASSERT_EQ(resumed.size(), paused.size());
    for (size_t i = 0; i < paused.size(); ++i)
        EXPECT_FALSE(p.StartedWithin(paused[i], resumed[i])) << "pause " << i;
    EXPECT_EQ(p.wheel.moves, (std::vector<int>{1, 2, 0, 1, 0, 1, 2, 0, 1}));

    // The guider's log shows the dithers as log viewers read them.
    const std::string log = test::ReadText(p.guider->app->GuiderServer().Log().Path());
    int dithers = 0;
    for (size_t at = 0; (at = log.find("INFO: DITHER by ", at)) != std::string::npos; ++at)
        ++dithers;
    EXPECT_EQ(dithers, 4) << log.substr(0, 2000);

    const std::vector<std::string> files = p.SavedFiles();
    ASSERT_EQ(files.size(), 10u);
    const double scale = 206.264806 * 6.45 / 800;
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        const std::string report = Shell("fitsverify -q '" + files[i] + "'");
        EXPECT_NE(report.find("OK"), std::string::npos) << report;
        EXPECT_EQ(HeaderValue(files[i], "IMAGETYP"), "'Light Frame'");
        EXPECT_EQ(HeaderValue(files[i], "FOCALLEN"), "800.0 / focal length, mm");
        EXPECT_NEAR(std::stod(HeaderValue(files[i], "SCALE")), scale, 1e-3);
        EXPECT_EQ(HeaderValue(files[i], "OBJECT"), "'M31'");
        const double rms = std::stod(HeaderValue(files[i], "GUIDERMS"));
        EXPECT_GT(rms, 0.0);
        EXPECT_LT(rms, 2.0) << "arc-seconds at " << 206.265 * 6.45 / 500 << "\"/px";
        // No mount is connected: where it points is not known, so it is not written.
        EXPECT_EQ(HeaderValue(files[i], "OBJCTRA"), "<none>");
        EXPECT_EQ(HeaderValue(files[i], "RA"), "<none>");
    }
    std::printf("10 frames of 4 s in %.0f s; settles after dithers took %s\n",
                (p.ends.back() - p.starts.front()) / 1000.0,
                [&] {
                    std::string s;
                    for (size_t i = 1; i < settled.size(); ++i)
                        s += std::to_string((settled[i] - begins[i]) / 1000) + " s ";
                    return s;
                }()
                    .c_str());

    // A stacking program reads the frames and registers them, when it is installed.
    if (Shell("command -v siril-cli").empty())
        GTEST_SKIP() << "siril-cli is not installed: the frames were not registered";
    const std::string out = Shell(std::string(ZORVANE_SOURCE_DIR) + "/tools/siril-register.sh '" +
                                  p.imager->dir.Path() + "'");
    EXPECT_NE(out.find("registered 10 of 10"), std::string::npos) << out;
}

TEST(GuidedSequence, ALostGuideStarHoldsTheSequenceUntilGuidingIsBackAndAGuiderGoneStopsIt) {
    // The guide camera's sky is hidden for 12 frames part-way through the second exposure.
    TwoPrograms p(std::string(kGuideSky) + "cloud=70:12");
    p.Lines({1, 1}, "20", 2);
    p.imager->app->Sequence().guiding.lostLimitSeconds = 120;
    ASSERT_TRUE(p.RunSequence(900000)) << p.imager->app->Sequencer().StatusText();
    EXPECT_EQ(p.LastMessage(), "Sequence complete.");
    ASSERT_EQ(p.starts.size(), 4u);
    const auto lost = p.Times("StarLost");
    ASSERT_FALSE(lost.empty()) << "the cloud came before or after the sequence";
    // From the first lost frame to the settle after guiding came back, nothing started.
    const auto settled = p.Times("SettleDone", 0);
    const auto back =
        std::find_if(settled.begin(), settled.end(), [&](uint64_t t) { return t > lost.back(); });
    ASSERT_NE(back, settled.end()) << "no settle after the star came back";
    EXPECT_FALSE(p.StartedWithin(lost.front(), *back));
    EXPECT_TRUE(p.StartedWithin(*back, p.ends.back()));
    std::printf("star lost from %.1f s to %.1f s; the sequence went on at %.1f s\n",
                lost.front() / 1000.0, lost.back() / 1000.0, *back / 1000.0);
    // The sequencer's status line says what it waits for.
    const auto said = [&](const char* line) {
        return std::count(p.statusLines.begin(), p.statusLines.end(), line) == 1;
    };
    EXPECT_TRUE(said("Line 1, Repeat 1: connecting to the guider"));
    EXPECT_TRUE(said("Line 1, Repeat 1: starting guiding"));
    EXPECT_TRUE(said("Line 2, Repeat 2: guide star lost"));
    EXPECT_TRUE(said("Line 2, Repeat 2: settling"));

    // The guider goes away during an exposure: the sequence stops at once and names it.
    p.imager->app->Sequencer().StartStopSequence();
    ASSERT_TRUE(p.Run([&] { return p.starts.size() > 4; }, 60000));
    p.guider->app->GuiderServer().Socket().Close();
    ASSERT_TRUE(p.Run([&] { return !p.imager->app->Sequencer().Running(); }, 1000));
    EXPECT_NE(p.LastMessage().find("guider at 127.0.0.1:" + std::to_string(p.port)),
              std::string::npos)
        << p.LastMessage();
}

TEST(GuidedSequence, AStarLostForLongerThanTheLimitStopsTheSequenceWithAMessage) {
    TwoPrograms p(std::string(kGuideSky) + "cloud=70:400");
    p.Lines({1}, "20", 4);
    p.imager->app->Sequence().guiding.lostLimitSeconds = 30;
    ASSERT_TRUE(p.RunSequence(900000));
    EXPECT_EQ(p.LastMessage(), "The guide star has been lost for 30 s: sequence terminating");
    EXPECT_LT(p.starts.size(), 4u);
    EXPECT_FALSE(p.StartedWithin(p.Times("StarLost").front(), p.guider->loop.Now()));
}

}  // namespace
}  // namespace zorvane
