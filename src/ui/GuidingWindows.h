#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

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

// The calibration's "Calibrating" window and the "Guide star lost!" indicator of one main
// window, each centred on it when it shows.
class GuidingIndicators {
public:
    GuidingIndicators(QWidget* window, std::function<void()> onCancelCalibration);
    ~GuidingIndicators();
    void ShowCalibrationProgress(bool show);
    void SetCalibrationProgress(int percent);
    void ShowGuideStarLost(bool show);
    QDialog* CalibrationProgress() const;
    QDialog* GuideStarLost() const;

private:
    QWidget* window_;
    std::function<void()> onCancel_;
    std::unique_ptr<ProgressDialog> progress_;
    std::unique_ptr<GuideStarLostIndicator> starLost_;
};

}  // namespace zorvane
