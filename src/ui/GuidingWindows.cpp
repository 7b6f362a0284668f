#include "ui/GuidingWindows.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace zorvane {

ProgressDialog::ProgressDialog(QWidget* parent, std::function<void()> onCancel,
                               const QString& caption, const QString& message)
    : QDialog(parent), onCancel_(std::move(onCancel)) {
    setWindowTitle(caption);
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("1129"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    message_ = new QLabel(message, this);
    message_->setObjectName(QStringLiteral("1132"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    layout->addWidget(bar_);
    layout->addWidget(message_);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cancel);
    layout->addLayout(row);
    setFixedWidth(320);
}

void ProgressDialog::SetProgress(int percent) {
    bar_->setValue(std::clamp(percent, 0, 100));
}

void ProgressDialog::SetMessage(const QString& message) {
    message_->setText(message);
}

// Cancel (and Escape) stop the run at its next checkpoint; the engine closes the window.
void ProgressDialog::reject() {
    if (onCancel_) onCancel_();
}

GuideStarLostIndicator::GuideStarLostIndicator(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Autoguider"));
    setWindowFlag(Qt::Tool);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(255, 0, 0));
    setPalette(p);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(QStringLiteral("Guide star lost!"), this);
    text->setObjectName(QStringLiteral("1256"));
    text->setAlignment(Qt::AlignCenter);
    QFont f = text->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    text->setFont(f);
    layout->addWidget(text);
    setFixedSize(220, 70);
}

namespace {
void CentreOn(QWidget* window, QWidget* w) {
    w->move(window->geometry().center() - w->rect().center());
}
}  // namespace

GuidingIndicators::GuidingIndicators(QWidget* window, std::function<void()> onCancelCalibration)
    : window_(window), onCancel_(std::move(onCancelCalibration)) {}

GuidingIndicators::~GuidingIndicators() = default;

void GuidingIndicators::ShowCalibrationProgress(bool show) {
    if (!show) {
        progress_.reset();
        return;
    }
    progress_ =
        std::make_unique<ProgressDialog>(window_, onCancel_, QStringLiteral("Calibrating"),
                                         QStringLiteral("Click 'Cancel' to abort calibration"));
    progress_->show();
    CentreOn(window_, progress_.get());
}

void GuidingIndicators::SetCalibrationProgress(int percent) {
    if (progress_) progress_->SetProgress(percent);
}

void GuidingIndicators::ShowGuideStarLost(bool show) {
    if (!starLost_) {
        if (!show) return;
        starLost_ = std::make_unique<GuideStarLostIndicator>(window_);
    }
    if (show && !starLost_->isVisible()) CentreOn(window_, starLost_.get());
    starLost_->setVisible(show);
}

QDialog* GuidingIndicators::CalibrationProgress() const {
    return progress_.get();
}

QDialog* GuidingIndicators::GuideStarLost() const {
    return starLost_.get();
}

}  // namespace zorvane
