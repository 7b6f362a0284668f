#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QProgressBar;

namespace zorvane {

// A progress window: a bar, a message and Cancel (calibration's "Calibrating"). While it shows,
// it blocks input to the program's other windows.
class ProgressDialog : public QDialog {
public:
    ProgressDialog(QWidget* parent, std::function<void()> onCancel,
                   const QString& caption = QStringLiteral("Working"),
                   const QString& message = QStringLiteral("Click Cancel to cancel the operation"));
    void SetProgress(int percent);  // limited to 0..100
    void SetMessage(const QString& message);
    QProgressBar* Bar() const { return bar_; }

protected:
    void reject() override;

private:
    QProgressBar* bar_ = nullptr;
    QLabel* message_ = nullptr;
    std::function<void()> onCancel_;
};

// "Guide star lost!" in black on red, centred on the main window.
class GuideStarLostIndicator : public QDialog {
public:
    explicit GuideStarLostIndicator(QWidget* parent);
};

}  // namespace zorvane
