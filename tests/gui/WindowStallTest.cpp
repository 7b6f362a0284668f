// The main window against real INDI peers (the wheel and telescope simulators on a private
// server, and the same server frozen), measuring how long its event loop went without running
// while the program starts, moves the wheel from the Filter Wheel dialog and guides through the
// mount. The figures are printed; what is checked is that the devices did what was asked.

#include <QComboBox>
#include <atomic>
#include <cstdio>
#include <string>

#include "MainFrameHarness.h"
#include "core/CommandIds.h"
#include "indi/CameraChoice.h"
#include "indi/IndiClient.h"
#include "platform/IniFile.h"
#include "support/IndiServer.h"
#include "support/StallMonitor.h"
#include "telescope/TelescopeLink.h"
#include "ui/CFilterWheelDialog.h"
#include "view/ImageView.h"

using namespace zorvane;
using namespace zorvane::test;

class WindowStallTest : public QObject {
    Q_OBJECT

    StallMonitor monitor_;
    qint64 built_ = -1;  // how long the last window took to build, devices apart

    void Report(const char* what) {
        std::printf("STALL %-52s %6lld ms", what, static_cast<long long>(monitor_.LongestMs()));
        if (built_ >= 0) std::printf("  (building the window: %lld ms)", built_);
        std::printf("\n");
        std::fflush(stdout);
        built_ = -1;
    }

    // Settings naming the wheel and the mount on `server`, the mount as the guide output.
    static AppOptions Options(WindowFolders& folders, const IndiServer& server) {
        AppOptions o = folders.Options(BinDir());
        const std::string at = std::string("@").append(server.Address());
        WritePrivateProfileString("Automation", "Qelt.Filterwheel.Com",
                                  IndiServer::kWheelDevice + at, o.settingsPath);
        WritePrivateProfileString("Ascom", "ScopeID",
                                  std::string(IndiServer::kTelescopeDevice) + ".indi" + at,
                                  o.settingsPath);
        WritePrivateProfileString("Guiding", "CameraRelays", "0", o.settingsPath);
        return o;
    }

    // The window made inside the running event loop, as the program's start-up is, so that the
    // time it takes counts as a stall.
    std::unique_ptr<CMainFrame> StartWindow(ScriptedPrompts& prompts, const AppOptions& options) {
        std::unique_ptr<CMainFrame> frame;
        QTimer::singleShot(0, [&] {
            QElapsedTimer building;
            building.start();
            frame = std::make_unique<CMainFrame>(prompts, options);
            built_ = building.elapsed();
            frame->show();
            // The tracking dialog, as when it was open at the last exit: its mount connects.
            frame->OnCommand(ids::ID_VIEW_TRACKING);
        });
        (void)QTest::qWaitFor([&] { return frame != nullptr; }, 60000);  // null: the caller fails
        return frame;
    }

private slots:
    void figures() {
        IndiServer server({IndiServer::kWheelDriver, IndiServer::kTelescopeDriver},
                          {IndiServer::kWheelDevice, IndiServer::kTelescopeDevice});
        QVERIFY2(server.Start() == IndiServer::Status::Started, server.Error().c_str());

        // ---- the window alone, for comparison: no device is named ----
        {
            ScriptedPrompts prompts;
            WindowFolders folders;
            monitor_.Reset();
            auto frame = StartWindow(prompts, folders.Options(BinDir()));
            QVERIFY(frame);
            QTest::qWait(1000);
            Report("start-up, no devices");
        }

        // ---- start-up with the wheel's and the mount's server frozen ----
        {
            server.Pause();
            ScriptedPrompts prompts;
            WindowFolders folders;
            monitor_.Reset();
            auto frame = StartWindow(prompts, Options(folders, server));
            QVERIFY(frame);
            // The mount is given up quietly and the camera's port guides.
            QVERIFY(QTest::qWaitFor(
                [&] { return frame->App().Guiding().output == GuideOutput::CameraPort; }, 20000));
            QTest::qWait(4000);
            Report("start-up, devices on a frozen server");
            QVERIFY(!frame->App().IsFilterWheelConnected());
            QVERIFY(!frame->App().Guider().TelescopeInUse());
            QVERIFY(prompts.messages.empty());
            frame.reset();
            server.Resume();
        }

        ScriptedPrompts prompts;
        WindowFolders folders;
        monitor_.Reset();
        auto frame = StartWindow(prompts, Options(folders, server));
        QVERIFY(frame);
        CaptureApp& app = frame->App();
        QVERIFY(QTest::qWaitFor([&] { return app.Guider().TelescopeInUse(); }, 20000));
        QVERIFY(QTest::qWaitFor([&] { return app.IsFilterWheelConnected(); }, 20000));
        Report("start-up, devices on a live server");

        // ---- the wheel, moved from its dialog ----
        frame->OnCommand(ids::ID_CAMERA_FILTER_WHEEL);
        auto* dialog = static_cast<CFilterWheelDialog*>(frame->Dialog(AppDialog::FilterWheel));
        QVERIFY(dialog);
        QComboBox* list = dialog->PositionList();
        QVERIFY(QTest::qWaitFor([&] { return list->isEnabled() && list->count() == 8; }, 10000));
        const auto settled = [&](int index) {
            return QTest::qWaitFor(
                [&] { return list->isEnabled() && list->currentIndex() == index; }, 20000);
        };
        monitor_.Reset();
        list->setCurrentIndex(3);
        QVERIFY(settled(3));
        QCOMPARE(app.FilterPosition(), 3);
        Report("filter move, live server");

        server.Pause();
        monitor_.Reset();
        list->setCurrentIndex(1);
        // The frozen wheel never moves: the list comes back to where it is.
        QVERIFY(settled(3));
        Report("filter move, frozen server");
        server.Resume();
        QTest::qWait(500);

        // ---- guiding through the mount ----
        std::atomic<int> pulses{0};
        indi::IndiClient watcher;
        watcher.SetUpdateSink([&](const indi::PropertySnapshot& p) {
            if (p.name.rfind("TELESCOPE_TIMED_GUIDE_", 0) == 0 &&
                p.state == indi::PropertyState::Busy)
                ++pulses;
        });
        const auto [host, port] = indi::IndiClient::ParseServer(server.Address());
        QVERIFY(watcher.Connect(host, port, 2000));

        app.Exposure().exposure = 0.5f;
        app.Snapshot();
        QVERIFY(QTest::qWaitFor([&] { return !app.View().Frame().IsEmpty(); }, 20000));
        QVERIFY(app.Guider().AutoSelectStar(true));
        // Five pixels off on both axes at five pixels a second: a 500 ms pulse on each.
        app.Guider().SetGuideTarget(app.Guider().TargetX() - 5, app.Guider().TargetY() - 5);
        app.Guider().Calibration() =
            GuideCalibration(1, 0, 0, 1, 5, 5, app.Guider().CurrentSetup());
        app.Guider().OnAutoguideClicked(true);
        QVERIFY(app.Guider().AutoguideOn());

        monitor_.Reset();
        app.ToggleLoop();
        QVERIFY(QTest::qWaitFor([&] { return pulses >= 6; }, 30000));
        app.ToggleLoop();
        QTest::qWait(1500);
        Report("guiding, 500 ms mount pulses, live server");

        server.Pause();
        monitor_.Reset();
        app.ToggleLoop();
        QTest::qWait(6000);
        app.ToggleLoop();
        QTest::qWait(3000);
        Report("guiding, 500 ms mount pulses, frozen server");
        server.Resume();
        QVERIFY(app.Guider().AutoguideOn());
        QVERIFY(prompts.messages.empty());
    }

    // The INDI camera's set-up: at start-up, and by the Connect command.
    void indiCamera() {
        IndiServer server({IndiServer::kCcdDriver}, {IndiServer::kCcdDevice});
        QVERIFY2(server.Start() == IndiServer::Status::Started, server.Error().c_str());
        const std::string camera = std::string(IndiServer::kCcdDevice) + "@" + server.Address();
        // The library reads the user's choice itself (the environment wins for one run).
        qputenv(indi::kCameraEnvironment, QByteArray::fromStdString(camera));
        {
            server.Pause();
            ScriptedPrompts prompts;  // "Failed to connect to Camera": Ignore
            WindowFolders folders;
            AppOptions options = folders.Options(BinDir());
            WritePrivateProfileString("Automation", "IndiCamera", camera, options.settingsPath);
            monitor_.Reset();
            auto frame = StartWindow(prompts, options);
            QVERIFY(frame);
            QTest::qWait(500);
            Report("start-up, INDI camera on a frozen server");
            QVERIFY(!frame->App().IsConnected());
            frame.reset();
            server.Resume();
        }
        ScriptedPrompts prompts;
        WindowFolders folders;
        AppOptions options = folders.Options(BinDir());
        WritePrivateProfileString("Automation", "IndiCamera", camera, options.settingsPath);
        monitor_.Reset();
        auto frame = StartWindow(prompts, options);
        QVERIFY(frame);
        QVERIFY(QTest::qWaitFor([&] { return frame->App().IsConnected(); }, 20000));
        Report("start-up, INDI camera on a live server");

        frame->OnCommand(ids::ID_CAMERA_CONNECT);
        QVERIFY(QTest::qWaitFor([&] { return !frame->App().IsConnected(); }, 20000));
        monitor_.Reset();
        frame->OnCommand(ids::ID_CAMERA_CONNECT);
        QVERIFY(QTest::qWaitFor([&] { return frame->App().IsConnected(); }, 20000));
        QTest::qWait(200);
        Report("Connect command, INDI camera on a live server");
        QVERIFY(prompts.messages.empty());
        frame.reset();
        qunsetenv(indi::kCameraEnvironment);
    }
};

ZORVANE_GUI_TEST_MAIN(WindowStallTest)
#include "WindowStallTest.moc"
