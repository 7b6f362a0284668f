#include "ui/UpDownButtons.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace zorvane {

UpDownButtons::UpDownButtons(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto make = [this, layout](Qt::ArrowType arrow, const char* name, int delta) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setArrowType(arrow);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(18, 12);
        layout->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, delta] { emit stepped(delta); });
        return b;
    };
    up_ = make(Qt::UpArrow, "up", +1);
    down_ = make(Qt::DownArrow, "down", -1);
}

void UpDownButtons::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) {
        emit stepped(+1);
    } else if (event->key() == Qt::Key_Down) {
        emit stepped(-1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

void UpDownButtons::wheelEvent(QWheelEvent* event) {
    const int notches = event->angleDelta().y() / 120;
    for (int i = 0; i < notches; ++i) emit stepped(+1);
    for (int i = 0; i > notches; --i) emit stepped(-1);
    event->accept();
}

}  // namespace zorvane
