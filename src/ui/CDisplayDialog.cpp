#include "ui/CDisplayDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <functional>
#include <utility>

#include "app/CaptureApp.h"
#include "ui/ToolWindow.h"
#include "view/ImageView.h"

namespace zorvane {

namespace {

using namespace display_ids;

QString Id(int id) {
    return QString::number(id);
}

// Two small arrow buttons; each press (held presses repeat) reports +1 or -1.
QWidget* MakeArrows(int id, QWidget* parent, std::function<void(int)> step) {
    auto* box = new QWidget(parent);
    box->setObjectName(Id(id));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int delta : {+1, -1}) {
        auto* b = new QToolButton(box);
        b->setObjectName(delta > 0 ? QStringLiteral("up") : QStringLiteral("down"));
        b->setArrowType(delta > 0 ? Qt::UpArrow : Qt::DownArrow);
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(16, 11);
        QObject::connect(b, &QToolButton::clicked, box, [step, delta] { step(delta); });
        layout->addWidget(b);
    }
    return box;
}

QSlider* MakeSlider(int id, int min, int max, int page, QWidget* parent) {
    auto* s = new QSlider(Qt::Horizontal, parent);
    s->setObjectName(Id(id));
    s->setRange(min, max);
    s->setPageStep(page);
    s->setSingleStep(1);
    return s;
}

QCheckBox* MakeCheck(int id, const QString& text, QWidget* parent) {
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(Id(id));
    return c;
}

}  // namespace

CDisplayDialog::CDisplayDialog(ImageView& view, QWidget* parent, const QList<QAction*>& shortcuts)
    : QDialog(parent), view_(view) {
    setObjectName(QStringLiteral("displayDialog"));
    setWindowTitle(QStringLiteral("Display"));
    setModal(false);

    auto* digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    black_ = new QLineEdit(this);
    black_->setObjectName(Id(kBlackEdit));
    black_->setValidator(digits);
    white_ = new QLineEdit(this);
    white_->setObjectName(Id(kWhiteEdit));
    white_->setValidator(digits);
    log_ = new QLineEdit(this);
    log_->setObjectName(Id(kLogEdit));
    for (QLineEdit* e : {black_, white_, log_}) {
        e->setMaximumWidth(64);
        e->installEventFilter(this);
        connect(e, &QLineEdit::textEdited, this, [this] { OnEdited(); });
    }
    blackSpin_ = MakeArrows(kBlackSpin, this, [this](int d) { StepLevel(black_, d); });
    whiteSpin_ = MakeArrows(kWhiteSpin, this, [this](int d) { StepLevel(white_, d); });
    logSpin_ = MakeArrows(kLogSpin, this, [this](int d) { StepLog(d > 0); });

    blackTrack_ = MakeSlider(kBlackTrack, -32768, 32767, 1000, this);
    whiteTrack_ = MakeSlider(kWhiteTrack, -32768, 32767, 1000, this);
    logTrack_ = MakeSlider(kLogTrack, -100, 100, 1, this);
    zoomTrack_ = MakeSlider(kZoomTrack, -18, 18, 1, this);
    for (QSlider* s : {blackTrack_, whiteTrack_, logTrack_, zoomTrack_})
        connect(s, &QSlider::valueChanged, this, [this, s](int v) { OnSlider(s, v); });

    autoStretch_ = MakeCheck(kAutoStretch, QStringLiteral("Auto stretch"), this);
    negative_ = MakeCheck(kNegative, QStringLiteral("Negative"), this);
    aspect_ = MakeCheck(kAspect, QStringLiteral("Correct aspect ratio"), this);
    nightVision_ = MakeCheck(kNightVision, QStringLiteral("Night vision"), this);
    reticle_ = MakeCheck(kReticle, QStringLiteral("Reticle"), this);
    for (QCheckBox* c : {autoStretch_, negative_, aspect_, nightVision_, reticle_})
        connect(c, &QCheckBox::clicked, this, [this] { Apply(); });

    close_ = new QPushButton(QStringLiteral("Close"), this);
    close_->setObjectName(Id(kClose));
    close_->setAutoDefault(false);  // Enter applies; it does not close
    connect(close_, &QPushButton::clicked, this, [this] { CloseDialog(); });

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    int row = 0;
    const auto addLevel = [&](const QString& label, QLineEdit* edit, QWidget* spin,
                              QSlider* track) {
        grid->addWidget(new QLabel(label, this), row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(spin, row, 2);
        grid->addWidget(track, row, 3);
        ++row;
    };
    addLevel(QStringLiteral("Black"), black_, blackSpin_, blackTrack_);
    addLevel(QStringLiteral("White"), white_, whiteSpin_, whiteTrack_);
    addLevel(QStringLiteral("Log"), log_, logSpin_, logTrack_);
    grid->addWidget(new QLabel(QStringLiteral("Zoom"), this), row, 0);
    grid->addWidget(zoomTrack_, row++, 1, 1, 3);
    grid->addWidget(autoStretch_, row, 0, 1, 2);
    grid->addWidget(negative_, row++, 2, 1, 2);
    grid->addWidget(aspect_, row, 0, 1, 2);
    grid->addWidget(nightVision_, row++, 2, 1, 2);
    grid->addWidget(reticle_, row, 0, 1, 2);
    grid->addWidget(close_, row++, 2, 1, 2, Qt::AlignRight);

    typingTimer_.setObjectName(QStringLiteral("typingTimer"));
    typingTimer_.setSingleShot(true);
    typingTimer_.setInterval(kTypingDelayMs);
    connect(&typingTimer_, &QTimer::timeout, this, [this] { Apply(); });

    addActions(shortcuts);
    view_.SetDisplayDialogExists(true);
}

CDisplayDialog::~CDisplayDialog() {
    view_.SetDisplayDialogExists(false);
}

void CDisplayDialog::ShowControls() {
    const DisplayControls& c = view_.DialogModel().controls;
    showing_ = true;
    aspect_->setChecked(c.aspect);
    negative_->setChecked(c.negative);
    nightVision_->setChecked(c.nightVision);
    log_->setText(QString::fromStdString(c.log));
    white_->setText(QString::fromStdString(c.white));
    black_->setText(QString::fromStdString(c.black));
    autoStretch_->setChecked(c.autoStretch);
    reticle_->setChecked(c.reticle);
    blackTrack_->setValue(c.blackTrack);
    whiteTrack_->setValue(c.whiteTrack);
    logTrack_->setValue(c.logTrack);
    zoomTrack_->setValue(c.zoomTrack);
    for (QWidget* w : std::initializer_list<QWidget*>{black_, white_, blackSpin_, whiteSpin_,
                                                      blackTrack_, whiteTrack_})
        w->setEnabled(c.levelsEnabled);
    showing_ = false;
}

void CDisplayDialog::ShowLevels() {
    const DisplayControls& c = view_.DialogModel().controls;
    showing_ = true;
    // A level edit is disabled while the levels are automatic; an enabled one may be the edit
    // the running typing timer is waiting for.
    const bool typing = typingTimer_.isActive();
    for (auto [edit, text] : {std::pair{black_, &c.black}, std::pair{white_, &c.white}}) {
        if (edit->hasFocus() || (typing && edit->isEnabled())) continue;
        edit->setText(QString::fromStdString(*text));
    }
    blackTrack_->setValue(c.blackTrack);
    whiteTrack_->setValue(c.whiteTrack);
    showing_ = false;
}

void CDisplayDialog::SetZoomSlider(int level) {
    showing_ = true;
    zoomTrack_->setValue(level);
    showing_ = false;
}

void CDisplayDialog::MoveToRemembered() {
    const DialogPlacement& p = view_.DisplayDialogPlacement();
    if (p.left != DialogPlacement::kNone) PlaceToolWindow(this, p.left, p.top);
}

void CDisplayDialog::ReadControls() {
    DisplayControls& c = view_.DialogModel().controls;
    c.aspect = aspect_->isChecked();
    c.negative = negative_->isChecked();
    c.nightVision = nightVision_->isChecked();
    c.log = log_->text().toStdString();
    c.white = white_->text().toStdString();
    c.black = black_->text().toStdString();
    c.autoStretch = autoStretch_->isChecked();
    c.reticle = reticle_->isChecked();
    c.blackTrack = blackTrack_->value();
    c.whiteTrack = whiteTrack_->value();
    c.logTrack = logTrack_->value();
    c.zoomTrack = zoomTrack_->value();
}

void CDisplayDialog::Apply() {
    // The message box of a failed value takes the focus from the edit; that must not start a
    // second Apply underneath the first.
    if (applying_) return;
    applying_ = true;
    ReadControls();
    const auto failure = view_.DialogModel().Take();
    if (failure) {
        QMessageBox::warning(this, QString::fromLatin1(CaptureApp::kTitle),
                             QString::fromStdString(failure->message));
    }
    view_.ApplyDialog();
    // Everything typed has just been taken: the controls show the values now in use.
    view_.DialogModel().Show();
    ShowControls();
    if (failure) {
        if (auto* w = findChild<QLineEdit*>(Id(failure->controlId))) {
            w->setFocus();
            w->selectAll();
        }
    }
    applying_ = false;
}

void CDisplayDialog::OnEdited() {
    typingTimer_.start();
}

void CDisplayDialog::StepLevel(QLineEdit* edit, int delta) {
    bool ok = false;
    int v = edit->text().toInt(&ok);
    if (!ok) v = 0;
    edit->setText(QString::number(std::clamp(v + delta, 0, 65535)));
    OnEdited();
}

void CDisplayDialog::StepLog(bool up) {
    if (applying_) return;
    applying_ = true;
    ReadControls();
    if (const auto failure = view_.DialogModel().Take())
        QMessageBox::warning(this, QString::fromLatin1(CaptureApp::kTitle),
                             QString::fromStdString(failure->message));
    view_.DialogModel().StepLog(up);
    view_.DialogModel().Show();
    ShowControls();
    applying_ = false;
    Apply();
}

void CDisplayDialog::OnSlider(QSlider* slider, int value) {
    if (showing_) return;
    DisplayDialogModel& m = view_.DialogModel();
    if (slider == blackTrack_) {
        m.OnBlackTrack(value);
        black_->setText(QString::fromStdString(m.controls.black));
    } else if (slider == whiteTrack_) {
        m.OnWhiteTrack(value);
        white_->setText(QString::fromStdString(m.controls.white));
    } else if (slider == logTrack_) {
        m.OnLogTrack(value);
        log_->setText(QString::fromStdString(m.controls.log));
    }
    Apply();
}

void CDisplayDialog::CloseDialog() {
    Apply();
    hide();
}

void CDisplayDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Apply();
            return;
        case Qt::Key_Escape:
            CloseDialog();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CDisplayDialog::closeEvent(QCloseEvent* event) {
    // The window's close box works like Escape; accepting keeps "close all windows" going.
    Apply();
    QDialog::closeEvent(event);
}

bool CDisplayDialog::eventFilter(QObject* watched, QEvent* event) {
    // Leaving a level or log edit applies at once.
    if (event->type() == QEvent::FocusOut &&
        (watched == black_ || watched == white_ || watched == log_))
        Apply();
    return QDialog::eventFilter(watched, event);
}

void CDisplayDialog::RememberPlacement() {
    const QPoint at = ToolWindowPosition(this);
    view_.SetDisplayDialogPlacement({at.x(), at.y(), isVisible()});
}

void CDisplayDialog::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    if (isVisible()) RememberPlacement();
}

void CDisplayDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RememberPlacement();
}

void CDisplayDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // Hidden along with a minimised main window is still open as far as the user is concerned.
    if (!event->spontaneous()) RememberPlacement();
}

}  // namespace zorvane
