#include "ui/CExposureDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "files/FileNaming.h"
#include "ui/QtTimerService.h"
#include "ui/UpDownButtons.h"

namespace zorvane {

namespace {

using namespace exposure_ids;

QString Id(int id) {
    return QString::number(id);
}

QString Qs(const std::string& s) {
    return QString::fromStdString(s);
}

void SetText(QLineEdit* edit, const std::string& text) {
    // Setting the same text again would move the cursor of someone typing.
    const QString q = Qs(text);
    if (edit->text() != q) edit->setText(q);
}

void SetItems(QComboBox* combo, const std::vector<std::string>& items) {
    bool same = combo->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < combo->count(); ++i) same = combo->itemText(i) == Qs(items[i]);
    if (same) return;
    combo->clear();
    for (const std::string& item : items) combo->addItem(Qs(item));
}

}  // namespace

CExposureDialog::CExposureDialog(ExposureDialogController& controller, QWidget* parent,
                                 const QList<QAction*>& shortcuts, TimerService* typingTimer)
    : QDialog(parent), controller_(controller) {
    setObjectName(QStringLiteral("exposureDialog"));
    setWindowTitle(QStringLiteral("Exposure"));
    setModal(false);

    exposure_ = MakeEdit(kExposureEdit);
    delay_ = MakeEdit(kDelayEdit);
    spinMinutes_ = MakeSpin(kSpinMinutes, ExposureSpin::Minutes);
    spinSeconds_ = MakeSpin(kSpinSeconds, ExposureSpin::Seconds);
    spinFine_ = MakeSpin(kSpinFine, ExposureSpin::Fine);
    lock_ = MakeCheck(kLock, QStringLiteral("Lock"));
    trig_ = MakeCheck(kTrig, QStringLiteral("Trig"));
    autoExp_ = MakeCheck(kAutoExp, QStringLiteral("AutoExp"));
    dark_ = MakeCheck(kDark, QStringLiteral("Dark"));
    sub_ = MakeCheck(kSub, QStringLiteral("Sub"));
    pre_ = MakeCheck(kPre, QStringLiteral("Pre"));

    binX_ = new QComboBox(this);
    binX_->setObjectName(Id(kBinX));
    binY_ = new QComboBox(this);
    binY_->setObjectName(Id(kBinY));
    for (QComboBox* c : {binX_, binY_})
        connect(c, &QComboBox::activated, this, [this] { controller_.Apply(); });

    startX_ = MakeEdit(kStartX);
    startY_ = MakeEdit(kStartY);
    width_ = MakeEdit(kWidth);
    height_ = MakeEdit(kHeight);
    fullFrame_ = MakeButton(kFullFrame, QStringLiteral("&Full frame"));
    connect(fullFrame_, &QPushButton::clicked, this, [this] { controller_.OnFullFrame(); });

    vbe_ = MakeCheck(kVbe, QStringLiteral("VBE"));
    ampOff_ = MakeCheck(kAmpOff, QStringLiteral("Amp off during exposure"));
    inCamPrecharge_ = MakeCheck(kInCamPrecharge, QStringLiteral("In Cam Precharge Subtraction"));
    noPrecharge_ = MakeCheck(kNoPrecharge, QStringLiteral("No Precharge"));
    fifo_ = MakeCheck(kFifo, QStringLiteral("FIFO"));
    highPriority_ = MakeCheck(kHighPriority, QStringLiteral("High Priority"));
    autosave_ = MakeCheck(kAutosave, QStringLiteral("Autosave Images"));

    browse_ = MakeButton(kBrowse, QStringLiteral("Browse ..."));
    connect(browse_, &QPushButton::clicked, this, [this] { controller_.OnBrowse(); });
    savePath_ = MakeEdit(kSavePath);
    seqFormat_ = new QComboBox(this);
    seqFormat_->setObjectName(Id(kSeqFormat));
    seqFormat_->setEditable(true);
    seqFormat_->setInsertPolicy(QComboBox::NoInsert);
    for (std::string_view name : kSequenceFormatNames)
        seqFormat_->addItem(QString::fromLatin1(name.data(), static_cast<int>(name.size())));
    connect(seqFormat_, &QComboBox::activated, this, [this] { controller_.Apply(); });
    connect(seqFormat_->lineEdit(), &QLineEdit::textEdited, this,
            [this] { controller_.OnEdited(kSeqFormat); });
    seqFormat_->lineEdit()->installEventFilter(this);
    nextDir_ = MakeButton(kNextDir, QStringLiteral("Next dir."));
    connect(nextDir_, &QPushButton::clicked, this, [this] { controller_.OnNextDir(); });
    seqNo_ = MakeEdit(kSeqNo);
    seqNo_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    close_ = MakeButton(kClose, QStringLiteral("Close"));
    connect(close_, &QPushButton::clicked, this, [this] { CloseDialog(); });

    for (QLineEdit* e : {exposure_, delay_, startX_, startY_, width_, height_, seqNo_})
        e->setMaximumWidth(70);

    // Never shown; their values still travel between the main window and the dialog.
    for (QWidget* w : std::initializer_list<QWidget*>{autoExp_, ampOff_, inCamPrecharge_,
                                                      noPrecharge_, highPriority_})
        w->setVisible(false);

    auto* top = new QGridLayout;
    top->setHorizontalSpacing(4);
    top->addWidget(new QLabel(QStringLiteral("Exp.(s)"), this), 0, 0);
    top->addWidget(exposure_, 0, 1);
    auto* spins = new QHBoxLayout;
    spins->setSpacing(1);
    spins->addWidget(spinMinutes_);
    spins->addWidget(spinSeconds_);
    spins->addWidget(spinFine_);
    spins->addStretch();
    top->addLayout(spins, 0, 2);
    top->addWidget(lock_, 0, 3);
    top->addWidget(new QLabel(QStringLiteral("Dly.(s)"), this), 1, 0);
    top->addWidget(delay_, 1, 1);
    auto* modes = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{trig_, autoExp_, dark_, sub_, pre_})
        modes->addWidget(w);
    modes->addStretch();
    top->addLayout(modes, 1, 2, 1, 2);
    top->addWidget(new QLabel(QStringLiteral("BinX"), this), 2, 0);
    top->addWidget(binX_, 2, 1);
    auto* binY = new QHBoxLayout;
    binY->addWidget(new QLabel(QStringLiteral("BinY"), this));
    binY->addWidget(binY_);
    binY->addStretch();
    top->addLayout(binY, 2, 2, 1, 2);

    auto* subframe = new QGroupBox(QStringLiteral("Subframe"), this);
    auto* sub = new QGridLayout(subframe);
    sub->addWidget(new QLabel(QStringLiteral("StartX"), subframe), 0, 0);
    sub->addWidget(startX_, 0, 1);
    sub->addWidget(new QLabel(QStringLiteral("StartY"), subframe), 0, 2);
    sub->addWidget(startY_, 0, 3);
    sub->addWidget(new QLabel(QStringLiteral("Width"), subframe), 1, 0);
    sub->addWidget(width_, 1, 1);
    sub->addWidget(new QLabel(QStringLiteral("Height"), subframe), 1, 2);
    sub->addWidget(height_, 1, 3);
    sub->addWidget(fullFrame_, 0, 4, 2, 1);

    auto* camera = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{vbe_, fifo_, ampOff_, inCamPrecharge_,
                                                      noPrecharge_, highPriority_})
        camera->addWidget(w);
    camera->addStretch();

    auto* files = new QGroupBox(QStringLiteral("Autosave"), this);
    auto* fl = new QGridLayout(files);
    fl->addWidget(autosave_, 0, 0, 1, 2);
    fl->addWidget(browse_, 0, 3);
    fl->addWidget(savePath_, 1, 0, 1, 4);
    fl->addWidget(new QLabel(QStringLiteral("Seq fmt."), files), 2, 0);
    fl->addWidget(seqFormat_, 2, 1);
    fl->addWidget(new QLabel(QStringLiteral("Seq no."), files), 2, 2);
    fl->addWidget(seqNo_, 2, 3);
    fl->addWidget(nextDir_, 3, 3);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addWidget(subframe);
    layout->addLayout(camera);
    layout->addWidget(files);
    layout->addLayout(bottom);

    addActions(shortcuts);

    TimerService* timers = typingTimer;
    if (!timers) {
        ownTimer_ = std::make_unique<QtTimerService>();
        ownTimer_->SetHandler([this](int id) { controller_.OnTimer(id); });
        timers = ownTimer_.get();
    }
    controller_.Attach(this, timers);
}

CExposureDialog::~CExposureDialog() {
    controller_.Detach();
}

QLineEdit* CExposureDialog::MakeEdit(int id) {
    auto* e = new QLineEdit(this);
    e->setObjectName(Id(id));
    e->installEventFilter(this);
    connect(e, &QLineEdit::textEdited, this, [this, id] { controller_.OnEdited(id); });
    return e;
}

QCheckBox* CExposureDialog::MakeCheck(int id, const QString& text) {
    auto* c = new QCheckBox(text, this);
    c->setObjectName(Id(id));
    connect(c, &QCheckBox::clicked, this, [this] { controller_.Apply(); });
    return c;
}

QPushButton* CExposureDialog::MakeButton(int id, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(Id(id));
    b->setAutoDefault(false);  // Enter applies; it presses no button
    return b;
}

UpDownButtons* CExposureDialog::MakeSpin(int id, ExposureSpin spin) {
    auto* s = new UpDownButtons(this);
    s->setObjectName(Id(id));
    connect(s, &UpDownButtons::stepped, this,
            [this, spin](int delta) { controller_.OnSpin(spin, delta > 0); });
    return s;
}

// ---------------------------------------------------------------------------------------------

void CExposureDialog::Refresh() {
    controller_.Refresh();
}

void CExposureDialog::SetExposureText(float seconds) {
    controller_.SetExposureText(seconds);
}

void CExposureDialog::FocusExposureEdit() {
    activateWindow();
    exposure_->setFocus();
    exposure_->selectAll();
}

void CExposureDialog::ReadControls(ExposureControls& c) {
    c.exposure = exposure_->text().toStdString();
    c.delay = delay_->text().toStdString();
    c.binX = binX_->currentIndex();
    c.binY = binY_->currentIndex();
    c.startX = startX_->text().toStdString();
    c.startY = startY_->text().toStdString();
    c.width = width_->text().toStdString();
    c.height = height_->text().toStdString();
    c.ampOff = ampOff_->isChecked();
    c.inCamPrecharge = inCamPrecharge_->isChecked();
    c.noPrecharge = noPrecharge_->isChecked();
    c.autosave = autosave_->isChecked();
    c.savePath = savePath_->text().toStdString();
    c.sequenceNumber = seqNo_->text().toStdString();
    // The typed text selects the entry it names; any other text selects none.
    c.sequenceFormat = seqFormat_->findText(seqFormat_->currentText(), Qt::MatchFixedString);
    c.fifo = fifo_->isChecked();
    c.highPriority = highPriority_->isChecked();
    c.autoExp = autoExp_->isChecked();
    c.vbe = vbe_->isChecked();
    c.lock = lock_->isChecked();
    c.trig = trig_->isChecked();
    c.dark = dark_->isChecked();
    c.sub = sub_->isChecked();
    c.pre = pre_->isChecked();
}

void CExposureDialog::ShowControls(const ExposureControls& c) {
    showing_ = true;
    SetText(exposure_, c.exposure);
    SetText(delay_, c.delay);
    SetItems(binX_, c.binXItems);
    SetItems(binY_, c.binYItems);
    binX_->setCurrentIndex(c.binX);
    binY_->setCurrentIndex(c.binY);
    SetText(startX_, c.startX);
    SetText(startY_, c.startY);
    SetText(width_, c.width);
    SetText(height_, c.height);
    ampOff_->setChecked(c.ampOff);
    inCamPrecharge_->setChecked(c.inCamPrecharge);
    noPrecharge_->setChecked(c.noPrecharge);
    autosave_->setChecked(c.autosave);
    SetText(savePath_, c.savePath);
    SetText(seqNo_, c.sequenceNumber);
    if (c.sequenceFormat != seqFormat_->findText(seqFormat_->currentText(), Qt::MatchFixedString))
        seqFormat_->setCurrentIndex(c.sequenceFormat);
    fifo_->setChecked(c.fifo);
    highPriority_->setChecked(c.highPriority);
    autoExp_->setChecked(c.autoExp);
    vbe_->setChecked(c.vbe);
    lock_->setChecked(c.lock);
    trig_->setChecked(c.trig);
    dark_->setChecked(c.dark);
    sub_->setChecked(c.sub);
    pre_->setChecked(c.pre);

    fifo_->setVisible(c.fifoVisible);
    vbe_->setVisible(c.vbeVisible);
    sub_->setVisible(c.subVisible);
    pre_->setVisible(c.preVisible);
    trig_->setVisible(c.trigVisible);
    dark_->setVisible(c.darkVisible);
    for (int id : kLockedControls)
        if (auto* w = findChild<QWidget*>(Id(id))) w->setEnabled(c.lockedControlsEnabled);
    showing_ = false;
}

void CExposureDialog::FocusControl(int id) {
    QWidget* w = findChild<QWidget*>(Id(id));
    if (!w) return;
    w->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->selectAll();
}

// ---------------------------------------------------------------------------------------------

void CExposureDialog::CloseDialog() {
    controller_.Apply();
    hide();
}

void CExposureDialog::reject() {
    CloseDialog();
}

void CExposureDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            controller_.Apply();
            return;
        case Qt::Key_Escape:
            CloseDialog();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CExposureDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    CloseDialog();
}

bool CExposureDialog::eventFilter(QObject* watched, QEvent* event) {
    // Leaving an edit applies at once; a popup opening over it is not leaving.
    if (event->type() == QEvent::FocusOut && !showing_ && isVisible()) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && qobject_cast<QLineEdit*>(watched))
            controller_.Apply();
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace zorvane
