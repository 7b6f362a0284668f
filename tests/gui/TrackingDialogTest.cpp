// The Star Tracking dialog in the main window on the simulated camera: opened by a
// double-click on a star, its large figures, its two sizes, edits corrected or refused, the
// Help window, the Tracking command's check mark; and one deviation chart as painted.

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>

#include "MainFrameHarness.h"
#include "core/CommandIds.h"
#include "guiding/DeviationHistory.h"
#include "ui/CChildView.h"
#include "ui/CDeviceChooserDialog.h"
#include "ui/CTrackingDialog.h"
#include "ui/UpDownButtons.h"
#include "view/ImageView.h"

using namespace zorvane;
using namespace zorvane::test;

namespace {

struct FakeClock : Clock {
    uint64_t now = 50000;
    uint64_t Milliseconds() override { return now; }
};

template <typename T>
T* Child(QWidget* dialog, const char* name) {
    return dialog->findChild<T*>(QString::fromLatin1(name));
}

}  // namespace

class TrackingDialogTest : public QObject {
    Q_OBJECT

    SimControls sim_;

private slots:
    void initTestCase() { QVERIFY2(sim_.Loaded(), "the simulated camera library is missing"); }

    void doubleClickOnAStarOpensTheDialogWithItsFigures() {
        sim_.Reset(
            "size=640x480;stars=300;star_flux=400000;drift=0;pe=0;hot_pixels=0;seed=5;"
            "flush_ms=0;wait_ms=0");
        ScriptedPrompts prompts;
        WindowFolders folders;
        CMainFrame frame(prompts, folders.Options(BinDir()));
        frame.resize(1000, 800);
        frame.show();
        frame.App().Exposure().exposure = 0.5f;
        frame.OnCommand(ids::ID_CAMERA_SNAPSHOT);
        sim_.Advance(3000);
        QTRY_VERIFY(!frame.App().View().Frame().IsEmpty());
        QVERIFY(!frame.Tracking());

        // A bright star, where the turned frame shows it.
        double x = 0, y = 0, flux = 0;
        for (int i = 0; i < sim_.StarCount(); ++i) {
            sim_.Star(i, x, y, flux);
            if (flux < 60000 && x > 100 && y > 100 && x < 540 && y < 380) break;
        }
        QWidget* port = frame.View()->viewport();
        port->repaint();
        const Point at = frame.App().View().Geometry().SensorToScreen(
            Point{static_cast<int>(640 - x), static_cast<int>(480 - y)});
        QTest::mouseDClick(port, Qt::LeftButton, {}, QPoint(at.x, at.y));

        CTrackingDialog* d = frame.Tracking();
        QVERIFY(d);
        QVERIFY(d->isVisible());
        QCOMPARE(d->windowTitle(), QString("Star Tracking [Focus + Autoguiding]"));
        // A tool window of the main window: it stays above it.
        QCOMPARE(d->parentWidget(), &frame);
        QVERIFY(d->isWindow());
        frame.UpdateCommandUi();
        QVERIFY(frame.Action(ids::ID_VIEW_TRACKING)->isChecked());

        QVERIFY(Child<QLabel>(d, "1085")->isVisible());
        QCOMPARE(Child<QLabel>(d, "1085")->text(), QString("Bri:"));
        QCOMPARE(Child<QLabel>(d, "1084")->text(), QString("FWHM:"));
        QVERIFY(!Child<QLabel>(d, "1083")->isVisible());
        const QFont font = Child<QLineEdit>(d, "1073")->font();
        QCOMPARE(font.pointSize(), 14);
        QVERIFY(font.bold());
        QVERIFY(Child<QLineEdit>(d, "1073")->text().toInt() > 300);
        QVERIFY(QRegularExpression("^\\d\\.\\d\\d$")
                    .match(Child<QLineEdit>(d, "1008")->text())
                    .hasMatch());

        // Collapsed, then expanded by "Setup Guiding", then collapsed again.
        QCOMPARE(d->size(), d->CollapsedSize());
        QVERIFY(d->ExpandedSize().height() > d->CollapsedSize().height() + 100);
        auto* setup = Child<QCheckBox>(d, "1101");
        QTest::mouseClick(setup, Qt::LeftButton);
        QCOMPARE(d->size(), d->ExpandedSize());
        QVERIFY(frame.App().Guiding().trackingExpand);
        QVERIFY(Child<QPushButton>(d, "1102")->isEnabled());
        QVERIFY(Child<QPushButton>(d, "1257")->isEnabled());
        QVERIFY(Child<QCheckBox>(d, "1258")->isEnabled());
        // The guide scope's focal length is taken; the RMS line waits for guided frames; the
        // auto-select button picks a star of its own.
        Child<QLineEdit>(d, "1270")->setText("400");
        QCOMPARE(frame.App().Guiding().focalLength, 400);
        QCOMPARE(Child<QLabel>(d, "1272")->text(), QString("RMS: no guided frames yet"));
        frame.App().View().SetTrackedStar({-1000, -1000});
        QTest::mouseClick(Child<QPushButton>(d, "1271"), Qt::LeftButton);
        QVERIFY(frame.App().View().TrackedStar().x >= 0);
        QVERIFY(prompts.messages.empty());

        // Calibrate shows "Calibrating" over the main window; its Cancel ends the run.
        QTest::mouseClick(Child<QPushButton>(d, "1102"), Qt::LeftButton);
        QDialog* progress = frame.CalibrationProgress();
        QVERIFY(progress && progress->isVisible());
        QCOMPARE(progress->windowTitle(), QString("Calibrating"));
        QCOMPARE(Child<QLabel>(progress, "1132")->text(),
                 QString("Click 'Cancel' to abort calibration"));
        QVERIFY((progress->geometry().center() - frame.geometry().center()).manhattanLength() <= 6);
        frame.SetCalibrationProgress(250);
        QCOMPARE(Child<QProgressBar>(progress, "1129")->value(), 100);
        QTest::mouseClick(Child<QPushButton>(progress, "cancel"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                sim_.Advance(1000);
                return !frame.App().Guider().Calibrating() && !frame.CalibrationProgress();
            }(),
            20000);
        // The star-lost indicator shows centred, hides, and shows again.
        frame.ShowGuideStarLost(true);
        QWidget* lost = frame.GuideStarLost();
        QVERIFY(lost && lost->isVisible());
        QCOMPARE(lost->windowTitle(), QString("Autoguider"));
        QCOMPARE(Child<QLabel>(lost, "1256")->text(), QString("Guide star lost!"));
        frame.ShowGuideStarLost(false);
        QVERIFY(!lost->isVisible());
        frame.ShowGuideStarLost(true);
        QVERIFY(frame.GuideStarLost() == lost && lost->isVisible());
        frame.ShowGuideStarLost(false);
        prompts.messages.clear();
        QTest::mouseClick(setup, Qt::LeftButton);
        QCOMPARE(d->size(), d->CollapsedSize());

        // A radius of 60 is refused, 20 is taken; a feedback of 25 is corrected to 20 and the
        // spin does not go beyond.
        auto* search = Child<QLineEdit>(d, "1106");
        search->setText("60");
        QCOMPARE(frame.App().Focus().searchRadius, 15);
        search->setText("20");
        QCOMPARE(frame.App().Focus().searchRadius, 20);
        auto* feedback = Child<QLineEdit>(d, "1261");
        feedback->setText("25");
        QCOMPARE(feedback->text(), QString("20"));
        QCOMPARE(frame.App().Guiding().aggressivenessRA, 20);
        emit Child<UpDownButtons>(d, "1262")->stepped(+1);
        QCOMPARE(feedback->text(), QString("20"));

        // Help shows and hides its own window.
        QTest::mouseClick(Child<QPushButton>(d, "1123"), Qt::LeftButton);
        QVERIFY(d->HelpDialog() && d->HelpDialog()->isVisible());
        QCOMPARE(d->HelpDialog()->windowTitle(), QString("Tracking Help"));
        QTest::mouseClick(Child<QPushButton>(d, "1123"), Qt::LeftButton);
        QVERIFY(!d->HelpDialog()->isVisible());

        // The Tracking command hides the dialog and clears its check mark.
        frame.OnCommand(ids::ID_VIEW_TRACKING);
        QVERIFY(!d->isVisible());
        QVERIFY(!frame.Action(ids::ID_VIEW_TRACKING)->isChecked());
        frame.OnCommand(ids::ID_VIEW_TRACKING);
        QVERIFY(d->isVisible());
    }

    // "ASCOM chooser..." brings up the device chooser on the server the settings name; Cancel
    // leaves the camera's port in use.
    void chooserButtonShowsTheChooserAndCancelKeepsTheCameraPort() {
        sim_.Reset("size=640x480;flush_ms=0;wait_ms=0");
        ScriptedPrompts prompts;
        WindowFolders folders;
        const AppOptions options = folders.Options(BinDir());
        QFile ini(QString::fromStdString(options.settingsPath));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Automation]\nDriverHelper.Chooser=@127.0.0.1:1\n");
        ini.close();
        CMainFrame frame(prompts, options);
        frame.show();
        frame.OnCommand(ids::ID_VIEW_TRACKING);
        CTrackingDialog* d = frame.Tracking();
        QVERIFY(d);

        QString title, status;
        int listed = -1;
        bool okEnabled = true;
        QTimer::singleShot(50, [&] {
            auto* chooser = qobject_cast<CDeviceChooserDialog*>(QApplication::activeModalWidget());
            if (!chooser) return;
            title = chooser->windowTitle();
            status = Child<QLabel>(chooser, "status")->text();
            listed = Child<QListWidget>(chooser, "devices")->count();
            okEnabled = Child<QPushButton>(chooser, "ok")->isEnabled();
            Child<QPushButton>(chooser, "cancel")->click();
        });
        Child<QPushButton>(d, "1257")->click();
        QCOMPARE(title, QString("Choose Telescope"));
        QCOMPARE(status, QString("No INDI server answers at 127.0.0.1:1"));
        QCOMPARE(listed, 0);
        QVERIFY(!okEnabled);
        QVERIFY(!Child<QCheckBox>(d, "1258")->isChecked());
        QCOMPARE(Child<QLabel>(d, "1268")->text(), QString("ASCOM"));
        QVERIFY(frame.App().Guiding().output == GuideOutput::CameraPort);
        QVERIFY(prompts.messages.empty());
    }

    void chartPaintsItsZeroLineAndPolyline() {
        FakeClock clock;
        DeviationHistory history(clock);
        // 0.3 px steady (label 0.5, so 72 x 0.45 / 0.5 = 64.8 px per px of deviation), with one
        // slot at -0.2 early on.
        history.AddDeviation(0.0f, -0.2f);
        for (int i = 0; i < 30; ++i) {
            clock.now += 3001;
            history.AddDeviation(0.0f, 0.3f);
        }
        QWidget parent;
        DeviationChart chart(1242, &parent);
        const DeviationPlot plot =
            PlotDeviation(history, DeviationHistory::Dec, DeviationChart::Frame(), 1u);
        chart.SetPlot(plot);
        const QImage img = chart.grab().toImage();
        const QColor blue(0, 0, 128);
        const int mid = DeviationChart::kFrameHeight / 2;
        QCOMPARE(img.pixelColor(2, mid), blue);             // zero line, left
        QCOMPARE(img.pixelColor(190, mid - 19), blue);      // 0.3 px: 19 px up
        QCOMPARE(img.pixelColor(1 + 169, mid + 12), blue);  // slot 169: -0.2
        QVERIFY(img.pixelColor(100, mid - 10) != blue);     // nothing between
        QCOMPARE(img.pixelColor(DeviationChart::kFrameWidth + 14, mid - 10),
                 QColor(255, 0, 0));  // north pulse lamp lit
        QCOMPARE(img.pixelColor(DeviationChart::kFrameWidth + 14, mid + 10), QColor(0, 255, 0));
    }
};

ZORVANE_GUI_TEST_MAIN(TrackingDialogTest)
#include "TrackingDialogTest.moc"
