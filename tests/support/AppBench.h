#pragma once

// A live application core on the simulated camera in virtual time, with the settings and
// exposure-dialog controllers wired as the main window wires them, a private home folder and
// settings file, and a main window double that records what it was asked.

#include <array>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/AppUi.h"
#include "app/CaptureApp.h"
#include "app/ExposureDialogController.h"
#include "app/SettingsController.h"
#include "core/TimerIds.h"
#include "fixtures/TempDir.h"
#include "platform/DynamicLibrary.h"
#include "platform/Paths.h"
#include "support/ManualWork.h"
#include "support/SimHarness.h"

namespace zorvane::test {

// Thrown where the program would end the process (Abort in a connection failure).
struct ExitRequested {
    int code;
};

class RecordingUi : public AppUi {
public:
    ExposureDialogController* exposureDialog = nullptr;
    bool hasQuickMenu = true;
    std::array<std::string, 8> quickItems{};
    int repaints = 0;
    int exposureRefreshes = 0;
    int coolerRefreshes = 0;
    int maximised = 0;
    int trackingShows = 0;
    int trackingHides = 0;
    int trackingRefreshes = 0;
    int chartRefreshes = 0;
    int calibrationProgressShown = 0;  // windows open
    std::vector<int> calibrationProgress;
    bool starLostShown = false;

    void RepaintView(bool) override { ++repaints; }
    void RefreshExposureDialog() override {
        ++exposureRefreshes;
        if (exposureDialog) exposureDialog->Refresh();
    }
    bool ApplyLockInExposureDialog(bool locked) override {
        if (!exposureDialog) return false;
        exposureDialog->ApplyLock(locked);
        return true;
    }
    void ShowExposureInDialog(float seconds) override {
        if (exposureDialog) exposureDialog->SetExposureText(seconds);
    }
    void RefreshCoolerDialog() override { ++coolerRefreshes; }
    int sequencerRefreshes = 0;
    bool sequencerRunEnabled = true;
    void EnableSequencerRun(bool enable) override { sequencerRunEnabled = enable; }
    void RefreshSequencerDialog() override { ++sequencerRefreshes; }
    bool SetQuickMenuItemText(int position, const std::string& text) override {
        if (!hasQuickMenu || position < 0 || position >= 8) return false;
        quickItems[position] = text;
        return true;
    }
    void MaximiseWindow() override { ++maximised; }
    void ShowCalibrationProgress(bool show) override { calibrationProgressShown += show ? 1 : -1; }
    void SetCalibrationProgress(int percent) override { calibrationProgress.push_back(percent); }
    void ShowGuideStarLost(bool show) override { starLostShown = show; }
    void ShowTrackingDialog(bool show) override { ++(show ? trackingShows : trackingHides); }
    void RefreshTrackingDialog() override { ++trackingRefreshes; }
    void RefreshDeviationCharts(bool) override { ++chartRefreshes; }
    [[noreturn]] void ExitProcessNow(int code) override { throw ExitRequested{code}; }
};

struct AppBench {
    TempDir dir;
    EnvOverride home{"HOME", dir.Path().c_str()};
    EnvOverride config{"XDG_CONFIG_HOME", (dir.Path() + "/.config").c_str()};
    EnvOverride simEnv{"ZORVANE_SIM", nullptr};
    SimControls sim;
    VirtualEventLoop loop;
    PostedWork deviceWork{loop};
    ScriptedPrompts prompts;
    RecordingUi ui;
    std::string iniPath = dir.File("ZorvaneCapture.ini");
    std::unique_ptr<CaptureApp> app;
    std::unique_ptr<ExposureDialogController> exposure;
    std::unique_ptr<SettingsController> settings;

    // Cameras from the test program's folder, or from `libraryDir` (a folder with a copy of the
    // simulated camera: a second camera in the same process).
    explicit AppBench(const std::string& simOptions = "size=640x480", std::string libraryDir = {})
        : sim(libraryDir.empty() ? SimControls::LibraryPath()
                                 : libraryDir + "/" + MapLibraryFileName("ZorvaneCCDDummy.dll")),
          libraryDir_(std::move(libraryDir)) {
        sim.Configure(simOptions);
        loop.SetClockListener([this](uint64_t now) { sim.SetTime(now); });
        loop.SetTimerHandler([this](int id) {
            if (id == kTimerDialogEdit) {
                exposure->OnTimer(id);
            } else {
                app->OnTimer(id);
            }
        });
    }
    ~AppBench() {
        settings.reset();
        exposure.reset();
        if (app) app->Shutdown();
    }

    // The main window's core and controllers, not yet started. Libraries come from the test
    // program's folder unless other folders are given.
    void Create(std::vector<std::string> libraryDirs = {}, std::string machineConfig = {}) {
        AppOptions options;
        if (libraryDirs.empty())
            libraryDirs = {libraryDir_.empty() ? ExecutableDirectory() : libraryDir_};
        options.librarySearchDirs = libraryDirs;
        options.machineConfigPath = machineConfig.empty() ? dir.File("machine.ini") : machineConfig;
        options.settingsPath = iniPath;
        options.clock = &loop;
        options.deviceWork = &deviceWork;
        options.guiderSocket = guiderSocket;
        app = std::make_unique<CaptureApp>(loop, loop, prompts, ui, options);
        exposure = std::make_unique<ExposureDialogController>(*app, prompts);
        settings =
            std::make_unique<SettingsController>(*app, *exposure, ui, loop, options.settingsPath);
        ui.exposureDialog = exposure.get();
    }

    // The main window's creation: construct (camera choice and connection), camera query,
    // settings load, the forced camera settings.
    void Start(std::vector<std::string> libraryDirs = {}, std::string machineConfig = {}) {
        Create(std::move(libraryDirs), std::move(machineConfig));
        app->Construct();
        app->OnCreate([this] { settings->LoadAtStart(); });
    }

    ExposureSettings& Exposure() { return app->Exposure(); }
    // Other programs may connect to its guider over TCP (set before Create/Start).
    bool guiderSocket = false;

private:
    std::string libraryDir_;

public:
    int SensorWidth() { return app->Camera().properties.pixelsX; }
    int SensorHeight() { return app->Camera().properties.pixelsY; }
};

// Runs the program's loop in step with the wall clock until done() holds or limitMs passed (for
// peers that live in real time, such as an INDI server).
inline bool RunReal(AppBench& b, const std::function<bool()>& done, int limitMs) {
    return b.loop.RunInRealTime(done, static_cast<uint64_t>(limitMs));
}

}  // namespace zorvane::test
