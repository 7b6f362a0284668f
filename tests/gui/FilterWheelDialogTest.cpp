// The Filter Wheel dialog in the main window: without a wheel server (quiet start-up, the
// Connect message, the toggle and its stored placement) and with the INDI wheel simulator
// (connect, choose a position, disconnect; the wheel's filter names in both dialogs).

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "MainFrameHarness.h"
#include "core/CommandIds.h"
#include "platform/IniFile.h"
#include "support/IndiServer.h"
#include "ui/CFilterWheelDialog.h"
#include "ui/ToolWindow.h"

using namespace zorvane;
using namespace zorvane::test;

class FilterWheelDialogTest : public QObject {
    Q_OBJECT

    // The main window on the simulated camera, its wheel at `wheelServer`.
    static std::unique_ptr<CMainFrame> Open(ScriptedPrompts& prompts, WindowFolders& folders,
                                            const std::string& wheelServer) {
        const AppOptions options = folders.Options(BinDir());
        WritePrivateProfileString("Automation", "Qelt.Filterwheel.Com", wheelServer,
                                  options.settingsPath);
        return std::make_unique<CMainFrame>(prompts, options);
    }

    static CFilterWheelDialog* Toggle(CMainFrame& frame) {
        frame.OnCommand(ids::ID_CAMERA_FILTER_WHEEL);
        return static_cast<CFilterWheelDialog*>(frame.Dialog(AppDialog::FilterWheel));
    }

private slots:
    void withoutServerStartUpIsQuietAndConnectSaysSo() {
        ScriptedPrompts prompts;
        WindowFolders folders;
        const std::string dead = "@localhost:" + std::to_string(IndiServer::FreePort());
        auto frame = Open(prompts, folders, dead);
        QTRY_VERIFY(!frame->App().FilterWheelConnecting());  // the start-up's quiet attempt
        QCOMPARE(frame->App().Filters().positions, 5);
        QVERIFY(prompts.messages.empty());

        CFilterWheelDialog* d = Toggle(*frame);
        QVERIFY(d && d->isVisible());
        QCOMPARE(d->windowTitle(), QString("Filter Wheel"));
        QVERIFY(frame->Action(ids::ID_CAMERA_FILTER_WHEEL)->isChecked());
        QCOMPARE(d->TypeText()->text(), QString("Not Connected"));
        QCOMPARE(d->ConnectButton()->text(), QString("Connect"));
        QVERIFY(!d->PositionList()->isEnabled());

        QTest::mouseClick(d->ConnectButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(prompts.messages.size(), size_t(1), 5000);
        QCOMPARE(QString::fromStdString(prompts.messages[0].text),
                 QString("Cannot communicate with filterwheel"));
        QCOMPARE(QString::fromStdString(prompts.messages[0].caption), QString("Filterwheel"));
        QCOMPARE(d->TypeText()->text(), QString("Not Connected"));
        QVERIFY(!d->PositionList()->isEnabled());

        // Hidden and shown again by the command; it comes back where it was left.
        PlaceToolWindow(d, 123, 145);
        Toggle(*frame);
        QVERIFY(!d->isVisible());
        QVERIFY(!frame->Action(ids::ID_CAMERA_FILTER_WHEEL)->isChecked());
        Toggle(*frame);
        QVERIFY(d->isVisible());
        frame->close();
        const std::string ini = folders.Options(BinDir()).settingsPath;
        QCOMPARE(GetPrivateProfileInt("FilterDialog", "Show", -1, ini), 1);
        QCOMPARE(GetPrivateProfileInt("FilterDialog", "Left", -1, ini), 123);
        frame.reset();

        auto again = Open(prompts, folders, dead);
        again->show();
        QTRY_VERIFY(again->Dialog(AppDialog::FilterWheel));
        QWidget* reopened = again->Dialog(AppDialog::FilterWheel);
        QVERIFY(reopened->isVisible());
        QCOMPARE(reopened->geometry().topLeft(), QPoint(123, 145));
    }

    void withTheSimulatorConnectsAndMoves() {
        IndiServer server({IndiServer::kWheelDriver}, {IndiServer::kWheelDevice});
        QVERIFY2(server.Start() == IndiServer::Status::Started, server.Error().c_str());

        ScriptedPrompts prompts;
        WindowFolders folders;
        std::string address = "@";
        address += server.Address();
        auto frame = Open(prompts, folders, address);
        QTRY_VERIFY_WITH_TIMEOUT(frame->App().IsFilterWheelConnected(), 10000);
        QCOMPARE(frame->App().Filters().positions, 8);
        int reached = -2;
        frame->App().MoveFilterWheel(0, [&](int p) { reached = p; });
        QTRY_COMPARE_WITH_TIMEOUT(reached, 0, 15000);

        CFilterWheelDialog* d = Toggle(*frame);
        QVERIFY(d);
        QCOMPARE(d->TypeText()->text(), QString("Qelt Filterwheel"));
        QCOMPARE(d->ConnectButton()->text(), QString("Disconnect"));
        QVERIFY(d->PositionList()->isEnabled());
        QCOMPARE(d->PositionList()->count(), 8);
        QCOMPARE(d->PositionList()->currentText(), QString("1: Red"));

        // Entry "3" is the wheel's position 2: the list waits, greyed, while the wheel moves
        // there, then shows where it stopped.
        d->PositionList()->setCurrentIndex(2);
        QVERIFY(!d->PositionList()->isEnabled());
        QCOMPARE(d->PositionList()->currentText(), QString("3: Blue"));
        QTRY_VERIFY_WITH_TIMEOUT(d->PositionList()->isEnabled(), 15000);
        QCOMPARE(d->PositionList()->currentText(), QString("3: Blue"));
        QCOMPARE(frame->App().FilterPosition(), 2);

        QTest::mouseClick(d->ConnectButton(), Qt::LeftButton);
        QCOMPARE(d->TypeText()->text(), QString("Not Connected"));
        QVERIFY(!frame->App().IsFilterWheelConnected());
        QTest::mouseClick(d->ConnectButton(), Qt::LeftButton);
        QVERIFY2(!d->ConnectButton()->isEnabled(), "not while the wheel answers");
        QTRY_COMPARE_WITH_TIMEOUT(d->ConnectButton()->text(), QString("Disconnect"), 10000);
        QVERIFY(d->ConnectButton()->isEnabled());
        QCOMPARE(d->PositionList()->currentText(), QString("3: Blue"));

        // Each sequencer line names its filter; the line keeps the number.
        frame->OnCommand(ids::ID_CAMERA_SEQUENCER);
        QWidget* seq = frame->Dialog(AppDialog::Sequencer);
        QVERIFY(seq);
        auto* filter = seq->findChild<QLineEdit*>(QStringLiteral("1148"));
        auto* name = seq->findChild<QLabel*>(QStringLiteral("filterName1"));
        QVERIFY(filter && name);
        for (const auto& [number, shown] :
             {std::pair{"3", "Blue"}, {"8", "Luminance"}, {"9", ""}}) {
            filter->setText(QString(number));
            emit filter->textEdited(filter->text());
            QCOMPARE(name->text(), QString(shown));
        }
        QCOMPARE(frame->App().Sequence().lines[0].filter, 9);
        QVERIFY(prompts.messages.empty());
    }
};

ZORVANE_GUI_TEST_MAIN(FilterWheelDialogTest)
#include "FilterWheelDialogTest.moc"
