// The main window driven as the user drives it: menus, shortcuts, start-up without a camera,
// Connect / disconnect, the status bar and the two information boxes, on the simulated camera
// and on an empty library folder.

#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>

#include "MainFrameHarness.h"
#include "core/CommandIds.h"
#include "ui/CChildView.h"
#include "ui/CDisplayDialog.h"
#include "ui/MainStatusBar.h"
#include "view/ImageView.h"

using namespace zorvane;
using namespace zorvane::test;

namespace {

// Item texts of a menu in order; "-" for a separator, ">" + title for a submenu.
QStringList Items(QMenu* menu) {
    QStringList items;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            items << "-";
        else if (a->menu())
            items << ">" + a->text();
        else
            items << a->text();
    }
    return items;
}

QList<int> Ids(QMenu* menu) {
    QList<int> ids;
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && !a->menu()) ids << a->data().toInt();
    return ids;
}

QMenu* SubMenu(QMenu* menu, const QString& title) {
    for (QAction* a : menu->actions())
        if (a->menu() && a->text() == title) return a->menu();
    return nullptr;
}

// Child mode: build the window on an empty library folder with a script that answers Abort.
int RunAbortChild() {
    QTemporaryDir empty;
    WindowFolders folders;
    ScriptedPrompts prompts;
    prompts.answers = {MessageAnswer::Ok, MessageAnswer::Abort};
    CMainFrame frame(prompts, folders.Options(empty.path()));
    return 3;  // the Abort did not end the process
}

}  // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

    SimControls sim_;

    std::unique_ptr<CMainFrame> OnSim(ScriptedPrompts& prompts, WindowFolders& folders,
                                      const char* simOptions = "") {
        sim_.Reset(simOptions);
        return std::make_unique<CMainFrame>(prompts, folders.Options(BinDir()));
    }

private slots:
    void initTestCase() { QVERIFY2(sim_.Loaded(), "the simulated camera library is missing"); }

    void menuBarHasEveryItemWithItsIdAndKey() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);

        QStringList titles;
        for (QAction* a : frame->menuBar()->actions()) titles << a->text();
        QCOMPARE(titles, QStringList({"&File", "&View", "&Camera", "C&olour", "&Quick", "&Help"}));

        QMenu* file = frame->TopMenu("&File");
        QCOMPARE(Items(file),
                 QStringList({"E&xit", "-", "Save Image &As...", "A&utosave", "Image &header..."}));
        QCOMPARE(Ids(file), QList<int>({57665, 32777, 32785, 32791}));

        QMenu* view = frame->TopMenu("&View");
        QCOMPARE(Items(view),
                 QStringList({"&Display options", "&Exposure Settings", "&Cooler Settings",
                              "&Tracking", "Auto-select &star", "Guiding event &server (port 4400)",
                              "Guide &logs folder..."}));
        QCOMPARE(Ids(view), QList<int>({32779, 32773, 32810, 32811, 32830, 32831, 32832}));

        QMenu* camera = frame->TopMenu("&Camera");
        QCOMPARE(Items(camera),
                 QStringList({"S&napshot", "&Loop", "S&ubframe", QString::fromUtf8("&Rotate 180º"),
                              "Loc&k exp", "Set &Exp", "-", "&Sequencer...", "-",
                              "&Filter wheel...", "-", "&Info...", "Dis&connect"}));
        QCOMPARE(Ids(camera), QList<int>({32784, 32774, 32787, 32790, 32806, 32812, 32813, 32819,
                                          32775, 32778}));

        QMenu* colour = frame->TopMenu("C&olour");
        QCOMPARE(Items(colour), QStringList({"&Automatic", ">A&dvanced"}));
        QMenu* advanced = SubMenu(colour, "A&dvanced");
        QVERIFY(advanced);
        QCOMPARE(Items(advanced), QStringList({"R&aw", "&Colour", "&Luminance", ">Bayer offsets"}));
        QMenu* bayer = SubMenu(advanced, "Bayer offsets");
        QVERIFY(bayer);
        QCOMPARE(Items(bayer), QStringList({"Auto", "(0,0)", "(0,1)", "(1,0)", "(1,1)"}));
        QCOMPARE(Ids(bayer), QList<int>({32825, 32826, 32827, 32828, 32829}));
        QCOMPARE(Ids(colour) + Ids(advanced), QList<int>({32822, 32802, 32803, 32804}));

        QMenu* quick = frame->TopMenu("&Quick");
        QCOMPARE(Ids(quick),
                 QList<int>({32792, 32793, 32794, 32795, 32797, 32798, 32799, 32800, 32805}));
        QCOMPARE(quick->actions().at(8)->isSeparator(), true);
        QCOMPARE(quick->actions().at(9)->text(), QString("&Save..."));
        QCOMPARE(Items(frame->TopMenu("&Help")), QStringList({"&About..."}));

        // Accelerators of the main window.
        QCOMPARE(frame->Action(32784)->shortcut(), QKeySequence("Ctrl+N"));
        QCOMPARE(frame->Action(32806)->shortcut(), QKeySequence("Ctrl+K"));
        QCOMPARE(frame->Action(32812)->shortcut(), QKeySequence("Ctrl+E"));
        for (int n = 1; n <= 8; ++n)
            QCOMPARE(frame->Action(ids::QuickPresetCommand(n))->shortcut(),
                     QKeySequence(QStringLiteral("F%1").arg(n)));
        QCOMPARE(frame->ShortcutActions().size(), 11);

        // The title names the camera in use.
        QCOMPARE(frame->windowTitle(), QString("Zorvane Capture - SIM-1392M (simulated)"));
    }

    void toolbarAndPromptsFollowTheStringTable() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);

        QStringList buttons;
        for (QAction* a : frame->ToolBar()->actions())
            buttons << (a->isSeparator() ? QString("-") : a->toolTip());
        QCOMPARE(buttons,
                 QStringList({"Save as", "Autosave", "-", "Set display options", "Exposure",
                              "Adjust cooler settings", "Tracking", "Subframe definition",
                              "Lock exposure settings", "-", "Snapshot", "Loop", "Sequencer",
                              "Filter wheel", "-", "About"}));
        for (QAction* a : frame->ToolBar()->actions())
            if (!a->isSeparator()) QVERIFY2(!a->icon().isNull(), qPrintable(a->toolTip()));

        QCOMPARE(frame->Action(32790)->statusTip(),
                 QString::fromUtf8("Rotate images 180º after capture"));
        QCOMPARE(frame->Action(32805)->statusTip(), QString("Save quick settings"));
        QCOMPARE(frame->Action(57665)->statusTip(),
                 QString("Quit the application; prompts to save documents"));

        // A highlighted item puts its prompt in the first pane; leaving it brings "Ready" back.
        MainStatusBar* bar = frame->StatusBar();
        QCOMPARE(bar->IdleText(), QString("Ready"));
        QStatusTipEvent tip(frame->Action(32784)->statusTip());
        QApplication::sendEvent(frame.get(), &tip);
        QCOMPARE(bar->currentMessage(), QString("Take a single exposure"));
        QStatusTipEvent leave(QString{});
        QApplication::sendEvent(frame.get(), &leave);
        QCOMPARE(bar->currentMessage(), QString());
    }

    void withoutAnyLibraryTheProgramRunsAfterIgnore() {
        QTemporaryDir empty;
        WindowFolders folders;
        ScriptedPrompts prompts;
        prompts.answers = {MessageAnswer::Ok, MessageAnswer::Ignore};
        CMainFrame frame(prompts, folders.Options(empty.path()));

        QCOMPARE(prompts.messages.size(), size_t{2});
        QCOMPARE(prompts.messages[0].text, std::string("No available camera"));
        QCOMPARE(prompts.messages[1].text, std::string("Failed to connect to Camera"));
        QCOMPARE(prompts.messages[1].caption, std::string("Zorvane Capture"));
        QVERIFY(prompts.messages[1].buttons == MessageButtons::AbortRetryIgnore);

        frame.UpdateUi();
        QVERIFY(!frame.Action(ids::ID_CAMERA_SNAPSHOT)->isEnabled());
        QVERIFY(!frame.Action(ids::ID_CAMERA_LOOP)->isEnabled());
        QVERIFY(!frame.Action(ids::ID_VIEW_COOLER)->isEnabled());
        QVERIFY(frame.Action(ids::ID_CAMERA_INFO)->isEnabled());
        QCOMPARE(frame.Action(ids::ID_CAMERA_CONNECT)->text(), QString("&Connect"));
        QCOMPARE(frame.StatusBar()->PaneText(ids::ID_INDICATOR_STATE), QString("Idle"));

        // Info without a camera: the zero-filled record.
        QStringList lines;
        WhenModalShows([&](QWidget* box) {
            lines << box->windowTitle() << LabelText(box, "1016") << LabelText(box, "1021")
                  << LabelText(box, "1135") << LabelText(box, "1020");
        });
        frame.OnCommand(ids::ID_CAMERA_INFO);
        QCOMPARE(lines, QStringList({"Camera Info", "Model: ", "Manufacturer: ", "Serial: ",
                                     "Protocol ver 0.00"}));

        // About names no library when none is in use.
        WhenModalShows([&](QWidget* box) {
            lines = {box->windowTitle(), LabelText(box, "1081"), LabelText(box, "1272"),
                     LabelText(box, "1271"), LabelText(box, "1273")};
        });
        frame.OnCommand(ids::ID_APP_ABOUT);
        QCOMPARE(lines, QStringList({"About Zorvane Capture...", "Version 4.2.0.0", "", "", ""}));
    }

    void abortInTheConnectionFailureEndsTheProcessWithZero() {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZORVANE_GUI_CHILD", "abort");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
    }

    void infoAndAboutDescribeTheSimulatedCamera() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        QVERIFY(prompts.messages.empty());

        QStringList lines;
        WhenModalShows([&](QWidget* box) {
            lines << LabelText(box, "1016") << LabelText(box, "1021") << LabelText(box, "1020");
            QVERIFY(LabelText(box, "1135").startsWith("Serial: ZSIM-"));
        });
        frame->OnCommand(ids::ID_CAMERA_INFO);
        QCOMPARE(lines, QStringList({"Model: SIM-1392M", "Manufacturer: Zorvane Simulation",
                                     "Protocol ver 1.03"}));

        WhenModalShows([&](QWidget* box) {
            lines = {LabelText(box, "1081"), LabelText(box, "1272")};
            auto* picture = box->findChild<QLabel*>("136");
            QVERIFY(picture && !picture->pixmap().isNull());
        });
        frame->OnCommand(ids::ID_APP_ABOUT);
        QCOMPARE(lines, QStringList({"Version 4.2.0.0", "Using ZorvaneCCDDummy.dll v7"}));
    }

    void connectWhileConnectedDisconnectsAndTheMenuFollows() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        QAction* connect = frame->Action(ids::ID_CAMERA_CONNECT);
        frame->UpdateUi();
        QCOMPARE(connect->text(), QString("Dis&connect"));
        QVERIFY(frame->Action(ids::ID_CAMERA_SNAPSHOT)->isEnabled());

        // Through the menu item itself, as the user would.
        connect->trigger();
        QVERIFY(!frame->App().IsConnected());
        QCOMPARE(connect->text(), QString("&Connect"));
        QVERIFY(!frame->Action(ids::ID_CAMERA_SNAPSHOT)->isEnabled());
        QVERIFY(!frame->Action(ids::ID_CAMERA_LOOP)->isEnabled());

        connect->trigger();
        QVERIFY(frame->App().IsConnected());
        QCOMPARE(connect->text(), QString("Dis&connect"));
        QVERIFY(prompts.messages.empty());
    }

    void connectStopsARunningLoopFirst() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        frame->OnCommand(ids::ID_CAMERA_LOOP);
        QVERIFY(frame->Action(ids::ID_CAMERA_LOOP)->isChecked());
        frame->OnCommand(ids::ID_CAMERA_CONNECT);
        QVERIFY(!frame->App().Cycle().Looping());
        QVERIFY(!frame->Action(ids::ID_CAMERA_LOOP)->isChecked());
        QVERIFY(!frame->App().IsConnected());
    }

    void aFailedDisconnectOffersAbortRetryIgnore() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders, "faults=disconnect_fails");
        prompts.answers = {MessageAnswer::Retry, MessageAnswer::Ignore};
        frame->OnCommand(ids::ID_CAMERA_CONNECT);

        QCOMPARE(prompts.messages.size(), size_t{2});
        for (const auto& m : prompts.messages) {
            QCOMPARE(m.text, std::string("Can't connect"));
            QCOMPARE(m.caption, std::string("Zorvane Capture"));
            QVERIFY(m.buttons == MessageButtons::AbortRetryIgnore);
        }
        // Retry tried again; after Ignore the camera is still held.
        QCOMPARE(sim_.CallCount("ZorvaneDisconnect"), 2);
        QVERIFY(frame->App().IsConnected());
        QCOMPARE(frame->Action(ids::ID_CAMERA_CONNECT)->text(), QString("Dis&connect"));
    }

    void statusBarFollowsTheExposure() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        MainStatusBar* bar = frame->StatusBar();
        frame->UpdateUi();

        QCOMPARE(bar->PaneText(ids::ID_INDICATOR_STATE), QString("Idle"));
        QCOMPARE(bar->PaneText(ids::ID_INDICATOR_SAVED), QString("Not saved"));
        QCOMPARE(bar->Background(), std::optional<QColor>(QColor(255, 96, 96)));
        QCOMPARE(bar->palette().color(QPalette::Window), QColor(255, 96, 96));
        QCOMPARE(bar->PaneText(ids::ID_INDICATOR_ZOOM), QString("Zoom 1:1"));
        QVERIFY(!bar->PaneEnabled(ids::ID_INDICATOR_READOUT));
        QCOMPARE(bar->Pane(ids::ID_INDICATOR_READOUT)->text(), QString());
        // With room enough the panes have their own widths.
        frame->resize(1200, 500);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        QVERIFY(bar->Pane(ids::ID_INDICATOR_SAVED)->width() >= 150);
        QVERIFY(bar->Pane(ids::ID_INDICATOR_READOUT)->width() >= 90);
        QVERIFY(bar->Pane(ids::ID_INDICATOR_ZOOM)->width() >= 60);
        QVERIFY(bar->Pane(ids::ID_INDICATOR_STATE)->width() >= 120);

        // A 125 s exposure in virtual time: every state the camera passes through is shown.
        frame->App().Exposure().exposure = 125.0f;
        frame->OnCommand(ids::ID_CAMERA_SNAPSHOT);
        QVERIFY(frame->Action(ids::ID_CAMERA_SNAPSHOT)->isChecked());
        QStringList seen;
        for (int step = 0; step < 20000 && frame->App().Cycle().Exposing(); ++step) {
            frame->UpdateStatusBar();
            const QString text = bar->PaneText(ids::ID_INDICATOR_STATE);
            if (seen.isEmpty() || seen.last() != text) seen << text;
            // Fine steps at the end so the short read-out is seen.
            sim_.Advance(text == "Exp. 0 sec" || text.startsWith("Down") ? 2 : 100);
            QCoreApplication::processEvents();  // the 1 ms poll timer
        }
        QVERIFY2(!frame->App().Cycle().Exposing(), "the frame never arrived");
        frame->UpdateUi();
        QVERIFY(seen.contains("Exp. 2 min 4"));
        QVERIFY(seen.contains("Exp. 1 min 0"));
        QVERIFY(seen.contains("Exp. 59 sec"));
        QVERIFY(seen.contains("Exp. 0 sec"));
        QVERIFY(seen.indexOf("Exp. 2 min 4") < seen.indexOf("Exp. 59 sec"));
        QVERIFY(std::any_of(seen.begin(), seen.end(),
                            [](const QString& s) { return s.startsWith("Downloading"); }));
        QCOMPARE(bar->PaneText(ids::ID_INDICATOR_STATE), QString("Idle"));
        QVERIFY(!frame->Action(ids::ID_CAMERA_SNAPSHOT)->isChecked());
        QCOMPARE(bar->PaneText(ids::ID_INDICATOR_SAVED), QString("Not saved"));

        // Saved: the file's name alone, and the bar back to its normal colour.
        prompts.saveResults.push_back(
            ScriptedPrompts::Chosen((folders.settings.path() + "/m31_001.fit").toStdString(), 1));
        frame->OnCommand(ids::ID_FILE_SAVE_AS);
        frame->UpdateStatusBar();
        QCOMPARE(bar->PaneText(ids::ID_INDICATOR_SAVED), QString("Saved: m31_001.fit"));
        QCOMPARE(bar->Background(), std::nullopt);
        QCOMPARE(bar->palette().color(QPalette::Window),
                 QApplication::palette(bar).color(QPalette::Window));

        // The cursor read-out pane shows only while there is a read-out.
        frame->App().OnPixelReadout(105, 55, 1234);
        frame->UpdateStatusBar();
        QVERIFY(bar->PaneEnabled(ids::ID_INDICATOR_READOUT));
        QLabel* readout = bar->Pane(ids::ID_INDICATOR_READOUT);
        QCOMPARE(readout->text(), QString("(105,55)=1234"));
        // A typical read-out fits the pane whatever the font.
        QVERIFY(readout->fontMetrics().horizontalAdvance("(700,520)=1432") <=
                readout->contentsRect().width());
        frame->App().OnPixelReadout(-1, -1, -1);
        frame->UpdateStatusBar();
        QCOMPARE(bar->Pane(ids::ID_INDICATOR_READOUT)->text(), QString());
    }

    void nightVisionTurnsTheUnsavedBarYellow() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        frame->App().View().SetNightVision(true);
        frame->UpdateStatusBar();
        QCOMPARE(frame->StatusBar()->Background(), std::optional<QColor>(QColor(255, 255, 96)));
        frame->App().View().SetNightVision(false);
        frame->UpdateStatusBar();
        QCOMPARE(frame->StatusBar()->Background(), std::optional<QColor>(QColor(255, 96, 96)));
    }

    void usbErrorsRaiseTheWarningOnceUntilItIsClosed() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders, "faults=usb");
        frame->OnCommand(ids::ID_CAMERA_SNAPSHOT);
        sim_.Advance(5000);
        QTRY_VERIFY(!frame->App().Cycle().Exposing());  // the poll timer takes the frame

        frame->UpdateStatusBar();
        QDialog* warning = frame->UsbErrorDialogWidget();
        QVERIFY(warning);
        QVERIFY(warning->isVisible());
        QCOMPARE(warning->windowTitle(), QString("USB Error!"));
        QStringList texts;
        for (QLabel* l : warning->findChildren<QLabel*>()) texts << l->text();
        QCOMPARE(texts, QStringList({"Warning! USB Errors have been detected!",
                                     "The program will attempt to recover",
                                     "but this may not always be successful."}));
        QCOMPARE(prompts.beeps, std::vector<BeepKind>{BeepKind::Exclamation});

        // Still open: no second box, no second beep.
        frame->UpdateStatusBar();
        QCOMPARE(frame->UsbErrorDialogWidget(), warning);
        QCOMPARE(prompts.beeps.size(), size_t{1});

        // Closed with OK: the next pass that still sees errors shows it again.
        QPointer<QDialog> closed = warning;
        warning->accept();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(closed.isNull());
        QVERIFY(!frame->UsbErrorDialogWidget());
        frame->UpdateStatusBar();
        QVERIFY(frame->UsbErrorDialogWidget());
        QCOMPARE(prompts.beeps.size(), size_t{2});
    }

    void imageViewTakesTheDisplayAndColourCommandsFirst() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        frame->UpdateCommandUi();
        // A monochrome camera: no automatic colour; raw preview is the mode in force.
        QVERIFY(!frame->Action(ids::ID_COLOUR_AUTOMATIC)->isEnabled());
        QVERIFY(frame->Action(ids::ID_COLOUR_RAW)->isChecked());
        QVERIFY(!frame->Action(ids::ID_COLOUR_COLOUR)->isChecked());

        frame->Action(ids::ID_COLOUR_COLOUR)->trigger();
        QVERIFY(frame->Action(ids::ID_COLOUR_COLOUR)->isChecked());
        QVERIFY(!frame->Action(ids::ID_COLOUR_RAW)->isChecked());

        QVERIFY(!frame->Action(ids::ID_VIEW_DISPLAY)->isChecked());
        frame->Action(ids::ID_VIEW_DISPLAY)->trigger();
        QVERIFY(frame->View()->IsDisplayDialogVisible());
        QVERIFY(frame->Action(ids::ID_VIEW_DISPLAY)->isChecked());
        frame->Action(ids::ID_VIEW_DISPLAY)->trigger();
        QVERIFY(!frame->View()->IsDisplayDialogVisible());
        QVERIFY(!frame->Action(ids::ID_VIEW_DISPLAY)->isChecked());
    }

    void imageHeaderTextsAreEditedInTheirDialog() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        frame->App().Header().observer = "J. Doe";
        QString seenObserver;
        WhenModalShows(
            [&](QWidget* box) {
                seenObserver = box->findChild<QLineEdit*>("1059")->text();
                box->findChild<QLineEdit*>("1056")->setText("M31");
                QMetaObject::invokeMethod(box, "accept");
            },
            false);
        frame->OnCommand(ids::ID_FILE_IMAGE_HEADER);
        QCOMPARE(seenObserver, QString("J. Doe"));
        QCOMPARE(frame->App().Header().object, std::string("M31"));
        QCOMPARE(frame->App().Header().observer, std::string("J. Doe"));
    }

    void quickMenuItemsAreRewrittenByPosition() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        QMenu* quick = frame->TopMenu("&Quick");
        // A first start shows the built-in preset titles.
        QCOMPARE(quick->actions().at(0)->text(), QString("0.1 sec 1x1\tF1"));
        QCOMPARE(quick->actions().at(7)->text(), QString("10 sec 2x2\tF8"));

        QVERIFY(frame->SetQuickMenuItemText(2, "Guide 2s\tF3"));
        QCOMPARE(quick->actions().at(2)->text(), QString("Guide 2s\tF3"));
        QCOMPARE(quick->actions().at(2)->data().toInt(), ids::ID_QUICK_3);
        QVERIFY(!frame->SetQuickMenuItemText(12, "x"));

        // Without a "&Quick" menu nothing changes and the caller is told.
        quick->menuAction()->setText("&Presets");
        QVERIFY(!frame->SetQuickMenuItemText(0, "Focus\tF1"));
        QCOMPARE(quick->actions().at(0)->text(), QString("0.1 sec 1x1\tF1"));
    }

    void f5OnAFirstStartTakesOneBinnedExposure() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        QTest::keyClick(frame.get(), Qt::Key_F5);
        const ExposureSettings& e = frame->App().Exposure();
        QCOMPARE(e.exposure, 0.1f);
        QCOMPARE(e.binX, 2);
        QVERIFY(e.binY == 0 || e.binY == 2);
        QVERIFY(frame->App().Cycle().Exposing());
        QVERIFY(!frame->App().Cycle().Looping());
    }

    void setExpOpensTheExposureDialogWithItsBoxFocused() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        QVERIFY(!frame->Dialog(AppDialog::Exposure));
        QTest::keyClick(frame.get(), Qt::Key_E, Qt::ControlModifier);
        QDialog* exposure = frame->Dialog(AppDialog::Exposure);
        QVERIFY(exposure && exposure->isVisible());
        QVERIFY(frame->Action(ids::ID_VIEW_EXPOSURE)->isChecked());
        QTRY_COMPARE(QApplication::focusWidget(),
                     static_cast<QWidget*>(exposure->findChild<QLineEdit*>("1000")));
        // The command toggles it away again.
        frame->OnCommand(ids::ID_VIEW_EXPOSURE);
        QVERIFY(!exposure->isVisible());
    }

    // Open dialogs come back after a restart as tool windows of the main window (kept above
    // it, also maximised) and exactly where they were, not a title bar higher each time.
    void openDialogsComeBackAsToolWindowsWhereTheyWere() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        const std::pair<int, QPoint> places[] = {{ids::ID_VIEW_EXPOSURE, QPoint(400, 30)},
                                                 {ids::ID_VIEW_COOLER, QPoint(330, 240)},
                                                 {ids::ID_VIEW_DISPLAY, QPoint(40, 300)}};
        const auto dialogOf = [](CMainFrame& frame, int id) -> QWidget* {
            if (id == ids::ID_VIEW_DISPLAY) return frame.View()->DisplayDialog();
            return frame.Dialog(id == ids::ID_VIEW_COOLER ? AppDialog::Cooler
                                                          : AppDialog::Exposure);
        };
        {
            auto frame = OnSim(prompts, folders);
            frame->show();
            frame->move(70, 60);
            frame->resize(700, 460);
            QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
            for (const auto& [id, at] : places) {
                frame->OnCommand(id);
                QWidget* d = dialogOf(*frame, id);
                QVERIFY(d && d->isVisible());
                d->setGeometry(QRect(at, d->size()));  // where the user dragged it
            }
            frame->showMaximized();
            QVERIFY(frame->close());
        }
        auto frame = OnSim(prompts, folders);
        QCOMPARE(frame->pos(), QPoint(70, 60));
        QCOMPARE(frame->size(), QSize(700, 460));
        frame->show();
        QTRY_VERIFY(frame->isMaximized());
        frame->UpdateUi();
        for (const auto& [id, at] : places) {
            QWidget* d = dialogOf(*frame, id);
            QVERIFY2(d && d->isVisible(), qPrintable(QString::number(id)));
            QCOMPARE(d->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
            QCOMPARE(d->parentWidget()->window(), static_cast<QWidget*>(frame.get()));
            QCOMPARE(d->geometry().topLeft(), at);
            QVERIFY(frame->Action(id)->isChecked());
        }
    }

    void theWindowIsKeptOnTheScreen() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        QFile ini(folders.settings.path() + "/ZorvaneCapture.ini");
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Window]\nLeft=30000\nTop=30000\nRight=60000\nBottom=60000\n");
        ini.close();
        auto frame = OnSim(prompts, folders);
        const QRect screen = frame->screen()->availableGeometry();
        QVERIFY2(screen.contains(frame->geometry()), qPrintable(QString("%1,%2 %3x%4")
                                                                    .arg(frame->x())
                                                                    .arg(frame->y())
                                                                    .arg(frame->width())
                                                                    .arg(frame->height())));
    }

    // At the size of a first start the prompts of the longest items are not cut.
    void menuPromptsTakeTheFreeWidth() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        frame->UpdateUi();
        MainStatusBar* bar = frame->StatusBar();
        for (int id : {ids::ID_FILE_AUTOSAVE, ids::ID_CAMERA_SNAPSHOT, ids::ID_FILE_SAVE_AS}) {
            QStatusTipEvent tip(frame->Action(id)->statusTip());
            QApplication::sendEvent(frame.get(), &tip);
            QApplication::processEvents();
            int panesLeft = bar->width();
            for (int pane : {ids::ID_INDICATOR_SAVED, ids::ID_INDICATOR_READOUT,
                             ids::ID_INDICATOR_ZOOM, ids::ID_INDICATOR_STATE})
                panesLeft = std::min(panesLeft, bar->Pane(pane)->x());
            const int needed = bar->fontMetrics().horizontalAdvance(bar->currentMessage()) + 8;
            QVERIFY2(needed <= panesLeft, qPrintable(bar->currentMessage()));
        }
    }

    void saveQuickSettingsOpensItsDialog() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        QString title;
        WhenModalShows([&title](QWidget* modal) { title = modal->windowTitle(); });
        frame->OnSaveQuickSettings();
        QCOMPARE(title, QString("Save quick settings"));
    }

    void commandsReachTheCoreAndShowTheirChecks() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        auto frame = OnSim(prompts, folders);
        QAction* rotate = frame->Action(ids::ID_CAMERA_ROTATE);
        const bool before = frame->App().Exposure().rotate180;
        rotate->trigger();
        QCOMPARE(frame->App().Exposure().rotate180, !before);
        QCOMPARE(rotate->isChecked(), !before);

        // Ctrl+K through the real keyboard path.
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        QTest::keyClick(frame.get(), Qt::Key_K, Qt::ControlModifier);
        QVERIFY(frame->App().Exposure().lockExposure);
        QVERIFY(frame->Action(ids::ID_CAMERA_LOCK)->isChecked());
        QVERIFY(!frame->Action(ids::ID_CAMERA_SET_EXP)->isEnabled());
        QVERIFY(!frame->Action(ids::ID_CAMERA_SUBFRAME)->isEnabled());

        // The toolbar button is the same command.
        auto* lockButton =
            qobject_cast<QToolButton*>(frame->ToolBar()->widgetForAction(frame->Action(32806)));
        QVERIFY(lockButton);
        QVERIFY(lockButton->isChecked());
        QTest::mouseClick(lockButton, Qt::LeftButton);
        QVERIFY(!frame->App().Exposure().lockExposure);
        QVERIFY(!lockButton->isChecked());

        // Exit closes the window, which records where it was for the settings.
        frame->move(120, 80);
        frame->resize(640, 480);
        frame->OnCommand(ids::ID_APP_EXIT);
        QVERIFY(!frame->isVisible());
        const WindowPlacement& w = frame->App().Window();
        QCOMPARE(QList<int>({w.left, w.top, w.right, w.bottom}), QList<int>({120, 80, 760, 560}));
        QVERIFY(!w.maximised);
    }
};

int main(int argc, char** argv) {
    zorvane::test::IsolateHome();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (qgetenv("ZORVANE_GUI_CHILD") == "abort") return RunAbortChild();
    MainFrameTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainFrameTest.moc"
