#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/AppState.h"
#include "app/AppUi.h"
#include "core/Clock.h"
#include "core/Prompts.h"
#include "core/TimerService.h"
#include "guideserver/EventServer.h"
#include "guideserver/EventServerSocket.h"
#include "guiding/GuideLog.h"
#include "guiding/GuiderControl.h"
#include "platform/TcpListener.h"

namespace zorvane {

class CaptureApp;
struct AppOptions;
struct CommandUi;
struct SettingsValues;

// The guider as other programs see it, put together for the main window: the guider's control
// on this program's camera and guiding engine, the event server and its socket, and the guide
// log. It runs on its own timer (kTimerGuider), keeps requests waiting while a modal box is up,
// and carries the commands of its menu items.
class GuiderService {
public:
    static constexpr int kBasePort = 4400;
    static constexpr unsigned kPollMs = 25;

    // The socket is opened (when the settings ask for it) only with options.guiderSocket.
    GuiderService(CaptureApp& app, TimerService& timers, Prompts& prompts, AppUi& ui,
                  const AppOptions& options);
    ~GuiderService();
    GuiderService(const GuiderService&) = delete;
    GuiderService& operator=(const GuiderService&) = delete;

    bool OnTimer(int id);
    bool ExecuteCommand(int id);
    // How one of its commands looks; any other command keeps `other`.
    CommandUi CommandState(int id, CommandUi other);

    // The [EventServer] settings: loading (re)starts or stops the server.
    void LoadSettings(const SettingsValues& v);
    void SaveSettings(SettingsValues& v) const;
    EventServerSettings& Settings() { return settings_; }
    // The port the settings give: 4400 for the first running copy of the program, 4401 for a
    // second and so on, unless a port is set.
    int PortToUse() const;
    // Listens (or stops) as the settings say; unless quiet, a failure is reported.
    bool ApplySettings(bool quiet);

    GuiderControl& Control() { return control_; }
    EventServer& Server() { return server_; }
    EventServerSocket& Socket() { return socket_; }
    GuideLog& Log() { return log_; }

private:
    class Camera;

    CaptureApp& app_;
    TimerService& timers_;
    Prompts& prompts_;
    AppUi& ui_;
    bool listen_;
    std::unique_ptr<InstanceLock> instance_;
    std::unique_ptr<Camera> camera_;
    EventServerSettings settings_;
    GuiderControl control_;
    EventServer server_;
    EventServerSocket socket_;
    GuideLog log_;
};

// The guide logs' folder beside the settings file.
std::string GuideLogFolder(const std::string& settingsPath);

}  // namespace zorvane
