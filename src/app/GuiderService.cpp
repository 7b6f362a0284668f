#include "app/GuiderService.h"

#include <unistd.h>

#include <chrono>
#include <cstring>

#include "app/CaptureApp.h"
#include "core/CommandIds.h"
#include "core/TimerIds.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "settings/SettingsValues.h"
#include "view/ImageView.h"

namespace zorvane {

namespace {

double UnixSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    return name;
}

}  // namespace

std::string GuideLogFolder(const std::string& settingsPath) {
    // The settings folder is shared with other programs: the logs go in one of our own.
    return ParentDirectory(settingsPath.empty() ? SettingsFilePath() : settingsPath) +
           "/ZorvaneCapture/logs";
}

// The camera as the guider sees it: this program's exposure cycle and image view.
class GuiderService::Camera : public GuideCamera {
public:
    Camera(CaptureApp& app, AppUi& ui) : app_(app), ui_(ui) {}
    bool Connected() override { return app_.IsConnected(); }
    std::string Name() override {
        const CameraProperties& p = app_.Camera().properties;
        return std::string(p.model, strnlen(p.model, sizeof p.model));
    }
    bool Looping() override { return app_.Cycle().Looping(); }
    GuiderStatus StartLoop() override {
        if (!Connected()) return GuiderError{1, "camera not connected"};
        if (GuiderStatus refused = Ask(CameraActivity::Exposures)) return refused;
        if (!app_.Cycle().Looping()) app_.ToggleLoop();
        return std::nullopt;
    }
    GuiderStatus MayCalibrate() override { return Ask(CameraActivity::Calibration); }
    void StopLoop() override {
        if (app_.Cycle().Looping()) app_.ToggleLoop();
    }
    int ExposureMs() override {
        return static_cast<int>(app_.Exposure().exposure * 1000.0f + 0.5f);
    }
    GuiderStatus SetExposureMs(int ms) override {
        if (GuiderStatus refused = Ask(CameraActivity::Exposures)) return refused;
        ExposureSettings e = app_.Exposure();
        e.exposure = static_cast<float>(ms) / 1000.0f;
        app_.Cycle().ApplyExposureSettings(e);
        ui_.RefreshExposureDialog();
        return std::nullopt;
    }
    Rect SensorRect() override {
        const CameraProperties& p = app_.Camera().properties;
        return Rect{0, 0, p.pixelsX, p.pixelsY};
    }
    int BinX() override {
        const ImageFrame& f = Frame();
        return f.IsEmpty() ? std::max(1, app_.Exposure().binX) : f.BinX;
    }
    int BinY() override {
        const ImageFrame& f = Frame();
        if (!f.IsEmpty()) return f.BinY;
        const ExposureSettings& e = app_.Exposure();
        return std::max(1, e.binY == 0 ? e.binX : e.binY);
    }
    double PixelSizeUm() override {
        const float s = app_.Camera().properties.pixelSizeX;
        return s > 0 && s < 1000 ? s : 0.0;
    }
    const ImageFrame& Frame() override { return app_.View().Frame(); }

private:
    // The camera's owner decides; a refusal goes to the client, not into a message box.
    GuiderStatus Ask(CameraActivity who) {
        if (app_.Owner().MayUse(who)) return std::nullopt;
        return GuiderError{1, app_.Owner().Refusal(who)};
    }

    CaptureApp& app_;
    AppUi& ui_;
};

GuiderService::GuiderService(CaptureApp& app, TimerService& timers, Prompts& prompts, AppUi& ui,
                             const AppOptions& options)
    : app_(app),
      timers_(timers),
      prompts_(prompts),
      ui_(ui),
      listen_(options.guiderSocket),
      instance_(listen_ ? std::make_unique<InstanceLock>() : nullptr),
      camera_(std::make_unique<Camera>(app, ui)),
      control_(app.Guider(), *camera_, options.clock ? *options.clock : SystemClock::Instance(),
               app.Guiding()),
      server_(control_,
              EventServerOptions{HostName(), instance_ ? std::max(1, instance_->Number()) : 1},
              UnixSeconds),
      socket_(server_),
      log_(GuideLogFolder(options.settingsPath), "4.2.0") {
    control_.AddListener(&server_);
    control_.AddListener(&log_);
    control_.SetShutdownHandler([this] { ui_.CloseMainWindow(); });
    server_.SetBusyCheck([this] { return ui_.ModalOpen(); });
    log_.Open();
    timers_.SetTimer(kTimerGuider, kPollMs);
}

GuiderService::~GuiderService() {
    timers_.KillTimer(kTimerGuider);
    socket_.Close();
}

int GuiderService::PortToUse() const {
    if (settings_.port > 0) return settings_.port;
    const int instance = instance_ && instance_->Number() > 0 ? instance_->Number() : 1;
    return kBasePort + instance - 1;
}

bool GuiderService::ApplySettings(bool quiet) {
    if (!listen_ || !settings_.enabled) {
        socket_.Close();
        return true;
    }
    if (socket_.Listening() && socket_.Port() == PortToUse()) return true;
    std::string why;
    if (socket_.Listen(PortToUse(), settings_.allInterfaces, why)) return true;
    if (!quiet) {
        char text[256];
        std::snprintf(text, sizeof text,
                      "The guiding event server cannot listen on port %d:\n%s\n\nOther programs "
                      "cannot drive the guider until the port is free.",
                      PortToUse(), why.c_str());
        prompts_.MessageBox(text, CaptureApp::kTitle, MessageButtons::Ok, MessageIcon::Exclamation);
    }
    return false;
}

void GuiderService::LoadSettings(const SettingsValues& v) {
    settings_ = v.eventServer;
    ApplySettings(false);
}

void GuiderService::SaveSettings(SettingsValues& v) const {
    v.eventServer = settings_;
}

bool GuiderService::OnTimer(int id) {
    if (id != kTimerGuider) return false;
    socket_.Poll();
    // Inside a modal box the guider waits, like the requests.
    if (!ui_.ModalOpen()) control_.Tick();
    return true;
}

bool GuiderService::ExecuteCommand(int id) {
    switch (id) {
        case ids::ID_GUIDE_AUTOSELECT:
            app_.Guider().AutoSelectStar(false);
            return true;
        case ids::ID_GUIDE_SERVER:
            settings_.enabled = !settings_.enabled;
            if (!ApplySettings(false)) settings_.enabled = false;
            return true;
        case ids::ID_GUIDE_LOG_FOLDER:
            MakeDirectories(log_.Folder(), 0755);
            ui_.OpenFolder(log_.Folder());
            return true;
        default:
            return false;
    }
}

CommandUi GuiderService::CommandState(int id, CommandUi other) {
    CommandUi ui;
    switch (id) {
        case ids::ID_GUIDE_AUTOSELECT:
            ui.enabled = app_.IsConnected() && !app_.Guider().Calibrating();
            return ui;
        case ids::ID_GUIDE_SERVER:
            ui.checked = socket_.Listening();
            ui.enabled = listen_;
            ui.text = "Guiding event &server (port " + std::to_string(PortToUse()) + ")";
            return ui;
        default:
            return other;
    }
}

}  // namespace zorvane
