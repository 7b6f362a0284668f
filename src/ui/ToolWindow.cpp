#include "ui/ToolWindow.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace zorvane {

namespace {

QScreen* ScreenFor(const QRect& rect) {
    QScreen* best = nullptr;
    long long bestArea = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->geometry().intersected(rect);
        const long long area = static_cast<long long>(common.width()) * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best ? best : QGuiApplication::primaryScreen();
}

}  // namespace

QRect KeptOnScreen(const QRect& rect) {
    const QScreen* screen = ScreenFor(rect);
    if (!screen) return rect;
    const QRect area = screen->availableGeometry();
    const int width = std::min(rect.width(), area.width());
    const int height = std::min(rect.height(), area.height());
    const int left = std::clamp(rect.left(), area.left(), area.left() + area.width() - width);
    const int top = std::clamp(rect.top(), area.top(), area.top() + area.height() - height);
    return QRect(left, top, width, height);
}

void MakeToolWindow(QWidget* dialog) {
    // A tool window with a parent is kept above that parent's window by the window manager.
    dialog->setWindowFlags(dialog->windowFlags() | Qt::Tool);
}

void PlaceToolWindow(QWidget* dialog, int left, int top) {
    // Not shown yet, the dialog has not taken its own size: that is its size hint.
    const QSize size = dialog->testAttribute(Qt::WA_Resized) || dialog->isVisible()
                           ? dialog->size()
                           : dialog->sizeHint().expandedTo(dialog->minimumSize());
    const QRect placed = KeptOnScreen(QRect(QPoint(left, top), size));
    // The client geometry, not move(): move() places the outer frame, whose size is not known
    // before the window manager has decorated the window.
    dialog->setGeometry(QRect(placed.topLeft(), size));
}

QPoint ToolWindowPosition(const QWidget* dialog) {
    return dialog->geometry().topLeft();
}

}  // namespace zorvane
