// The Sequencer dialog in the main window: its rows edit the live sequence, Run/Stop and the
// closing note, and a line's command that takes its time leaves the window responsive.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include "MainFrameHarness.h"
#include "core/CommandIds.h"
#include "ui/CSequencerDialog.h"
#include "ui/UpDownButtons.h"

using namespace zorvane;
using namespace zorvane::test;

namespace {

template <typename T>
T* Control(QWidget* d, int id) {
    return d->findChild<T*>(QString::number(id));
}

void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

}  // namespace

class SequencerDialogTest : public QObject {
    Q_OBJECT

    SimControls sim_;

private slots:
    void initTestCase() { QVERIFY2(sim_.Loaded(), "the simulated camera library is missing"); }

    void aSequenceWithASleepingCommandRunsWhileTheWindowStaysResponsive() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        sim_.Reset("flush_ms=0;wait_ms=0;size=320x240;maxbin=2");
        sim_.UseRealClock();
        CMainFrame frame(prompts, folders.Options(BinDir()));
        frame.show();
        const QString folder = folders.settings.path();
        frame.App().Saver().Settings().savePath = (folder + "/m.fit").toStdString();

        frame.OnCommand(ids::ID_CAMERA_SEQUENCER);
        CSequencerDialog* d = frame.Sequencer();
        QVERIFY(d && d->isVisible());
        QVERIFY(frame.Action(ids::ID_CAMERA_SEQUENCER)->isChecked());
        QCOMPARE(d->windowTitle(), QString("Sequencer"));
        QCOMPARE(Control<QComboBox>(d, 1147)->count(), 2);  // the camera bins up to 2x2
        QCOMPARE(Control<QComboBox>(d, 1234)->itemText(1), QString("2x2"));
        QCOMPARE(Control<QComboBox>(d, 1142)->currentText(),
                 QString("Lines (1,1... 2,2... 3,3...)"));

        // The rows are the live sequence.
        QTest::mouseClick(Control<QCheckBox>(d, 1155), Qt::LeftButton);
        QLineEdit* exposure = Control<QLineEdit>(d, 1145);
        Type(exposure, "0.95");
        QTest::mouseClick(Control<UpDownButtons>(d, 1146)->UpButton(), Qt::LeftButton);
        QCOMPARE(exposure->text(), QString("0.96"));
        Type(exposure, "0.01");
        Type(Control<QLineEdit>(d, 1153), "L");
        Type(Control<QLineEdit>(d, 1154), "[ $LOOP = 2 ] || sleep 5");
        QTest::mouseClick(Control<UpDownButtons>(d, 1139)->UpButton(), Qt::LeftButton);
        const SequenceModel& model = frame.App().Sequence();
        QVERIFY(model.lines[0].enabled);
        QCOMPARE(model.lines[0].exposureText, std::string("0.01"));
        QCOMPARE(model.lines[0].command, std::string("[ $LOOP = 2 ] || sleep 5"));
        QCOMPARE(model.repeat, 2);

        // No sequence over a running loop.
        QPushButton* run = Control<QPushButton>(d, 1143);
        frame.OnCommand(ids::ID_CAMERA_LOOP);
        frame.UpdateUi();
        QVERIFY(!run->isEnabled());
        frame.OnCommand(ids::ID_CAMERA_LOOP);
        frame.UpdateUi();
        QVERIFY(run->isEnabled());

        QTest::mouseClick(run, Qt::LeftButton);
        QCOMPARE(run->text(), QString("Stop"));
        QCOMPARE(Control<QLabel>(d, 1112)->text(), QString("Line 1, Repeat 1"));
        QVERIFY2(LabelText(d, "progress").startsWith("Frame 1 of 2, about "),
                 qPrintable(LabelText(d, "progress")));
        QVERIFY(!frame.Action(ids::ID_CAMERA_SNAPSHOT)->isEnabled());

        // The command sleeps while the window goes on with its timers and its dialog.
        const SequenceEngine& engine = frame.App().Sequencer();
        QTRY_VERIFY_WITH_TIMEOUT(engine.WaitingForCommand(), 5000);
        QVERIFY(QFileInfo::exists(folder + "/m_000L.fit"));
        int ticks = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] { ++ticks; });
        probe.start(20);
        QTest::qWait(500);
        QVERIFY(engine.WaitingForCommand());
        QVERIFY2(ticks >= 5, qPrintable(QString("only %1 timer ticks").arg(ticks)));

        // Closing while it runs shows the red note first; closing again hides the dialog and
        // the sequence goes on.
        QLabel* note = Control<QLabel>(d, 1159);
        QTest::mouseClick(Control<QPushButton>(d, 1), Qt::LeftButton);
        QVERIFY(d->isVisible());
        QVERIFY(note->isVisible());
        QCOMPARE(note->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QCOMPARE(prompts.beeps, std::vector<BeepKind>{BeepKind::Exclamation});
        frame.OnCommand(ids::ID_CAMERA_SEQUENCER);
        QVERIFY(!d->isVisible());
        QVERIFY(engine.Running());
        QVERIFY(!frame.Action(ids::ID_CAMERA_SEQUENCER)->isChecked());

        QTRY_VERIFY_WITH_TIMEOUT(!engine.Running(), 15000);
        QVERIFY(ticks >= 50);
        QVERIFY(QFileInfo::exists(folder + "/m_001L.fit"));
        QCOMPARE(prompts.messages.size(), size_t{1});
        QCOMPARE(prompts.messages[0].text, std::string("Sequence complete."));
        QCOMPARE(frame.App().Saver().Settings().sequenceNumber, 2);
        frame.OnCommand(ids::ID_CAMERA_SEQUENCER);
        QVERIFY(d->isVisible() && !note->isVisible());
        QCOMPARE(run->text(), QString("Run"));
        QCOMPARE(Control<QLabel>(d, 1112)->text(), QString());
    }

    void theGuidingBoxEditsTheSequencesGuidingAndKeepsAGoodAddress() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        sim_.Reset("");
        CMainFrame frame(prompts, folders.Options(BinDir()));
        frame.show();
        frame.OnCommand(ids::ID_CAMERA_SEQUENCER);
        CSequencerDialog* d = frame.Sequencer();
        const SequenceGuideOptions& g = frame.App().Sequence().guiding;
        QCOMPARE(LabelText(d, "guiderState"), QString("Guiding: off"));
        QTest::mouseClick(d->findChild<QCheckBox*>("guide"), Qt::LeftButton);
        QVERIFY(g.guide);
        d->findChild<QSpinBox*>("ditherEvery")->setValue(3);
        d->findChild<QComboBox*>("settleFailure")->setCurrentIndex(1);
        emit d->findChild<QComboBox*>("settleFailure")->activated(1);
        QCOMPARE(g.ditherEvery, 3);
        QVERIFY(g.stopOnSettleFailure);

        auto* address = d->findChild<QLineEdit*>("guiderAddress");
        QCOMPARE(address->text(), QString("localhost:4400"));
        Type(address, "guide-pc.lan:4401");
        emit address->editingFinished();
        QCOMPARE(g.host, std::string("guide-pc.lan"));
        QCOMPARE(g.port, 4401);
        d->Refresh();
        QCOMPARE(LabelText(d, "guiderState"), QString("Guider guide-pc.lan:4401: connects at Run"));
        // Something that is no address is refused with a word, and the address stays.
        QString said;
        WhenModalShows(
            [&](QWidget* box) { said = box->findChild<QLabel*>("qt_msgbox_label")->text(); });
        Type(address, "guide pc:99999");
        emit address->editingFinished();
        QVERIFY2(said.contains("is no guider address"), qPrintable(said));
        QCOMPARE(g.port, 4401);
        QCOMPARE(address->text(), QString("guide-pc.lan:4401"));
    }

    void theSequenceIsKeptInTheSettingsFileWhileTheDialogExists() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        sim_.Reset("");
        const AppOptions options = folders.Options(BinDir());
        {
            CMainFrame frame(prompts, options);
            frame.show();
            frame.OnCommand(ids::ID_CAMERA_SEQUENCER);
            frame.App().Sequence().lines[6].suffix = "Ha";
            frame.App().Sequence().delay = 12;
            frame.App().Sequence().guiding.ditherEvery = 4;
            frame.close();
        }
        CMainFrame again(prompts, options);
        again.show();
        QTRY_VERIFY2(again.Sequencer() && again.Sequencer()->isVisible(),
                     "reopened as it was at exit");
        CSequencerDialog* d = again.Sequencer();
        QCOMPARE(Control<QLineEdit>(d, 1213)->text(), QString("Ha"));
        QCOMPARE(Control<QLineEdit>(d, 1002)->text(), QString("12"));
        QCOMPARE(d->findChild<QSpinBox*>("ditherEvery")->value(), 4);
    }
};

ZORVANE_GUI_TEST_MAIN(SequencerDialogTest)
#include "SequencerDialogTest.moc"
