#pragma once

#include <QWidget>

class QToolButton;

namespace zorvane {

// An up-down control that keeps no position of its own: each press of an arrow (held arrows
// repeat, as do the Up and Down keys) reports one step of +1 or -1 and the owner decides what
// it means.
class UpDownButtons : public QWidget {
    Q_OBJECT
public:
    explicit UpDownButtons(QWidget* parent = nullptr);

    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

signals:
    void stepped(int delta);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace zorvane
