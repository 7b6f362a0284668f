// The "Image File Header" dialog driven through its real widgets, offscreen.

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "ui/CImageHeaderDialog.h"

using namespace zorvane;

namespace {

// Runs `act` on the next modal window once it shows (the dialog itself or a message box).
void WhenModalShows(std::function<void(QWidget*)> act, QWidget* notThis = nullptr) {
    auto* timer = new QTimer;
    timer->setInterval(1);
    QObject::connect(timer, &QTimer::timeout, [timer, act = std::move(act), notThis] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == notThis) return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

template <typename T>
T* Control(QWidget* dialog, int id) {
    return dialog->findChild<T*>(QString::number(id));
}

ImageHeaderSettings Sample() {
    ImageHeaderSettings v;
    v.object = "M31";
    v.telescope = "C14";
    v.observer = "A. Lee";
    v.extraTimePrecision = false;
    return v;
}

}  // namespace

class ImageHeaderDialogTest : public QObject {
    Q_OBJECT
private slots:
    void okTakesTheEditedValues() {
        ImageHeaderSettings values = Sample();
        WhenModalShows([](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Image File Header"));
            auto* check = Control<QCheckBox>(dialog, CImageHeaderDialog::kTimePrecisionCheck);
            QVERIFY(check);
            QCOMPARE(check->text(),
                     QStringLiteral("Record time of exposure to 0.1 second precision  "));
            QCOMPARE(Control<QLineEdit>(dialog, CImageHeaderDialog::kObjectEdit)->text(),
                     QStringLiteral("M31"));
            Control<QLineEdit>(dialog, CImageHeaderDialog::kTelescopeEdit)->clear();
            QTest::keyClicks(Control<QLineEdit>(dialog, CImageHeaderDialog::kObserverEdit), " Jr.");
            check->click();
            Control<QPushButton>(dialog, 1)->click();
        });
        QVERIFY(CImageHeaderDialog::Edit(values));
        QCOMPARE(values.object, std::string("M31"));
        QCOMPARE(values.telescope, std::string());
        QCOMPARE(values.observer, std::string("A. Lee Jr."));
        QVERIFY(values.extraTimePrecision);
    }

    void cancelKeepsThePreviousValues() {
        ImageHeaderSettings values = Sample();
        WhenModalShows([](QWidget* dialog) {
            Control<QLineEdit>(dialog, CImageHeaderDialog::kObjectEdit)->setText("NGC 7000");
            Control<QCheckBox>(dialog, CImageHeaderDialog::kTimePrecisionCheck)->click();
            Control<QPushButton>(dialog, 2)->click();
        });
        QVERIFY(!CImageHeaderDialog::Edit(values));
        QVERIFY(values == Sample());
    }

    void typingStopsAtTheLimit() {
        CImageHeaderDialog dialog(ImageHeaderSettings{});
        auto* object = Control<QLineEdit>(&dialog, CImageHeaderDialog::kObjectEdit);
        QTest::keyClicks(object, QString(60, QLatin1Char('x')));
        QCOMPARE(object->text().size(), 57);
    }

    void okRefusesATextOverTheLimit() {
        ImageHeaderSettings values = Sample();
        values.telescope = std::string(58, 't');
        CImageHeaderDialog dialog(values);
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* telescope = Control<QLineEdit>(&dialog, CImageHeaderDialog::kTelescopeEdit);
        QCOMPARE(telescope->text().size(), 58);  // a stored text is shown whole

        QString message, caption;
        WhenModalShows(
            [&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box);
                message = box->text();
                caption = box->windowTitle();
                box->accept();
            },
            &dialog);
        Control<QPushButton>(&dialog, 1)->click();
        QCOMPARE(message, QStringLiteral("Enter no more than 57 characters."));
        QCOMPARE(caption, QStringLiteral("Zorvane Capture"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.focusWidget(), static_cast<QWidget*>(telescope));
        QCOMPARE(telescope->selectedText().size(), 58);

        // Shortened to 57 characters the same text is accepted.
        telescope->end(false);
        QTest::keyClick(telescope, Qt::Key_Backspace);
        Control<QPushButton>(&dialog, 1)->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Values().telescope, std::string(57, 't'));
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ImageHeaderDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ImageHeaderDialogTest.moc"
