// The "Save quick settings" dialog offscreen: its fields follow the chosen key until the title
// is edited, and OK stores the preset through the settings controller.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "ui/CQuickSaveDialog.h"
#include "support/AppBench.h"

using namespace zorvane;

namespace {

std::array<QuickPreset, 8> Presets() {
    std::array<QuickPreset, 8> p;
    for (int n = 1; n <= 8; ++n) p[n - 1] = {quick::BuiltInPreset(n).title, 9};
    p[3] = {"Focus", 2 | 4};
    return p;
}

template <typename W>
W* Find(QWidget* dialog, int id) {
    return dialog->findChild<W*>(QString::number(id));
}

}  // namespace

class QuickSaveDialogTest : public QObject {
    Q_OBJECT
private slots:
    void fieldsFollowTheKeyUntilTheTitleIsEdited();
    void okSavesThePresetAndRenamesTheMenuItem();
    void cancelChangesNothing();
};

void QuickSaveDialogTest::fieldsFollowTheKeyUntilTheTitleIsEdited() {
    CQuickSaveDialog dialog(Presets());
    auto* key = Find<QComboBox>(&dialog, CQuickSaveDialog::kKeyList);
    auto* title = Find<QLineEdit>(&dialog, CQuickSaveDialog::kTitleEdit);
    auto* mode = Find<QComboBox>(&dialog, CQuickSaveDialog::kModeList);
    auto* exposure = Find<QCheckBox>(&dialog, CQuickSaveDialog::kSaveExposureCheck);
    auto* subframe = Find<QCheckBox>(&dialog, CQuickSaveDialog::kSaveSubframeCheck);
    QCOMPARE(key->currentText(), QStringLiteral("F1"));
    QCOMPARE(title->text(), QStringLiteral("0.1 sec 1x1"));
    QCOMPARE(mode->currentText(), QStringLiteral("Single"));
    QVERIFY(exposure->isChecked());
    QVERIFY(!subframe->isChecked());

    key->setCurrentIndex(3);
    QCOMPARE(title->text(), QStringLiteral("Focus"));
    QCOMPARE(mode->currentText(), QStringLiteral("Loop"));
    QVERIFY(!exposure->isChecked());
    QVERIFY(subframe->isChecked());

    title->setText(QStringLiteral("Guide 2s"));
    mode->setCurrentIndex(0);
    key->setCurrentIndex(2);
    QCOMPARE(title->text(), QStringLiteral("Guide 2s"));
    QCOMPARE(mode->currentIndex(), 0);
    const QuickSaveForm form = dialog.Form();
    QCOMPARE(form.key, 2);
    QCOMPARE(form.Flags(), 4);
}

void QuickSaveDialogTest::okSavesThePresetAndRenamesTheMenuItem() {
    test::AppBench bench;
    bench.Start();
    bench.Exposure().exposure = 2.0f;
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CQuickSaveDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        Find<QComboBox>(dialog, CQuickSaveDialog::kKeyList)->setCurrentIndex(2);
        Find<QLineEdit>(dialog, CQuickSaveDialog::kTitleEdit)->setText(QStringLiteral("Guide 2s"));
        Find<QCheckBox>(dialog, CQuickSaveDialog::kSaveExposureCheck)->setChecked(true);
        Find<QComboBox>(dialog, CQuickSaveDialog::kModeList)->setCurrentIndex(2);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton);
    });
    QVERIFY(CQuickSaveDialog::Run(*bench.settings));
    QCOMPARE(QString::fromStdString(bench.ui.quickItems[2]), QStringLiteral("Guide 2s\tF3"));
    QCOMPARE(bench.app->Presets()[2].flags, 2 + 8);

    IniDocument doc;
    QVERIFY(doc.Load(bench.iniPath));
    QCOMPARE(QString::fromStdString(doc.GetString("Camera3", "Exposure", "")),
             QStringLiteral("2.000000"));
    QCOMPARE(doc.GetInt("Quick", "Snap3", -1), 10);
}

void QuickSaveDialogTest::cancelChangesNothing() {
    test::AppBench bench;
    bench.Start();
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CQuickSaveDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        Find<QLineEdit>(dialog, CQuickSaveDialog::kTitleEdit)->setText(QStringLiteral("x"));
        dialog->reject();
    });
    QVERIFY(!CQuickSaveDialog::Run(*bench.settings));
    QCOMPARE(QString::fromStdString(bench.app->Presets()[0].title), QStringLiteral("0.1 sec 1x1"));
    QVERIFY(!QFile::exists(QString::fromStdString(bench.iniPath)));
}

QTEST_MAIN(QuickSaveDialogTest)
#include "QuickSaveDialogTest.moc"
