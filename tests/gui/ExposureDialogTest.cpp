// The Exposure dialog's widgets on a live application core with the simulated camera, offscreen,
// in virtual time for the typing timer.

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include "ui/CExposureDialog.h"
#include "ui/UpDownButtons.h"
#include "support/AppBench.h"
#include "view/ImageView.h"

using namespace zorvane;
using namespace zorvane::exposure_ids;

namespace {

// A started core with the dialog shown; the dialog's typing timer runs on the bench's loop.
struct DialogBench {
    test::AppBench bench;
    std::unique_ptr<CExposureDialog> dialog;

    DialogBench() {
        bench.Start();
        dialog = std::make_unique<CExposureDialog>(*bench.exposure, nullptr, QList<QAction*>{},
                                                   &bench.loop);
        dialog->Refresh();
        dialog->show();
    }
    template <typename W>
    W* Find(int id) {
        return dialog->findChild<W*>(QString::number(id));
    }
    QLineEdit* Edit(int id) { return Find<QLineEdit>(id); }
    ExposureSettings& Exposure() { return bench.Exposure(); }
};

}  // namespace

class ExposureDialogTest : public QObject {
    Q_OBJECT
private slots:
    void spinButtonsReachTheirSteps();
    void typingAppliesOnceTwoSecondsAfterTheLastKey();
    void lockDisablesTheTwelveControls();
    void binYSameAsXGivesSquareBinning();
    void everyControlHasItsIdAndHiddenOnesStillTravel();
    void closeAppliesAndHides();
    void refusedValueKeepsTheFocusOnItsBox();
    void mainWindowShortcutsWorkInTheDialog();
};

// The steps and rounding are the model's (ExposureDialogModelTest); here each of the three
// buttons reaches its own step.
void ExposureDialogTest::spinButtonsReachTheirSteps() {
    DialogBench d;
    d.Edit(kExposureEdit)->setText("0.5");
    const auto click = [&d](int id, bool up) {
        auto* buttons = d.Find<UpDownButtons>(id);
        QVERIFY(buttons);
        QTest::mouseClick(up ? buttons->UpButton() : buttons->DownButton(), Qt::LeftButton);
    };
    click(kSpinFine, true);
    QCOMPARE(d.Edit(kExposureEdit)->text(), QString("0.6"));
    click(kSpinSeconds, true);
    QCOMPARE(d.Edit(kExposureEdit)->text(), QString("1.6"));
    click(kSpinMinutes, true);
    QCOMPARE(d.Edit(kExposureEdit)->text(), QString("62"));
    QCOMPARE(d.Exposure().exposure, 62.0f);
}

void ExposureDialogTest::typingAppliesOnceTwoSecondsAfterTheLastKey() {
    DialogBench d;
    QLineEdit* width = d.Edit(kWidth);
    width->setFocus();
    width->selectAll();
    const int refreshes = d.bench.ui.exposureRefreshes;
    for (char key : {'1', '2', '3'}) {
        QTest::keyClick(width, key);
        d.bench.loop.Advance(500);
        QCOMPARE(d.Exposure().subWidth, 640);
    }
    d.bench.loop.Advance(1499);
    QCOMPARE(d.Exposure().subWidth, 640);
    d.bench.loop.Advance(1);
    QCOMPARE(d.Exposure().subWidth, 123);
    QCOMPARE(d.bench.app->View().Selection().Width(), 123);
    d.bench.loop.Advance(10000);
    // One apply: the view told the main window once, which refreshed the dialog once.
    QCOMPARE(d.bench.ui.exposureRefreshes, refreshes + 1);
}

void ExposureDialogTest::lockDisablesTheTwelveControls() {
    DialogBench d;
    QTest::mouseClick(d.Find<QCheckBox>(kLock), Qt::LeftButton);
    QVERIFY(d.Exposure().lockExposure);
    for (int id : kLockedControls) {
        QWidget* w = d.Find<QWidget>(id);
        QVERIFY2(w && !w->isEnabled(), qPrintable(QString::number(id)));
    }
    QVERIFY(d.Find<QWidget>(kSavePath)->isEnabled());
    QVERIFY(d.Find<QWidget>(kLock)->isEnabled());
}

void ExposureDialogTest::binYSameAsXGivesSquareBinning() {
    DialogBench d;
    QComboBox* binX = d.Find<QComboBox>(kBinX);
    QComboBox* binY = d.Find<QComboBox>(kBinY);
    QCOMPARE(binX->count(), 8);
    QCOMPARE(binY->itemText(0), QStringLiteral("=X"));
    QCOMPARE(binY->currentIndex(), 0);
    binX->setFocus();
    QTest::keyClick(binX, Qt::Key_Down);  // "2"
    QCOMPARE(d.Exposure().binX, 2);
    QCOMPARE(d.Exposure().binY, 0);
    d.bench.sim.ClearCallLog();
    d.bench.app->Snapshot();
    QVERIFY(d.bench.sim.CallLog().find("ZorvaneBin(2,2)") != std::string::npos);
}

void ExposureDialogTest::everyControlHasItsIdAndHiddenOnesStillTravel() {
    DialogBench d;
    for (int id : {1000, 1068, 1069, 1070, 1002, 1099, 1115, 1078, 1269, 1133, 1134,
                   1003, 1005, 1006, 1007, 1008, 1009, 1044, 1087, 1035, 1013, 1015,
                   1066, 1077, 1038, 1043, 1042, 1086, 1045, 1047, 1067})
        QVERIFY2(d.Find<QWidget>(id), qPrintable(QString::number(id)));
    for (int id : {kAutoExp, kAmpOff, kInCamPrecharge, kNoPrecharge, kHighPriority})
        QVERIFY(!d.Find<QWidget>(id)->isVisible());
    // The simulated camera offers every mode.
    for (int id : {kFifo, kVbe, kSub, kPre, kTrig, kDark, kLock})
        QVERIFY2(d.Find<QWidget>(id)->isVisible(), qPrintable(QString::number(id)));

    // Hidden values pass through an apply unchanged: the forced start values here.
    QVERIFY(d.Find<QCheckBox>(kAmpOff)->isChecked());
    QVERIFY(d.Find<QCheckBox>(kInCamPrecharge)->isChecked());
    d.Edit(kDelayEdit)->setText(QStringLiteral("2"));
    QTest::keyClick(d.Edit(kDelayEdit), Qt::Key_Return);
    QCOMPARE(d.Exposure().delay, 2.0f);
    QVERIFY(d.Exposure().amplifier);
    QCOMPARE(d.Exposure().prechargeMode, 1);
    QVERIFY(d.Exposure().fifo);
    QVERIFY(!d.Exposure().highPriority);
}

void ExposureDialogTest::closeAppliesAndHides() {
    DialogBench d;
    d.Edit(kExposureEdit)->setText(QStringLiteral("12.5"));
    QTest::mouseClick(d.Find<QPushButton>(kClose), Qt::LeftButton);
    QVERIFY(!d.dialog->isVisible());
    QCOMPARE(d.Exposure().exposure, 12.5f);
}

void ExposureDialogTest::refusedValueKeepsTheFocusOnItsBox() {
    DialogBench d;
    d.dialog->activateWindow();
    d.Edit(kStartX)->setText(QStringLiteral("ten"));
    d.Edit(kExposureEdit)->setText(QStringLiteral("3"));
    QTest::keyClick(d.dialog.get(), Qt::Key_Return);
    QCOMPARE(d.bench.prompts.messages.size(), size_t{1});
    QCOMPARE(QString::fromStdString(d.bench.prompts.messages[0].text),
             QStringLiteral("Please enter an integer."));
    QCOMPARE(d.Exposure().exposure, 3.0f);
    QCOMPARE(d.dialog->focusWidget(), static_cast<QWidget*>(d.Edit(kStartX)));
}

void ExposureDialogTest::mainWindowShortcutsWorkInTheDialog() {
    test::AppBench bench;
    bench.Start();
    QWidget mainWindow;
    QAction f5(QStringLiteral("0.1 sec 2x2"), &mainWindow);
    f5.setShortcut(Qt::Key_F5);
    mainWindow.addAction(&f5);
    int presses = 0;
    QObject::connect(&f5, &QAction::triggered, [&] {
        bench.settings->ApplyQuickPreset(5);
        ++presses;
    });
    CExposureDialog dialog(*bench.exposure, nullptr, {&f5}, &bench.loop);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto* exposure = dialog.findChild<QLineEdit*>(QString::number(kExposureEdit));
    exposure->setFocus();
    QTest::keyClick(exposure, Qt::Key_F5);
    QCOMPARE(presses, 1);
    // The preset refreshed the dialog.
    QCOMPARE(exposure->text(), QStringLiteral("0.1"));
}

QTEST_MAIN(ExposureDialogTest)
#include "ExposureDialogTest.moc"
