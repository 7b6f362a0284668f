// The Qt services under the core: message boxes and file dialogs with the exact texts, the
// window-timer semantics, posting to the GUI thread from other threads, the wait cursor, the
// desktop's sleep inhibitor.

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QDBusConnection>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <atomic>
#include <thread>

#include "MainFrameHarness.h"
#include "ui/QtEventPoster.h"
#include "ui/QtPrompts.h"
#include "ui/QtSleepInhibitor.h"
#include "ui/QtTimerService.h"

using namespace zorvane;
using namespace zorvane::test;

// The desktop's screen saver, as a stand-in on a private session bus.
class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList inhibits;
    QList<uint> uninhibits;
public slots:
    uint Inhibit(const QString& application, const QString& reason) {
        inhibits << application + ": " + reason;
        return 40 + uint(inhibits.size());
    }
    void UnInhibit(uint cookie) { uninhibits << cookie; }
};

// A session bus of the test's own, so that nothing reaches the machine's desktop.
struct PrivateSessionBus {
    static constexpr const char* kName = "zorvane-test-session";
    QProcess daemon;
    QString address;

    bool Start() {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address")});
        if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000)) return false;
        address = QString::fromUtf8(daemon.readLine()).trimmed();
        return !address.isEmpty();
    }
    ~PrivateSessionBus() {
        QDBusConnection::disconnectFromBus(QString::fromLatin1(kName));
        daemon.kill();
        daemon.waitForFinished(5000);
    }
};

class DialogsAndServicesTest : public QObject {
    Q_OBJECT

private slots:
    void messageBoxShowsExactlyWhatItIsGivenAndReturnsTheButton() {
        QtPrompts prompts;
        QString text, title;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        WhenModalShows(
            [&](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                QVERIFY(box);
                text = box->text();
                title = box->windowTitle();
                buttons = box->standardButtons();
                icon = box->icon();
                box->button(QMessageBox::Retry)->click();
            },
            false);
        const MessageAnswer answer =
            prompts.MessageBox("Failed to connect to Camera", "Zorvane Capture",
                               MessageButtons::AbortRetryIgnore, MessageIcon::Exclamation);
        QVERIFY(answer == MessageAnswer::Retry);
        QCOMPARE(text, QString("Failed to connect to Camera"));
        QCOMPARE(title, QString("Zorvane Capture"));
        QCOMPARE(buttons, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        QCOMPARE(icon, QMessageBox::Warning);

        // Texts are never taken as markup.
        WhenModalShows(
            [&](QWidget* w) {
                auto* box = qobject_cast<QMessageBox*>(w);
                QCOMPARE(box->textFormat(), Qt::PlainText);
                box->button(QMessageBox::No)->click();
            },
            false);
        QVERIFY(prompts.MessageBox("<b>m31</b> exists", "Save image as...", MessageButtons::YesNo,
                                   MessageIcon::Question) == MessageAnswer::No);
    }

    void escapeInAnAbortRetryIgnoreBoxIgnoresRatherThanEndingTheProgram() {
        QtPrompts prompts;
        WhenModalShows([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, false);
        QVERIFY(prompts.MessageBox("Can't connect", "Zorvane Capture",
                                   MessageButtons::AbortRetryIgnore,
                                   MessageIcon::Exclamation) == MessageAnswer::Ignore);
        WhenModalShows([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, false);
        QVERIFY(prompts.MessageBox("Stop?", "Sequencer", MessageButtons::OkCancel,
                                   MessageIcon::None) == MessageAnswer::Cancel);
    }

    void saveDialogOffersTheFiltersAndReportsTheChoice() {
        QCOMPARE(QtPrompts::NameFilters({{"Fits (16 bit)", "*.fit"}, {"Tiff (16 bit)", "*.tif"}}),
                 QStringList({"Fits (16 bit) (*.fit)", "Tiff (16 bit) (*.tif)"}));

        QTemporaryDir dir;
        QtPrompts prompts;
        FileDialogRequest request;
        request.title = "Save image as...";
        request.filters = {{"Fits (16 bit)", "*.fit"}, {"Tiff (16 bit)", "*.tif"}};
        request.presetFilter = 2;
        request.initialPath = (dir.path() + "/m31_001.tif").toStdString();

        QString title, preset, presetFile;
        WhenModalShows(
            [&](QWidget* w) {
                auto* fd = qobject_cast<QFileDialog*>(w);
                QVERIFY(fd);
                title = fd->windowTitle();
                preset = fd->selectedNameFilter();
                presetFile = QFileInfo(fd->selectedFiles().value(0)).fileName();
                fd->selectNameFilter("Fits (16 bit) (*.fit)");
                fd->selectFile(dir.path() + "/m31_002.fit");
                QMetaObject::invokeMethod(fd, "accept");
            },
            false);
        const FileDialogResult result = prompts.SaveFileDialog(request);
        QCOMPARE(title, QString("Save image as..."));
        QCOMPARE(preset, QString("Tiff (16 bit) (*.tif)"));
        QCOMPARE(presetFile, QString("m31_001.tif"));
        QVERIFY(result.status == FileDialogResult::Status::Ok);
        QCOMPARE(QString::fromStdString(result.path), dir.path() + "/m31_002.fit");
        QCOMPARE(result.filterIndex, 1);

        WhenModalShows([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); }, false);
        QVERIFY(prompts.OpenFileDialog(request).status == FileDialogResult::Status::Cancelled);
    }

    void waitCursorNestsAndSurvivesAnExtraEnd() {
        QtPrompts prompts;
        prompts.BeginWaitCursor();
        prompts.BeginWaitCursor();
        QVERIFY(QGuiApplication::overrideCursor());
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        prompts.EndWaitCursor();
        QVERIFY(QGuiApplication::overrideCursor());
        prompts.EndWaitCursor();
        QVERIFY(!QGuiApplication::overrideCursor());
        prompts.EndWaitCursor();  // one too many: nothing else is restored
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void timersFireByIdRestartAndStopFromTheirOwnHandler() {
        QtTimerService timers;
        std::vector<int> fired;
        timers.SetHandler([&](int id) {
            fired.push_back(id);
            if (id == 2) timers.KillTimer(2);  // a one-shot, as the maximise timer is used
        });
        timers.SetTimer(1, 1);
        timers.SetTimer(2, 1);
        QTRY_VERIFY(std::count(fired.begin(), fired.end(), 1) >= 3);
        QCOMPARE(std::count(fired.begin(), fired.end(), 2), 1);
        QVERIFY(!timers.IsTimerSet(2));

        // Setting a running id again replaces it: one timer, the new period.
        timers.SetTimer(1, 600000);
        const auto registered = QAbstractEventDispatcher::instance()->registeredTimers(&timers);
        QCOMPARE(registered.size(), 1);
        QCOMPARE(registered.first().interval, 600000);
        timers.KillTimer(1);
        QVERIFY(QAbstractEventDispatcher::instance()->registeredTimers(&timers).isEmpty());
        timers.KillTimer(1);  // killing a stopped timer is harmless
    }

    void postedWorkRunsOnTheGuiThreadInOrder() {
        QObject context;
        QtEventPoster poster(&context);
        std::vector<int> order;
        std::atomic<bool> offThread{false};
        const auto gui = std::this_thread::get_id();
        std::thread worker([&] {
            for (int i = 0; i < 200; ++i)
                poster.PostToGuiThread([&, i] {
                    if (std::this_thread::get_id() != gui) offThread = true;
                    order.push_back(i);
                });
        });
        worker.join();
        QTRY_COMPARE(order.size(), size_t{200});
        QVERIFY(!offThread);
        QVERIFY(std::is_sorted(order.begin(), order.end()));
    }

    void sleepInhibitorIsSilentlyNothingWithoutABus() {
        QtSleepInhibitor inhibitor(QDBusConnection(QStringLiteral("zorvane-no-session")),
                                   QDBusConnection(QStringLiteral("zorvane-no-system")));
        QVERIFY(!inhibitor.Inhibit("Exposures are running"));
        QVERIFY(!inhibitor.Held());
        inhibitor.Release();
    }

    void sleepInhibitorIsHeldWhileAnExposureRuns() {
        PrivateSessionBus bus;
        QVERIFY2(bus.Start(), "dbus-daemon could not be started: no private session bus");
        QDBusConnection connection =
            QDBusConnection::connectToBus(bus.address, QString::fromLatin1(bus.kName));
        QVERIFY(connection.isConnected());
        FakeScreenSaver saver;
        QVERIFY(connection.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver,
                                          QDBusConnection::ExportAllSlots));
        QVERIFY(connection.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
        QtSleepInhibitor inhibitor(connection,
                                   QDBusConnection(QStringLiteral("zorvane-no-system")));

        SimControls sim;
        QVERIFY(sim.Loaded());
        sim.Reset("flush_ms=0;wait_ms=0");
        ScriptedPrompts prompts;
        WindowFolders folders;
        AppOptions options = folders.Options(BinDir());
        options.sleepInhibitor = &inhibitor;
        {
            CMainFrame frame(prompts, options);
            QVERIFY(frame.App().IsConnected());
            frame.App().Exposure().exposure = 1.0f;
            frame.App().Snapshot();
            QVERIFY(inhibitor.Held());
            QCOMPARE(saver.inhibits, QStringList{"Zorvane Capture: Exposures are running"});
            sim.Advance(2000);
            QTRY_VERIFY(!frame.App().Cycle().Exposing());
            QVERIFY(!inhibitor.Held());
            QTRY_COMPARE(saver.uninhibits, QList<uint>{41});

            // A loop still running when the window closes lets go of it too.
            frame.App().ToggleLoop();
            QVERIFY(inhibitor.Held());
        }
        QVERIFY(!inhibitor.Held());
        QTRY_COMPARE(saver.uninhibits, (QList<uint>{41, 42}));
        QCOMPARE(saver.inhibits.size(), 2);
    }

    void postsForAContextThatIsGoneAreDropped() {
        int ran = 0;
        auto context = std::make_unique<QObject>();
        QtEventPoster poster(context.get());
        poster.PostToGuiThread([&] { ++ran; });  // queued, then its receiver goes
        context.reset();
        poster.PostToGuiThread([&] { ++ran; });  // after: never queued
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(ran, 0);
    }
};

ZORVANE_GUI_TEST_MAIN(DialogsAndServicesTest)

#include "DialogsAndServicesTest.moc"
