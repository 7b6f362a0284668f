// The cooler dialog against the simulated camera's cooler: what it shows in each control mode,
// what the spin and the on / warm-up button send, and how the dialog lives beside the window.

#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "MainFrameHarness.h"
#include "core/CommandIds.h"
#include "core/TimerIds.h"
#include "ui/CoolerDialog.h"
#include "ui/UpDownButtons.h"

using namespace zorvane;
using namespace zorvane::test;

namespace {

// The last value sent with ZorvaneSetCooling, or an empty text when none was sent.
QString LastSetCooling(const QString& log) {
    QString last;
    for (const QString& line : log.split('\n'))
        if (line.startsWith("ZorvaneSetCooling(")) last = line.mid(18).chopped(1);
    return last;
}

void Step(CoolerDialog* d, int times) {
    QToolButton* b = times > 0 ? d->Spin()->UpButton() : d->Spin()->DownButton();
    for (int i = 0; i < std::abs(times); ++i) QTest::mouseClick(b, Qt::LeftButton);
}

}  // namespace

class CoolerDialogTest : public QObject {
    Q_OBJECT

    SimControls sim_;

    std::unique_ptr<CMainFrame> OnSim(ScriptedPrompts& prompts, WindowFolders& folders,
                                      const char* simOptions = "") {
        sim_.Reset(simOptions);
        auto frame = std::make_unique<CMainFrame>(prompts, folders.Options(BinDir()));
        // The program waits 250 ms after switching the cooler on; not needed here.
        frame->App().Cooler().sleep = [](unsigned) {};
        return frame;
    }

    static CoolerDialog* Open(CMainFrame& frame) {
        frame.OnCommand(ids::ID_VIEW_COOLER);
        return frame.Cooler();
    }

private slots:
    void initTestCase() { QVERIFY2(sim_.Loaded(), "the simulated camera library is missing"); }

    // The cooler's rules are the core's (CoolerControl); here only that the widgets show its
    // model and route the spin and the button.
    void theWidgetsShowTheCoolerAndRouteItsControls() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        frame->App().Cooler().SetSetpointValue(-1500);  // -15 °C from the settings
        CoolerDialog* d = Open(*frame);
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->windowTitle(), QString("Cooler"));
        QCOMPARE(d->ModeLabel()->text(), QString("Setpoint:"));
        QCOMPARE(d->ValueEdit()->text(), QString::fromUtf8("-15.0°C"));
        QCOMPARE(d->StatusLine()->text(), QString("Status: Off"));
        QCOMPARE(d->OnOffButton()->text(), QString("Cooler on"));
        QVERIFY(d->TemperatureLine()->isEnabled());
        QCOMPARE(d->TemperatureLine()->text(), QString::fromUtf8("Temp: 20.0°C"));

        Step(d, 10);
        QCOMPARE(d->ValueEdit()->text(), QString::fromUtf8("-14.0°C"));
        sim_.ClearCallLog();
        QTest::mouseClick(d->OnOffButton(), Qt::LeftButton);
        QCOMPARE(LastSetCooling(QString::fromStdString(sim_.CallLog())), QString("-1400"));
        QCOMPARE(d->ValueEdit()->text(), QString::fromUtf8("-14.0°C"));
        QCOMPARE(d->StatusLine()->text(), QString("Status: Cooling"));
        QCOMPARE(d->OnOffButton()->text(), QString("Warm up"));

        // Warm up from below ambient: the button is disabled while the camera warms.
        sim_.Advance(60000);
        QTest::mouseClick(d->OnOffButton(), Qt::LeftButton);
        QCOMPARE(sim_.CallCount("ZorvaneCoolerWarmUp"), 1);
        QCOMPARE(d->StatusLine()->text(), QString("Status: Warming up"));
        QVERIFY(!d->OnOffButton()->isEnabled());
    }

    void powerModeShowsPercent() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders, "cooling=power");
        frame->App().Cooler().SetSetpointValue(128);
        CoolerDialog* d = Open(*frame);
        QVERIFY(d);
        QCOMPARE(d->ModeLabel()->text(), QString("Power level:"));
        QTest::mouseClick(d->OnOffButton(), Qt::LeftButton);
        QCOMPARE(d->ValueEdit()->text(), QString("50%"));
    }

    void onOffModeShowsOnAndOff() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders, "cooling=onoff");
        CoolerDialog* d = Open(*frame);
        QVERIFY(d);
        QCOMPARE(d->ModeLabel()->text(), QString("Power:"));
        QCOMPARE(d->ValueEdit()->text(), QString("on"));
        QVERIFY(d->Spin()->isEnabled());
    }

    void noCoolerQueryWhileTheCameraDownloads() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        QVERIFY(Open(*frame));
        CaptureApp& app = frame->App();
        app.Exposure().exposure = 1.0f;
        frame->OnCommand(ids::ID_CAMERA_SNAPSHOT);
        ZorvaneHandle h = app.Camera().handle;
        for (int i = 0;
             i < 5000 && app.Library().ZorvaneCameraState(h) != ZORVANE_STATE_DOWNLOADING; ++i)
            sim_.Advance(1);
        QCOMPARE(app.Library().ZorvaneCameraState(h), int(ZORVANE_STATE_DOWNLOADING));

        sim_.ClearCallLog();
        app.OnTimer(kTimerCooler);
        QCOMPARE(sim_.CallCount("ZorvaneCoolingInfo"), 0);
        QCOMPARE(sim_.CallCount("ZorvaneTemperatureSensorInfo"), 0);

        sim_.Advance(5000);
        QTRY_VERIFY(!app.Cycle().Exposing());  // the poll timer takes the frame
        app.OnTimer(kTimerCooler);
        QCOMPARE(sim_.CallCount("ZorvaneCoolingInfo"), 1);
    }

    void withoutCoolingControlThereIsNoDialog() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders, "cooling=none");
        frame->UpdateUi();
        QVERIFY(!frame->Action(ids::ID_VIEW_COOLER)->isEnabled());
        frame->OnCommand(ids::ID_VIEW_COOLER);
        QVERIFY(!frame->Cooler());
        QVERIFY(!frame->App().Placement(AppDialog::Cooler).exists);
    }

    void theDialogTogglesKeepsItsPlaceAndPassesShortcutsOn() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        frame->show();
        auto& placement = frame->App().Placement(AppDialog::Cooler);
        placement.left = 310;
        placement.top = 220;

        CoolerDialog* d = Open(*frame);
        QVERIFY(d);
        QVERIFY(QTest::qWaitForWindowExposed(d));
        QCOMPARE(d->geometry().topLeft(), QPoint(310, 220));
        QVERIFY(placement.exists && placement.visible);
        QVERIFY(frame->Action(ids::ID_VIEW_COOLER)->isChecked());

        // The command hides it, and shows the same dialog again.
        frame->OnCommand(ids::ID_VIEW_COOLER);
        QVERIFY(!d->isVisible());
        QVERIFY(!placement.visible);
        QVERIFY(!frame->Action(ids::ID_VIEW_COOLER)->isChecked());
        frame->OnCommand(ids::ID_VIEW_COOLER);
        QCOMPARE(frame->Cooler(), d);
        QVERIFY(d->isVisible());

        d->setGeometry(QRect(QPoint(400, 260), d->size()));
        QCOMPARE(placement.left, 400);
        QCOMPARE(placement.top, 260);

        // The main window's shortcuts work while the dialog has the focus.
        d->activateWindow();
        QTest::keyClick(d, Qt::Key_K, Qt::ControlModifier);
        QVERIFY(frame->App().Exposure().lockExposure);

        // Close only hides; polling goes on while hidden.
        QTest::mouseClick(d->findChild<QPushButton*>("1"), Qt::LeftButton);
        QVERIFY(!d->isVisible());
        QCOMPARE(frame->Cooler(), d);
        sim_.ClearCallLog();
        frame->App().OnTimer(kTimerCooler);
        QCOMPARE(sim_.CallCount("ZorvaneCoolingInfo"), 1);
    }
};

ZORVANE_GUI_TEST_MAIN(CoolerDialogTest)

#include "CoolerDialogTest.moc"
