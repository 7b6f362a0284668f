// One night on the INDI simulators: the camera through the program's INDI camera library, the
// filter wheel and the mount, each on a server of its own, and another program that uses the
// same devices and watches them. A three-filter sequence runs while each server is killed and
// restarted in turn (wheel, mount, camera). Every wait is bounded, the user is told each time,
// every file is whole and labelled with the filter the wheel stood at while its light was
// collected, and nobody else's device is switched off. The night's timeline is printed.
#include <fitsio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "automation/IndiTransport.h"
#include "core/TimerIds.h"
#include "fixtures/TempDir.h"
#include "guiding/GuidingEngine.h"
#include "indi/CameraChoice.h"
#include "indi/IndiClient.h"
#include "sequencer/SequenceEngine.h"
#include "support/AppBench.h"
#include "support/FitsReadBack.h"
#include "support/IndiServer.h"

namespace zorvane {
namespace {

using indi::PropertyState;
using test::IndiServer;
// The wall clock, so that the other program's records compare with the files' times.
using Time = std::chrono::system_clock::time_point;

// Another program on the same servers (an observatory panel): it switches every device on, as
// such a program does when it starts and when a server comes back, and records what each
// device's CONNECTION, the wheel's FILTER_SLOT and the camera's CCD_EXPOSURE said, and when.
class OtherProgram {
public:
    struct Record {
        Time at;
        int session;  // one per connection: a restarted server starts a new one
        std::string device, property;
        PropertyState state;
        bool on;       // CONNECTION: CONNECT
        double value;  // FILTER_SLOT: the slot, from 1
    };

    // Connects to `server` (again, after a restart) and switches `device` on when it is off.
    bool Attach(const IndiServer& server, const char* device) {
        auto client = std::make_unique<indi::IndiClient>();
        const int session = ++sessions_;
        client->SetUpdateSink(
            [this, session](const indi::PropertySnapshot& p) { Note(session, p); });
        if (!client->Connect("localhost", server.Port(), 1000) ||
            !client->WaitForProperty(device, "CONNECTION", 5000))
            return false;
        const auto on = [&](const indi::DeviceSet& s) {
            const indi::PropertySnapshot* c = s.Find(device, "CONNECTION");
            return c && c->Find("CONNECT")->on && c->state == PropertyState::Ok;
        };
        if (!client->WaitUntil(on, 0)) client->SelectSwitch(device, "CONNECTION", "CONNECT");
        const bool connected = client->WaitUntil(on, 10000);
        clients_[server.Port()] = std::move(client);
        return connected;
    }

    // Each time a device seen on was seen off again on the same connection, waiting up to
    // `ms` for one.
    std::vector<std::string> SwitchedOffWithin(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        std::vector<std::string> found = SwitchedOff();
        while (found.empty() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            found = SwitchedOff();
        }
        return found;
    }

    // The two servers are heard on two threads: a settled slot stamped this much after an
    // exposure's start may have come before it.
    static constexpr auto kSkew = std::chrono::milliseconds(100);

    // The wheel's slot (from 1) during the last exposure begun before `end`: where it had
    // settled when the exposure began, if it stayed there until `end`; none otherwise.
    std::optional<int> SlotDuringExposureBefore(Time end) {
        std::lock_guard lock(mutex_);
        std::optional<Time> began;
        std::map<int, bool> busy;
        for (const Record& r : records_) {
            if (r.at > end) break;
            if (r.property != "CCD_EXPOSURE") continue;
            if (r.state == PropertyState::Busy && !busy[r.session]) began = r.at;
            busy[r.session] = r.state == PropertyState::Busy;
        }
        if (!began) return std::nullopt;
        std::optional<int> slot;
        for (const Record& r : records_) {
            if (r.at > end) break;
            if (r.property != "FILTER_SLOT") continue;
            // It moved while the light came in.
            if (r.at > *began && (r.state == PropertyState::Busy || r.at > *began + kSkew))
                return std::nullopt;
            slot.reset();
            if (r.state != PropertyState::Busy) slot = static_cast<int>(std::lround(r.value));
        }
        return slot;
    }

private:
    std::vector<std::string> SwitchedOff() {
        std::lock_guard lock(mutex_);
        std::vector<std::string> found;
        std::map<std::pair<int, std::string>, bool> wasOn;
        for (const Record& r : records_) {
            if (r.property != "CONNECTION" || r.state == PropertyState::Busy) continue;
            bool& on = wasOn[{r.session, r.device}];
            if (on && !r.on) found.push_back(r.device);
            on = r.on;
        }
        return found;
    }

    void Note(int session, const indi::PropertySnapshot& p) {
        if (p.name != "CONNECTION" && p.name != "FILTER_SLOT" && p.name != "CCD_EXPOSURE") return;
        const indi::Element* connect = p.Find("CONNECT");
        const indi::Element* slot = p.Find("FILTER_SLOT_VALUE");
        std::lock_guard lock(mutex_);
        records_.push_back({std::chrono::system_clock::now(), session, p.device, p.name, p.state,
                            connect && connect->on, slot ? slot->number : 0.0});
    }

    std::mutex mutex_;
    std::vector<Record> records_;
    int sessions_ = 0;
    std::map<int, std::unique_ptr<indi::IndiClient>> clients_;  // by port
};

// What happened when; printed at the end, however the night ends.
struct Timeline {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::vector<std::string> lines;

    void Add(std::string what) {
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        char at[32];
        std::snprintf(at, sizeof at, "%7.2f s  ", s);
        std::replace(what.begin(), what.end(), '\n', '|');
        lines.push_back(at + what);
    }
    ~Timeline() {
        std::printf("The night:\n");
        for (const std::string& l : lines) std::printf("  %s\n", l.c_str());
    }
};

// The program's window loop run in step with the wall clock, noting in the timeline what the
// user was told, the files saved and the sequence starting and stopping.
struct Night {
    Night(test::AppBench& bench, Timeline& timeline) : b(bench), log(timeline) {}
    test::AppBench& b;
    Timeline& log;
    size_t shown = 0, told = 0;
    std::string saved;
    bool running = false;
    std::chrono::steady_clock::duration longestStep{};

    // False, said in the timeline, when `done` did not come within `limitMs`: a wait that
    // never ends fails the night instead of holding up CI.
    bool Until(const std::function<bool()>& done, int limitMs, const std::string& what) {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        auto last = start;
        while (!done()) {
            const auto now = Clock::now();
            if (now - start > std::chrono::milliseconds(limitMs)) {
                log.Add("still waiting for " + what + " after " + std::to_string(limitMs) + " ms");
                return false;
            }
            const auto step = std::chrono::duration_cast<std::chrono::milliseconds>(now - last);
            if (step.count() > 0) {
                b.loop.Advance(static_cast<uint64_t>(step.count()));
                last += step;
                longestStep = std::max(longestStep, Clock::now() - now);
                Observe();
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return true;
    }
    void Observe() {
        for (; shown < b.prompts.messages.size(); ++shown)
            log.Add("told: \"" + b.prompts.messages[shown].text + "\"");
        const std::string name = b.app->LastSavedName();
        if (!name.empty() && name != saved)
            log.Add("saved " + std::filesystem::path(name).filename().string());
        saved = name;
        if (running != b.app->Sequencer().Running()) {
            running = !running;
            log.Add(running ? "sequence running" : "sequence stopped");
        }
    }
    // The messages shown since the last call.
    std::vector<std::string> Told() {
        std::vector<std::string> texts;
        for (; told < b.prompts.messages.size(); ++told)
            texts.push_back(b.prompts.messages[told].text);
        return texts;
    }
};

std::vector<std::filesystem::path> Frames(const std::string& dir) {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".fit") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string Fitsverify(const std::string& path) {
    std::string report;
    if (FILE* pipe = ::popen(("fitsverify -q '" + path + "' 2>&1").c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) report += buffer;
        ::pclose(pipe);
    }
    return report;
}

constexpr const char* kWheel = IndiServer::kWheelDevice;
constexpr const char* kMount = IndiServer::kTelescopeDevice;
constexpr const char* kCcd = IndiServer::kCcdDevice;
// The three lines: filter positions as the user counts them, the suffix names the filter.
constexpr int kFilters[] = {2, 5, 7};

TEST(IndiNight, ASequenceLivesThroughEachServerDyingInTurn) {
    Timeline log;
    test::TempDir frames;
    IndiServer wheel({IndiServer::kWheelDriver}, {kWheel});
    IndiServer mount({IndiServer::kTelescopeDriver}, {kMount});
    IndiServer ccd({IndiServer::kCcdDriver}, {kCcd});
    ZORVANE_START_INDI_SERVER(wheel);
    ZORVANE_START_INDI_SERVER(mount);
    ZORVANE_START_INDI_SERVER(ccd);
    OtherProgram other;
    ASSERT_TRUE(other.Attach(wheel, kWheel));
    ASSERT_TRUE(other.Attach(mount, kMount));
    ASSERT_TRUE(other.Attach(ccd, kCcd));
    log.Add("three servers up; another program has switched their devices on");

    const std::string camera = std::string(kCcd) + "@" + ccd.Address();
    test::EnvOverride asked(indi::kCameraEnvironment, camera.c_str());
    auto bench = std::make_unique<test::AppBench>();
    test::AppBench& b = *bench;
    const std::string scope = IndiTransport::DeviceProgId(kMount, "localhost", mount.Port());
    test::WriteText(b.iniPath, std::string("[Automation]\nQelt.Filterwheel.Com=") + kWheel + "@" +
                                   wheel.Address() + "\n[Ascom]\nScopeID=" + scope +
                                   "\n[Guiding]\nCameraRelays=0\n");
    b.Start();
    ASSERT_TRUE(b.app->IsConnected());
    b.loop.DrainPosted();  // the wheel's connect
    ASSERT_TRUE(b.app->IsFilterWheelConnected());
    GuidingEngine& guider = b.app->Guider();
    guider.ToggleTrackingDialog();  // the tracking dialog connects the mount as the guide output
    b.loop.DrainPosted();
    ASSERT_TRUE(guider.TelescopeInUse());
    Night night(b, log);
    log.Add("program started: camera, wheel and mount (guide output) connected");

    b.app->Saver().Settings().savePath = frames.File("night.fit");
    SequenceModel& model = b.app->Sequence();
    for (int i = 0; i < 3; ++i)
        model.lines[i] = {true, "0.2", 1, kFilters[i], "_f" + std::to_string(kFilters[i]), {}};
    model.repeatMode = static_cast<int>(RepeatMode::Sequence);
    model.repeat = 100;
    SequenceEngine& sequence = b.app->Sequencer();
    const auto run = [&](const char* why) {
        log.Add(std::string("user: Run (") + why + ")");
        sequence.StartStopSequence();
        night.Observe();
    };
    const auto savedAtLeast = [&](size_t n) {
        return [&, n] { return Frames(frames.Path()).size() >= n; };
    };
    const auto exposing = [&] { return b.app->Cycle().Exposing(); };
    const auto stopped = [&] { return !sequence.Running(); };

    // The wheel's server dies under an exposure: that frame was taken through a filter the
    // wheel had reached, and is kept; the next move cannot be made, and the sequence stops.
    run("three filters, 0.2 s, 2x2");
    ASSERT_TRUE(night.Until(savedAtLeast(4), 60000, "four frames"));
    ASSERT_TRUE(night.Until(exposing, 20000, "an exposure"));
    wheel.Kill();
    log.Add("wheel server killed");
    ASSERT_TRUE(night.Until(stopped, 30000, "the sequence to stop without its wheel"));
    EXPECT_EQ(night.Told(), std::vector<std::string>{SequenceEngine::kFilterFailed});
    run("the wheel's server still down");
    // It stops once the wheel's connect has found nobody.
    EXPECT_TRUE(night.Until(stopped, 10000, "the sequence to stop at its first move"));
    EXPECT_EQ(night.Told(), std::vector<std::string>{SequenceEngine::kFilterFailed});

    ASSERT_EQ(wheel.Restart(), IndiServer::Status::Started) << wheel.Error();
    ASSERT_TRUE(other.Attach(wheel, kWheel));
    log.Add("wheel server restarted; the other program switched the wheel on");
    run("again");
    ASSERT_TRUE(sequence.Running());

    // The mount's server dies while nothing guides: the user hears of it at once and the
    // guide output goes back to the camera's port, but the sequence goes on without a break
    // (the message is shown while its timers run, so a box waiting for OK holds nothing up).
    const size_t beforeMount = Frames(frames.Path()).size();
    ASSERT_TRUE(night.Until(savedAtLeast(beforeMount + 2), 60000, "two more frames"));
    bool sequenceHeldUp = false;
    std::string heldAt;
    b.prompts.whileShown = [&](const std::string&) {
        // Running with none of its waits set up means a step is waiting for the box.
        sequenceHeldUp = sequence.Running();
        for (const int timer :
             {kTimerSeqStart, kTimerSeqPoll, kTimerSeqCommand, kTimerSeqGate, kTimerFilterWheel})
            if (b.loop.IsTimerSet(timer)) sequenceHeldUp = false;
        heldAt = sequence.StatusText();
    };
    mount.Kill();
    log.Add("mount server killed");
    const std::string mountLost = std::string(kMount) + "\nCannot connect to telescope";
    EXPECT_TRUE(
        night.Until([&] { return night.shown > night.told; }, 10000, "a word on the mount"));
    EXPECT_EQ(night.Told(), std::vector<std::string>{mountLost});
    EXPECT_FALSE(sequenceHeldUp) << heldAt;
    EXPECT_FALSE(guider.TelescopeInUse());
    const size_t afterMount = Frames(frames.Path()).size();
    ASSERT_TRUE(night.Until(savedAtLeast(afterMount + 3), 60000, "three frames without a mount"));
    EXPECT_TRUE(sequence.Running());
    ASSERT_EQ(mount.Restart(), IndiServer::Status::Started) << mount.Error();
    ASSERT_TRUE(other.Attach(mount, kMount));
    log.Add("mount server restarted; the other program switched the mount on");
    guider.OnConnectClicked(true);
    log.Add("user: ticks Connect in the tracking dialog");
    EXPECT_TRUE(
        night.Until([&] { return guider.TelescopeInUse(); }, 10000, "the mount to connect"));
    std::optional<TelescopeLink::PulseEnd> end;
    b.app->Telescope().PulseGuide(guide::North, 50, [&](TelescopeLink::PulseEnd e) { end = e; });
    EXPECT_TRUE(night.Until([&] { return end.has_value(); }, 5000, "a pulse's end"));
    EXPECT_EQ(end, TelescopeLink::PulseEnd::Ended) << "the mount guides again";
    EXPECT_TRUE(night.Told().empty());

    // The camera's server dies under an exposure: the sequence stops, saying where.
    ASSERT_TRUE(night.Until(exposing, 20000, "an exposure"));
    ccd.Kill();
    log.Add("camera server killed");
    ASSERT_TRUE(night.Until(stopped, 30000, "the sequence to stop without its camera"));
    char where[256];
    std::snprintf(where, sizeof where, SequenceEngine::kCameraLostFormat, sequence.Line() + 1,
                  sequence.Repeat() + 1);
    EXPECT_EQ(night.Told(), std::vector<std::string>{where});
    EXPECT_TRUE(sequence.Line() >= 0 && sequence.Line() < 3);
    run("before reconnecting");
    EXPECT_TRUE(stopped());
    EXPECT_EQ(night.Told(), std::vector<std::string>{SequenceEngine::kNoCamera});

    ASSERT_EQ(ccd.Restart(), IndiServer::Status::Started) << ccd.Error();
    ASSERT_TRUE(other.Attach(ccd, kCcd));
    log.Add("camera server restarted; the other program switched the camera on");
    b.app->ConnectOrDisconnect();
    log.Add("user: Camera > Connect");
    ASSERT_TRUE(b.app->IsConnected());
    model.repeat = 1;
    run("one last pass");
    ASSERT_TRUE(night.Until(stopped, 60000, "the last pass"));
    EXPECT_EQ(night.Told(), std::vector<std::string>{SequenceEngine::kComplete});
    std::printf(
        "longest time the window did not answer: %lld ms\n",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(night.longestStep).count()));
    bench.reset();
    log.Add("program closed");

    // Whatever the program did, on its way out too, the other program's devices stayed on
    // (a driver's answer to a switch-off the program sent at the end would come within 1 s).
    EXPECT_EQ(other.SwitchedOffWithin(1000), std::vector<std::string>{});

    // Every frame is whole, passes fitsverify, and names the filter the wheel stood at while
    // its light came in, which is its line's filter.
    const std::regex line(R"(night_\d{3}_f(\d)(\(\d+\))?\.fit)");
    const auto files = Frames(frames.Path());
    EXPECT_GE(files.size(), 12u);
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        std::smatch m;
        const std::string name = path.filename().string();
        ASSERT_TRUE(std::regex_match(name, m, line));
        const test::FitsContent c = test::ReadFitsBack(path.string());
        EXPECT_EQ(c.error, "");
        EXPECT_EQ(c.width, 640);
        EXPECT_EQ(c.height, 512);
        const std::string report = Fitsverify(path.string());
        EXPECT_NE(report.find("OK"), std::string::npos) << report;
        const Time written = std::chrono::time_point_cast<Time::duration>(
            std::chrono::file_clock::to_sys(std::filesystem::last_write_time(path)));
        const std::optional<int> slot = other.SlotDuringExposureBefore(written);
        ASSERT_TRUE(slot.has_value()) << "the wheel moved during the exposure";
        EXPECT_EQ(c.filter, "'Position " + std::to_string(*slot) + "'");
        EXPECT_EQ(*slot, std::stoi(m[1].str()));
    }
    log.Add(std::to_string(files.size()) + " frames checked");
}

}  // namespace
}  // namespace zorvane
