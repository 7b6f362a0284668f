#pragma once

#include <QDialog>
#include <functional>

class QProgressBar;

namespace zorvane {

// The "Calibrating" window: a bar, its message and Cancel. While it shows, it blocks input to
// the program's other windows.
class CalibrationProgressWindow : public QDialog {
public:
    CalibrationProgressWindow(QWidget* parent, std::function<void()> onCancel);
    void SetProgress(int percent);
    QProgressBar* Bar() const { return bar_; }

protected:
    void reject() override;

private:
    QProgressBar* bar_ = nullptr;
    std::function<void()> onCancel_;
};

// "Guide star lost!" in black on red, centred on the main window.
class GuideStarLostWindow : public QDialog {
public:
    explicit GuideStarLostWindow(QWidget* parent);
};

}  // namespace zorvane
