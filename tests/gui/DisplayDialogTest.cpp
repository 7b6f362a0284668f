// The Display dialog with real typing, clicks and keys: the one-second typing delay, the
// sliders, the log arrows, validation messages, auto stretch, the zoom slider and the main
// window's shortcuts.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>
#include <vector>

#include "ui/CChildView.h"
#include "ui/CDisplayDialog.h"
#include "unit/view/FakeViewHost.h"

using namespace zorvane;
using zorvane::test::FakeViewHost;

namespace {

struct Fixture {
    FakeViewHost host;
    ImageView view{host};
    CChildView widget{view};
    CDisplayDialog* dialog = nullptr;

    explicit Fixture(bool autoStretch = false, QList<QAction*> shortcuts = {}) {
        view.SetSensorSize(800, 600);
        view.SetAutoLevel(autoStretch);
        widget.resize(500, 400);
        widget.show();
        widget.SetDialogShortcuts(shortcuts);
        widget.ShowDisplayDialog();
        dialog = widget.DisplayDialog();
        (void)QTest::qWaitForWindowExposed(dialog);
    }
    template <typename T>
    T* Get(int id) {
        return dialog->findChild<T*>(QString::number(id));
    }
    QLineEdit* Edit(int id) { return Get<QLineEdit>(id); }
    void Retype(int id, const QString& text) {
        QLineEdit* e = Edit(id);
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    size_t Applies() const { return host.exposureLevels.size(); }
};

// Clicks a check box on its box (the widget can be wider than what reacts to the mouse).
void Click(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
}

// The text of the last message box answered by ExpectMessageBox.
QString& LastMessage() {
    static QString text;
    return text;
}
// Answers the next message box with OK and remembers its text.
void ExpectMessageBox() {
    LastMessage().clear();
    QTimer::singleShot(0, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            LastMessage() = box->text();
            box->accept();
        }
    });
}

}  // namespace

class DisplayDialogTest : public QObject {
    Q_OBJECT

private slots:
    void typedLevelIsAppliedOnceAfterTheTypingStops() {
        Fixture f;
        QCOMPARE(f.dialog->windowTitle(), QString("Display"));
        const size_t applies = f.Applies();
        f.Retype(1032, "1200");
        // Nothing taken while typing; each key restarted the one-second timer.
        QCOMPARE(f.view.BlackLevel(), 0);
        QCOMPARE(f.Applies(), applies);
        QVERIFY(f.dialog->TypingTimer().isActive());
        QCOMPARE(f.dialog->TypingTimer().interval(), 1000);
        QVERIFY(f.dialog->TypingTimer().isSingleShot());
        QTRY_COMPARE_WITH_TIMEOUT(f.view.BlackLevel(), 1200, 1500);
        QCOMPARE(f.Applies(), applies + 1);
        QVERIFY(!f.dialog->TypingTimer().isActive());
        QCOMPARE(f.Get<QSlider>(1049)->value(), 1200 - 32768);
    }

    void leavingAnEditAppliesAtOnce() {
        Fixture f;
        f.Retype(1033, "40000");
        f.Edit(1034)->setFocus();
        QCOMPARE(f.view.WhiteLevel(), 40000);
    }

    void levelArrowsAndSliderEnds() {
        Fixture f;
        auto* up = f.Get<QWidget>(1096)->findChild<QToolButton*>("up");
        QTest::mouseClick(up, Qt::LeftButton);
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(f.Edit(1032)->text(), QString("2"));
        QVERIFY(f.dialog->TypingTimer().isActive());

        QSlider* black = f.Get<QSlider>(1049);
        black->setFocus();
        QTest::keyClick(black, Qt::Key_End);
        QCOMPARE(f.Edit(1032)->text(), QString("65535"));
        QCOMPARE(f.view.BlackLevel(), 65535);
        QTest::keyClick(black, Qt::Key_Home);
        QCOMPARE(f.Edit(1032)->text(), QString("0"));
        QCOMPARE(f.view.BlackLevel(), 0);
        QSlider* white = f.Get<QSlider>(1050);
        QCOMPARE(white->pageStep(), 1000);
        white->setFocus();
        QTest::keyClick(white, Qt::Key_PageDown);
        QCOMPARE(f.view.WhiteLevel(), 64535);
    }

    void logValueRoundTripsAndArrowsStopAtTen() {
        Fixture f;
        f.Retype(1034, "0.7");
        QTest::keyClick(f.Edit(1034), Qt::Key_Return);
        QCOMPARE(f.Edit(1034)->text(), QString("0.7"));
        QCOMPARE(f.Get<QSlider>(1051)->value(), 7);
        QCOMPARE(f.view.Gamma(), 1.7f);
        QVERIFY(f.dialog->isVisible());  // Enter applies and stays

        f.Retype(1034, "-1.0");
        QTest::keyClick(f.Edit(1034), Qt::Key_Return);
        QCOMPARE(f.view.Gamma(), 0.5f);

        f.Retype(1034, "9.9");
        auto* up = f.Get<QWidget>(1098)->findChild<QToolButton*>("up");
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(f.Edit(1034)->text(), QString("10"));
        QTest::mouseClick(up, Qt::LeftButton);
        QCOMPARE(f.Edit(1034)->text(), QString("10"));
        QCOMPARE(f.Get<QSlider>(1051)->value(), 100);
        QCOMPARE(f.view.Gamma(), 11.0f);

        // The log slider's end: the edit shows the value the view took.
        QSlider* log = f.Get<QSlider>(1051);
        log->setFocus();
        QTest::keyClick(log, Qt::Key_Home);
        QCOMPARE(f.Edit(1034)->text(), QString("-10"));
        QCOMPARE(f.view.Gamma(), 1.0f / 11.0f);
    }

    void logOutOfRangeStopsTheLevelsTypedWithIt() {
        Fixture f;
        // Type the levels and the log without leaving an edit (leaving applies).
        f.Edit(1034)->setFocus();
        for (int id : {1032, 1033}) f.Edit(id)->selectAll();
        QTest::keyClicks(f.Edit(1032), "500");
        QTest::keyClicks(f.Edit(1033), "5000");
        f.Edit(1034)->selectAll();
        QTest::keyClicks(f.Edit(1034), "12");
        ExpectMessageBox();
        QTest::keyClick(f.Edit(1034), Qt::Key_Return);
        QCOMPARE(LastMessage(), QString("Please enter a number between -10 and 10."));
        QCOMPARE(f.view.BlackLevel(), 0);
        QCOMPARE(f.view.WhiteLevel(), 65535);
        QCOMPARE(f.view.Gamma(), 1.0f);
        // The view's values are shown again.
        QCOMPARE(f.Edit(1032)->text(), QString("0"));
        QCOMPARE(f.Edit(1033)->text(), QString("65535"));
        QCOMPARE(f.Edit(1034)->text(), QString("0"));

        f.Retype(1033, "");
        QTest::keyClick(f.Edit(1033), Qt::Key_Backspace);
        ExpectMessageBox();
        QTest::keyClick(f.Edit(1033), Qt::Key_Return);
        QCOMPARE(LastMessage(), QString("Please enter an integer."));
    }

    void autoStretchDisablesTheLevelControlsWhichFollowEachFrame() {
        Fixture f(true);
        for (int id : {1032, 1033, 1049, 1050}) QVERIFY(!f.Get<QWidget>(id)->isEnabled());
        QVERIFY(f.Get<QCheckBox>(1048)->isChecked());
        std::vector<uint16_t> px(50 * 50, 3000);
        f.view.SetFrame(px.data(), 0, 0, 50, 50, 1, 1, false, false);
        QCOMPARE(f.Edit(1032)->text(), QString("3000"));
        QCOMPARE(f.Edit(1033)->text(), QString("3001"));

        Click(f.Get<QCheckBox>(1048));
        QVERIFY(!f.view.AutoLevel());
        for (int id : {1032, 1033, 1049, 1050}) QVERIFY(f.Get<QWidget>(id)->isEnabled());
        std::fill(px.begin(), px.end(), 100);
        f.view.SetFrame(px.data(), 0, 0, 50, 50, 1, 1, false, false);
        QCOMPARE(f.Edit(1032)->text(), QString("3000"));
    }

    // In a loop of short exposures frames keep arriving while the user types.
    void framesArrivingWhileTypingLeaveTheTypedTextAlone() {
        Fixture f(true);
        std::vector<uint16_t> px(50 * 50, 3000);
        f.Retype(1034, "0.5");
        QVERIFY(f.dialog->TypingTimer().isActive());
        f.view.SetFrame(px.data(), 0, 0, 50, 50, 1, 1, false, false);
        QCOMPARE(f.Edit(1034)->text(), QString("0.5"));
        QCOMPARE(f.Edit(1032)->text(), QString("3000"));  // the frame's own levels still show
        QTRY_COMPARE_WITH_TIMEOUT(f.view.DialogModel().fields.logValue, 0.5f, 1500);
        f.view.SetFrame(px.data(), 0, 0, 50, 50, 1, 1, false, false);
        QCOMPARE(f.Edit(1034)->text(), QString("0.5"));
    }

    void switchesReachTheView() {
        Fixture f;
        Click(f.Get<QCheckBox>(1028));
        QVERIFY(f.view.Invert());
        Click(f.Get<QCheckBox>(1030));
        QVERIFY(!f.view.Aspect());
        Click(f.Get<QCheckBox>(1080));
        QVERIFY(f.view.Reticle());

        const QPalette before = QApplication::palette();
        Click(f.Get<QCheckBox>(1031));
        QVERIFY(f.view.NightVision());
        const QColor base = QApplication::palette().color(QPalette::Active, QPalette::Base);
        QCOMPARE(base.green(), 0);
        QCOMPARE(base.blue(), 0);
        Click(f.Get<QCheckBox>(1031));
        QVERIFY(!f.view.NightVision());
        QVERIFY(QApplication::palette() == before);
    }

    void zoomSliderZoomsAboutTheSelectionCentre() {
        Fixture f;
        f.view.SetSelection({100, 100}, {301, 201});
        const Point before = f.view.Geometry().SensorToScreen(Point{200, 150});
        QSlider* zoom = f.Get<QSlider>(1055);
        zoom->setFocus();
        QTest::keyClick(zoom, Qt::Key_Right);
        QTest::keyClick(zoom, Qt::Key_Right);
        QCOMPARE(f.view.ZoomLevel(), 2);
        QCOMPARE(f.view.Geometry().SensorToScreen(Point{200, 150}), before);

        // The wheel in the view moves the slider.
        QWidget* port = f.widget.viewport();
        QWheelEvent e(QPointF(50, 50), QPointF(port->mapToGlobal(QPoint(50, 50))), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(port, &e);
        QCOMPARE(zoom->value(), 1);
    }

    void closeAndEscapeApplyAndHide() {
        Fixture f;
        f.Retype(1032, "77");
        QTest::keyClick(f.Edit(1032), Qt::Key_Escape);
        QVERIFY(!f.dialog->isVisible());
        QCOMPARE(f.view.BlackLevel(), 77);
        QVERIFY(!f.widget.IsDisplayDialogVisible());

        f.widget.ShowDisplayDialog();
        QVERIFY(f.dialog->isVisible());
        f.Retype(1032, "88");
        QTest::mouseClick(f.Get<QPushButton>(1067), Qt::LeftButton);
        QVERIFY(!f.dialog->isVisible());
        QCOMPARE(f.view.BlackLevel(), 88);
        QCOMPARE(f.view.DispDialogShow(), false);
    }

    void placementIsRememberedAndReused() {
        Fixture f;
        f.dialog->setGeometry(QRect(QPoint(123, 77), f.dialog->size()));
        QCOMPARE(f.view.DispDialogLeft(), 123);
        QCOMPARE(f.view.DispDialogTop(), 77);
        QVERIFY(f.view.DispDialogShow());
        f.view.SetDisplayDialogPlacement({40, 30, true});
        f.view.PushToDialog();
        QCOMPARE(f.dialog->geometry().topLeft(), QPoint(40, 30));
    }

    void mainWindowShortcutsWorkInTheDialog() {
        QAction snapshot(QStringLiteral("Snapshot"));
        snapshot.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
        int fired = 0;
        connect(&snapshot, &QAction::triggered, [&fired] { ++fired; });
        Fixture f(false, {&snapshot});
        f.dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.dialog));
        QTest::keyClick(f.Edit(1032), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(fired, 1);
    }
};

QTEST_MAIN(DisplayDialogTest)

#include "DisplayDialogTest.moc"
