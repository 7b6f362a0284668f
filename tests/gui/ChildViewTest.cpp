// The image view widget with real mouse and wheel events: panning, grabbing the selection's
// corners and edges, the wheel zoom, the pixel read-out, the star pick, the scroll bars, and
// the picture with its overlays.

#include <QApplication>
#include <QScrollBar>
#include <QSlider>
#include <QWheelEvent>
#include <QtTest>
#include <memory>
#include <vector>

#include "core/CommandIds.h"
#include "ui/CChildView.h"
#include "ui/CDisplayDialog.h"
#include "unit/view/FakeViewHost.h"

using namespace zorvane;
using zorvane::test::FakeViewHost;

namespace {

// A view whose sensor is exactly as large as the viewport, so at zoom 1:1 without pan a
// viewport pixel is the sensor pixel with the same coordinates.
struct Fixture {
    FakeViewHost host;
    ImageView view{host};
    CChildView widget{view};
    QWidget* port = nullptr;

    Fixture() {
        widget.resize(460, 360);
        widget.show();
        (void)QTest::qWaitForWindowExposed(&widget);
        port = widget.viewport();
        view.SetSensorSize(port->width(), port->height());
        view.UpdateScrollBars();
    }
    // Pixel value 500 × row + column, shown with levels 0 and 65535 (v >> 8, near enough).
    void ShowGradient(int originX, int originY, int w, int h, int bin) {
        std::vector<uint16_t> px(size_t(w) * h);
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) px[size_t(r) * w + c] = uint16_t(500 * r + c);
        view.SetAutoLevel(false);
        view.SetLevels(0, 65535);
        view.SetFrame(px.data(), originX, originY, w, h, bin, bin, false, false);
        view.UpdateDisplayTranslator();
    }
    QImage Grab() { return port->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    void Wheel(QPoint at, int delta) {
        QWheelEvent e(QPointF(at), QPointF(port->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(port, &e);
    }
};

}  // namespace

class ChildViewTest : public QObject {
    Q_OBJECT

private slots:
    void leftDragWithoutSelectionPansAndTheScrollBarsFollow() {
        Fixture f;
        QScrollBar* h = f.widget.horizontalScrollBar();
        const int before = h->value();
        QTest::mousePress(f.port, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(f.port, QPoint(130, 120));
        QTest::mouseRelease(f.port, Qt::LeftButton, {}, QPoint(130, 120));
        QCOMPARE(f.view.PanX(), 30);
        QCOMPARE(f.view.PanY(), 20);
        QCOMPARE(h->value(), before - 30);
        QCOMPARE(f.widget.verticalScrollBar()->value(), f.view.ScrollBars().vertical.position);
        QVERIFY(h->isEnabled());
        QVERIFY(f.host.subframes.empty());
    }

    void cornerAndEdgeGrabs() {
        Fixture f;
        f.view.SetSelection({100, 100}, {200, 150});
        // Corner: both edges move, the main window hears of it on release only.
        QTest::mousePress(f.port, Qt::LeftButton, {}, QPoint(99, 99));
        QTest::mouseMove(f.port, QPoint(89, 109));
        QCOMPARE(f.view.Selection(), (Rect{90, 110, 200, 150}));
        QCOMPARE(f.host.subframes.size(), size_t(1));
        QTest::mouseRelease(f.port, Qt::LeftButton, {}, QPoint(89, 109));
        QCOMPARE(f.host.subframes.size(), size_t(2));
        QCOMPARE(f.host.subframes.back(), (Rect{90, 110, 200, 150}));

        // The right edge dragged past the left one becomes the left edge and keeps following.
        QTest::mousePress(f.port, Qt::LeftButton, {}, QPoint(201, 130));
        QTest::mouseMove(f.port, QPoint(50, 130));
        QCOMPARE(f.view.Selection(), (Rect{49, 110, 90, 150}));
        QTest::mouseMove(f.port, QPoint(40, 130));
        QTest::mouseRelease(f.port, Qt::LeftButton, {}, QPoint(40, 130));
        QCOMPARE(f.host.subframes.back(), (Rect{39, 110, 90, 150}));

        // Inside, away from the edges: the whole rectangle moves.
        QTest::mousePress(f.port, Qt::LeftButton, {}, QPoint(65, 130));
        QTest::mouseMove(f.port, QPoint(75, 140));
        QTest::mouseRelease(f.port, Qt::LeftButton, {}, QPoint(75, 140));
        QCOMPARE(f.host.subframes.back(), (Rect{49, 120, 100, 160}));
        QCOMPARE(f.view.PanX(), 0);
    }

    void rightDragDrawsASelectionUnlessLocked() {
        Fixture f;
        QTest::mousePress(f.port, Qt::RightButton, {}, QPoint(200, 150));
        QCOMPARE(f.port->cursor().shape(), Qt::CrossCursor);
        QTest::mouseMove(f.port, QPoint(120, 100));
        QTest::mouseRelease(f.port, Qt::RightButton, {}, QPoint(120, 100));
        QCOMPARE(f.host.subframes.back(), (Rect{120, 100, 200, 150}));

        f.host.locked = true;
        const size_t told = f.host.subframes.size();
        QTest::mousePress(f.port, Qt::RightButton, {}, QPoint(10, 10));
        QTest::mouseMove(f.port, QPoint(60, 60));
        QTest::mouseRelease(f.port, Qt::RightButton, {}, QPoint(60, 60));
        QCOMPARE(f.host.subframes.size(), told);
    }

    void cursorShowsWhatAPressWouldGrab() {
        Fixture f;
        f.view.SetSelection({100, 100}, {200, 150});
        QTest::mouseMove(f.port, QPoint(99, 125));
        QCOMPARE(f.port->cursor().shape(), Qt::SizeHorCursor);
        QTest::mouseMove(f.port, QPoint(150, 151));
        QCOMPARE(f.port->cursor().shape(), Qt::SizeVerCursor);
        QTest::mouseMove(f.port, QPoint(201, 99));
        QCOMPARE(f.port->cursor().shape(), Qt::SizeBDiagCursor);
        QTest::mouseMove(f.port, QPoint(150, 125));
        QCOMPARE(f.port->cursor().shape(), Qt::SizeAllCursor);
        QTest::mouseMove(f.port, QPoint(20, 20));
        QCOMPARE(f.port->cursor().shape(), Qt::ArrowCursor);
        f.view.SetDefineMode(true);
        QTest::mouseMove(f.port, QPoint(21, 20));
        QCOMPARE(f.port->cursor().shape(), Qt::CrossCursor);
    }

    void wheelKeepsThePointUnderTheCursorAndMovesTheDialogSlider() {
        Fixture f;
        f.widget.ShowDisplayDialog();
        const QPoint at(300, 80);
        const Point star = f.view.Geometry().ScreenToSensor(Point{at.x(), at.y()});
        f.Wheel(at, 120);
        QCOMPARE(f.view.ZoomLevel(), 1);
        QCOMPARE(f.view.Geometry().SensorToScreen(star), (Point{at.x(), at.y()}));
        auto* slider = f.widget.DisplayDialog()->findChild<QSlider*>("1055");
        QVERIFY(slider);
        QCOMPARE(slider->value(), 1);
        f.Wheel(at, 60);  // less than a notch
        QCOMPARE(f.view.ZoomLevel(), 1);
        f.Wheel(at, -360);
        QCOMPARE(f.view.ZoomLevel(), -2);
        QCOMPARE(slider->value(), -2);
        // Over a scroll bar the wheel zooms too, rather than scrolling.
        QWheelEvent e(QPointF(5, 5),
                      QPointF(f.widget.horizontalScrollBar()->mapToGlobal(QPoint(5, 5))), QPoint(),
                      QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(f.widget.horizontalScrollBar(), &e);
        QCOMPARE(f.view.ZoomLevel(), -1);
    }

    void readoutOfABinnedFrame() {
        Fixture f;
        f.ShowGradient(100, 50, 40, 30, 2);
        QTest::mouseMove(f.port, QPoint(110, 60));
        QVERIFY(!f.host.readouts.empty());
        QCOMPARE(f.host.readouts.back().x, 105);
        QCOMPARE(f.host.readouts.back().y, 55);
        QCOMPARE(f.host.readouts.back().value, 5 * 500 + 5);
        QTest::mouseMove(f.port, QPoint(20, 20));
        QCOMPARE(f.host.readouts.back().value, -1);
    }

    void doubleClickPicksAStarOrNothing() {
        Fixture f;
        f.host.measureRadius = 5;
        QTest::mouseDClick(f.port, Qt::LeftButton, {}, QPoint(150, 120));
        QCOMPARE(f.view.TrackedStar(), (Point{150, 120}));
        QCOMPARE(f.host.starPicks, 1);
        QImage img = f.Grab();
        QCOMPARE(img.pixelColor(145, 120), QColor(128, 128, 0));

        f.host.measureResult = false;
        QTest::mouseDClick(f.port, Qt::LeftButton, {}, QPoint(250, 120));
        QCOMPARE(f.view.TrackedStar(), (Point{-1, -1}));
        img = f.Grab();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                QVERIFY(img.pixelColor(x, y) != QColor(128, 128, 0));
    }

    void thumbDragPansButArrowsDoNot() {
        Fixture f;
        QScrollBar* h = f.widget.horizontalScrollBar();
        const int start = h->value();
        h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        h->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(h->value(), start);
        QCOMPARE(f.view.PanX(), 0);

        h->setSliderDown(true);
        h->setSliderPosition(start + 50);
        h->setSliderDown(false);
        QCOMPARE(f.view.PanX(), -50);
        QCOMPARE(h->value(), start + 50);
    }

    void pictureAndOverlays() {
        Fixture f;
        f.ShowGradient(0, 0, 100, 80, 1);  // a 100 × 80 frame at the sensor's top-left
        f.view.SetSelection({10, 20}, {30, 40});
        QImage img = f.Grab();
        // Grey through the table: 2550 shows 9, 30050 shows 117, 39599 shows 154.
        QCOMPARE(img.pixelColor(50, 5), QColor(9, 9, 9));
        QCOMPARE(img.pixelColor(50, 60), QColor(117, 117, 117));
        QCOMPARE(img.pixelColor(99, 79), QColor(154, 154, 154));
        QCOMPARE(img.pixelColor(100, 79), QColor(0, 0, 0));
        QCOMPARE(img.pixelColor(99, 80), QColor(0, 0, 0));
        // Beyond the frame: black.
        QCOMPARE(img.pixelColor(150, 60), QColor(0, 0, 0));
        // The selection's outline, corners included, and the sensor's outline one pixel out.
        QCOMPARE(img.pixelColor(10, 20), QColor(255, 0, 0));
        QCOMPARE(img.pixelColor(30, 40), QColor(255, 0, 0));
        QCOMPARE(img.pixelColor(20, 40), QColor(255, 0, 0));
        QCOMPARE(img.pixelColor(20, 30), QColor(58, 58, 58));  // inside: the picture
        const int w = f.port->width(), h = f.port->height();
        // The sensor outline lies one pixel outside the sensor: just off the window, until
        // the image is moved two pixels up and left.
        QCOMPARE(img.pixelColor(w - 1, h / 2).green(), 0);
        f.view.SetPan(-2, -2);
        f.view.Invalidate();
        img = f.Grab();
        QCOMPARE(img.pixelColor(w - 1, h / 2), QColor(0, 255, 0));

        // Night vision: red only.
        f.view.SetNightVision(true);
        f.view.SetSelection({0, 0}, {0, 0});
        img = f.Grab();
        const QColor c = img.pixelColor(60, 61);
        QVERIFY(c.red() > 0);
        QCOMPARE(c.green(), 0);
        QCOMPARE(c.blue(), 0);
        f.view.SetNightVision(false);
    }

    void colourAndDisplayCommands() {
        Fixture f;
        QVERIFY(!f.widget.HandleCommand(ids::ID_CAMERA_SNAPSHOT));
        QVERIFY(!f.widget.CommandState(ids::ID_CAMERA_SNAPSHOT));
        QVERIFY(!f.widget.CommandState(ids::ID_VIEW_DISPLAY)->checked);
        QVERIFY(f.widget.HandleCommand(ids::ID_VIEW_DISPLAY));
        QVERIFY(f.widget.IsDisplayDialogVisible());
        QVERIFY(f.widget.CommandState(ids::ID_VIEW_DISPLAY)->checked);
        QVERIFY(f.widget.HandleCommand(ids::ID_VIEW_DISPLAY));
        QVERIFY(!f.widget.IsDisplayDialogVisible());

        f.ShowGradient(0, 0, 16, 16, 1);
        QVERIFY(f.widget.HandleCommand(ids::ID_COLOUR_LUMINANCE));
        QCOMPARE(f.view.ColourMode(), 2);
        QVERIFY(f.widget.CommandState(ids::ID_COLOUR_LUMINANCE)->checked);
        QVERIFY(!f.widget.CommandState(ids::ID_COLOUR_RAW)->checked);
        QVERIFY(QApplication::overrideCursor() == nullptr);  // the wait cursor is gone again
    }
};

QTEST_MAIN(ChildViewTest)

#include "ChildViewTest.moc"
