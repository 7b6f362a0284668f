// The whole main window as the user sees it after one exposure on the simulated camera, with
// the cooler dialog open. Checks that the picture is really there, and writes the screen to the
// file named by ZORVANE_SCREENSHOT when it is set (the documentation's screenshot).

#include <QPushButton>
#include <QScreen>

#include "MainFrameHarness.h"
#include "core/CommandIds.h"
#include "ui/CChildView.h"
#include "ui/CoolerDialog.h"

using namespace zorvane;
using namespace zorvane::test;

class MainFrameScreenshotTest : public QObject {
    Q_OBJECT

    SimControls sim_;

private slots:
    void mainWindowWithTheCoolerDialog() {
        QVERIFY(sim_.Loaded());
        ScriptedPrompts prompts;
        WindowFolders folders;
        sim_.Reset("");
        CMainFrame frame(prompts, folders.Options(BinDir()));
        frame.App().Cooler().sleep = [](unsigned) {};
        frame.App().Window() = WindowPlacement{10, 10, 790, 590, false};
        frame.move(10, 10);
        frame.resize(780, 580);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));

        frame.App().Exposure().exposure = 2.0f;
        frame.OnCommand(ids::ID_CAMERA_SNAPSHOT);
        sim_.Advance(1000);
        frame.UpdateStatusBar();  // mid-exposure
        sim_.Advance(5000);
        QTRY_VERIFY(!frame.App().Cycle().Exposing());

        frame.App().Placement(AppDialog::Cooler).left = 800;
        frame.App().Placement(AppDialog::Cooler).top = 40;
        frame.App().Cooler().SetSetpointValue(-1500);
        frame.OnCommand(ids::ID_VIEW_COOLER);
        CoolerDialog* cooler = frame.Cooler();
        QVERIFY(cooler);
        QTest::mouseClick(cooler->OnOffButton(), Qt::LeftButton);
        sim_.Advance(20000);
        frame.App().OnTimer(5);
        frame.App().OnPixelReadout(700, 520, 1432);
        frame.UpdateUi();
        QVERIFY(QTest::qWaitForWindowExposed(cooler));
        QTest::qWait(20);

        // The frame is on show: the view is not one flat colour.
        const QImage view = frame.View()->viewport()->grab().toImage();
        QVERIFY(!view.isNull());
        QSet<QRgb> colours;
        for (int y = 0; y < view.height(); y += 7)
            for (int x = 0; x < view.width(); x += 7) colours.insert(view.pixel(x, y));
        QVERIFY2(colours.size() > 20, "the view shows no picture");

        const QByteArray out = qgetenv("ZORVANE_SCREENSHOT");
        if (!out.isEmpty()) {
            QScreen* screen = frame.screen();
            QPixmap shot = screen->grabWindow(0);
            if (shot.isNull()) shot = frame.grab();
            QVERIFY(shot.save(QString::fromLocal8Bit(out)));
        }
    }
};

ZORVANE_GUI_TEST_MAIN(MainFrameScreenshotTest)

#include "MainFrameScreenshotTest.moc"
