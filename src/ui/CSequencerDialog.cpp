#include "ui/CSequencerDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "core/CommandIds.h"
#include "sequencer/SequenceEngine.h"
#include "sequencer/SequenceModel.h"
#include "ui/CSequencerGuidingBox.h"
#include "ui/UpDownButtons.h"

namespace zorvane {

namespace {

constexpr int kRepeatModeList = 1142;
constexpr int kRepeatEdit = 1137, kRepeatSpinId = 1139;
constexpr int kDelayEdit = 1002, kDelaySpinId = 1138;
constexpr int kDelayStartEdit = 1004, kDelayStartSpinId = 1144;
constexpr int kLoad = 1140, kSave = 1141, kRun = 1143, kClose = 1;
constexpr int kStatus = 1112, kNote = 1159;

QString Id(int id) {
    return QString::number(id);
}

QString Qs(const std::string& s) {
    return QString::fromStdString(s);
}

void SetText(QLineEdit* edit, const QString& text) {
    // Setting the same text again would move the cursor of someone typing.
    if (edit->text() == text) return;
    edit->setText(text);
    // A long command shows from its start.
    if (!edit->hasFocus()) edit->setCursorPosition(0);
}

// The dialog's integers read as the classic dialog reads them: a signed number, 0 otherwise.
int DialogInt(const QString& text) {
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok);
    if (!ok) return 0;
    return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

}  // namespace

std::array<int, 8> CSequencerDialog::LineControlIds(int line) {
    if (line == 0) return {1155, 1145, 1146, 1147, 1148, 1151, 1153, 1154};
    if (line == 1) return {1175, 1160, 1161, 1170, 1171, 1172, 1173, 1174};
    // Lines 3 to 10 follow one pattern: eight ids a line from 1176, the check box last.
    const int base = 1176 + (line - 2) * 8;
    return {base + 7, base, base + 1, base + 2, base + 3, base + 4, base + 5, base + 6};
}

CSequencerDialog::CSequencerDialog(SequenceModel& model, const SequenceEngine& engine,
                                   QWidget* parent)
    : QDialog(parent), model_(model), engine_(engine) {
    setObjectName(Id(ids::IDD_SEQUENCER));
    setWindowTitle(QStringLiteral("Sequencer"));
    setModal(false);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    const char* const headers[] = {"",       "Exposure (s)", "Binning",
                                   "Filter", "File Suffix",  "Command"};
    for (int c = 0; c < 6; ++c) grid->addWidget(new QLabel(QLatin1String(headers[c]), this), 0, c);
    for (int line = 0; line < SequenceModel::kLineCount; ++line) {
        BuildRow(line);
        const Row& r = rows_[line];
        const int row = line + 1;
        grid->addWidget(r.enabled, row, 0);
        auto* exposure = new QHBoxLayout;
        exposure->setSpacing(0);
        exposure->addWidget(r.exposure);
        exposure->addWidget(r.exposureSpin);
        grid->addLayout(exposure, row, 1);
        grid->addWidget(r.binning, row, 2);
        auto* filter = new QHBoxLayout;
        filter->setSpacing(0);
        filter->addWidget(r.filter);
        filter->addWidget(r.filterSpin);
        filter->addSpacing(4);
        filter->addWidget(r.filterName);
        grid->addLayout(filter, row, 3);
        grid->addWidget(r.suffix, row, 4);
        grid->addWidget(r.command, row, 5);
    }
    grid->setColumnStretch(5, 1);

    repeatMode_ = new QComboBox(this);
    repeatMode_->setObjectName(Id(kRepeatModeList));
    repeatMode_->addItem(QStringLiteral("Lines (1,1... 2,2... 3,3...)"));
    repeatMode_->addItem(QStringLiteral("Sequence (1,2... 1,2... 1,2...)"));
    connect(repeatMode_, &QComboBox::activated, this, [this](int index) {
        if (!showing_) model_.repeatMode = index;
    });

    struct IntField {
        int editId, spinId;
        QLineEdit** edit;
        int SequenceModel::*value;
        SpinRange range;
    };
    const IntField fields[] = {
        {kRepeatEdit, kRepeatSpinId, &repeat_, &SequenceModel::repeat, kRepeatSpin},
        {kDelayEdit, kDelaySpinId, &delay_, &SequenceModel::delay, kDelaySpin},
        {kDelayStartEdit, kDelayStartSpinId, &delayStart_, &SequenceModel::delayStart, kDelaySpin}};
    QLayout* settingsRow[3] = {};
    for (int i = 0; i < 3; ++i) {
        const IntField f = fields[i];
        QLineEdit* edit = MakeEdit(f.editId, 56, 11);
        *f.edit = edit;
        UpDownButtons* spin = MakeSpin(f.spinId);
        connect(edit, &QLineEdit::textEdited, this,
                [this, f](const QString& text) { model_.*f.value = DialogInt(text); });
        connect(spin, &UpDownButtons::stepped, this, [this, f, edit](int delta) {
            model_.*f.value = StepSpin(DialogInt(edit->text()), delta, f.range);
            SetText(edit, QString::number(model_.*f.value));
        });
        auto* box = new QHBoxLayout;
        box->setSpacing(0);
        box->addWidget(edit);
        box->addWidget(spin);
        settingsRow[i] = box;
    }

    auto* settings = new QGridLayout;
    settings->addWidget(new QLabel(QStringLiteral("Repeat mode"), this), 0, 0);
    settings->addWidget(repeatMode_, 0, 1);
    settings->addWidget(new QLabel(QStringLiteral("Repeat count"), this), 0, 2);
    settings->addLayout(settingsRow[0], 0, 3);
    settings->addWidget(new QLabel(QStringLiteral("Delay between exposures (s)"), this), 1, 0);
    settings->addLayout(settingsRow[1], 1, 1, Qt::AlignLeft);
    settings->addWidget(new QLabel(QStringLiteral("Delay before start (s)"), this), 1, 2);
    settings->addLayout(settingsRow[2], 1, 3);
    settings->setColumnStretch(4, 1);

    auto makeButton = [this](int id, const char* text) {
        auto* b = new QPushButton(QLatin1String(text), this);
        b->setObjectName(Id(id));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* load = makeButton(kLoad, "Load settings");
    QPushButton* save = makeButton(kSave, "Save settings");
    run_ = makeButton(kRun, "Run");
    QPushButton* close = makeButton(kClose, "Close");
    connect(load, &QPushButton::clicked, this, &CSequencerDialog::loadPressed);
    connect(save, &QPushButton::clicked, this, &CSequencerDialog::savePressed);
    connect(run_, &QPushButton::clicked, this, &CSequencerDialog::runPressed);
    connect(close, &QPushButton::clicked, this, &CSequencerDialog::closeRequested);

    status_ = new QLabel(this);
    status_->setObjectName(Id(kStatus));
    status_->setMinimumWidth(160);
    progress_ = new QLabel(this);
    progress_->setObjectName(QStringLiteral("progress"));
    guiding_ = new CSequencerGuidingBox(model_.guiding, this);
    note_ = new QLabel(QStringLiteral("Note: - Closing this window\nwill not stop the sequencer!"),
                       this);
    note_->setObjectName(Id(kNote));
    // The note is the one static text drawn in red.
    QPalette red = note_->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    note_->setPalette(red);
    // Its place is kept while hidden, so the buttons do not jump when it shows.
    QSizePolicy keep = note_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    note_->setSizePolicy(keep);
    note_->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(load);
    buttons->addWidget(save);
    buttons->addSpacing(12);
    buttons->addWidget(run_);
    buttons->addWidget(status_);
    buttons->addStretch(1);
    buttons->addWidget(note_);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(settings);
    layout->addWidget(guiding_);
    layout->addLayout(buttons);
    layout->addWidget(progress_);
    Refresh();
}

QLineEdit* CSequencerDialog::MakeEdit(int id, int width, int maxLength) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(Id(id));
    if (width > 0) edit->setFixedWidth(width);
    edit->setMaxLength(maxLength);
    return edit;
}

UpDownButtons* CSequencerDialog::MakeSpin(int id) {
    auto* spin = new UpDownButtons(this);
    spin->setObjectName(Id(id));
    return spin;
}

void CSequencerDialog::BuildRow(int line) {
    const std::array<int, 8> id = LineControlIds(line);
    Row& r = rows_[line];
    r.enabled = new QCheckBox(QStringLiteral("%1").arg(line + 1), this);
    r.enabled->setObjectName(Id(id[0]));
    r.exposure = MakeEdit(id[1], 64, 19);
    r.exposureSpin = MakeSpin(id[2]);
    r.binning = new QComboBox(this);
    r.binning->setObjectName(Id(id[3]));
    r.filter = MakeEdit(id[4], 36, 11);
    r.filterSpin = MakeSpin(id[5]);
    r.filterName = new QLabel(this);
    r.filterName->setObjectName(QStringLiteral("filterName%1").arg(line + 1));
    r.filterName->setMinimumWidth(70);
    r.suffix = MakeEdit(id[6], 80, 511);
    r.command = MakeEdit(id[7], 0, 511);
    r.command->setMinimumWidth(220);

    SequenceLine& l = model_.lines[line];
    connect(r.enabled, &QCheckBox::toggled, this, [this, &l](bool on) {
        if (!showing_) l.enabled = on;
    });
    connect(r.exposure, &QLineEdit::textEdited, this,
            [&l](const QString& text) { l.exposureText = text.toStdString(); });
    connect(r.binning, &QComboBox::activated, this, [&l](int index) { l.binning = index; });
    connect(r.filter, &QLineEdit::textEdited, this, [this, line, &l](const QString& text) {
        l.filter = DialogInt(text);
        ShowFilterName(line);
    });
    connect(r.suffix, &QLineEdit::textEdited, this,
            [&l](const QString& text) { l.suffix = text.toStdString(); });
    connect(r.command, &QLineEdit::textEdited, this,
            [&l](const QString& text) { l.command = text.toStdString(); });

    // A held arrow steps faster the longer it is held.
    for (QToolButton* arrow : {r.exposureSpin->UpButton(), r.exposureSpin->DownButton()})
        connect(arrow, &QToolButton::pressed, this, [this] { held_.start(); });
    UpDownButtons* spin = r.exposureSpin;
    connect(spin, &UpDownButtons::stepped, this,
            [this, line, spin](int delta) { StepExposure(line, delta, spin); });
    connect(r.filterSpin, &UpDownButtons::stepped, this, [this, line](int delta) {
        SequenceLine& fl = model_.lines[line];
        fl.filter = StepSpin(DialogInt(rows_[line].filter->text()), delta,
                             SpinRange{1, model_.FilterPositions()});
        SetText(rows_[line].filter, QString::number(fl.filter));
        ShowFilterName(line);
    });
}

void CSequencerDialog::ShowFilterName(int line) {
    rows_[line].filterName->setText(Qs(model_.FilterName(model_.lines[line].filter - 1)));
}

void CSequencerDialog::StepExposure(int line, int delta, UpDownButtons* spin) {
    const bool held = spin->UpButton()->isDown() || spin->DownButton()->isDown();
    const int k = delta * (held && held_.isValid() ? ExposureSpinAcceleration(held_.elapsed()) : 1);
    SequenceLine& l = model_.lines[line];
    l.exposureText = StepExposureText(rows_[line].exposure->text().toStdString(), k);
    SetText(rows_[line].exposure, Qs(l.exposureText));
}

void CSequencerDialog::ShowBinningList(QComboBox* combo, int selection) {
    const int n = model_.BinningEntries();
    while (combo->count() > n) combo->removeItem(combo->count() - 1);
    while (combo->count() < n) combo->addItem(Qs(BinningEntryText(combo->count())));
    if (combo->currentIndex() != selection) combo->setCurrentIndex(selection);
}

void CSequencerDialog::Refresh() {
    showing_ = true;
    for (int line = 0; line < SequenceModel::kLineCount; ++line) {
        const Row& r = rows_[line];
        const SequenceLine& l = model_.lines[line];
        r.enabled->setChecked(l.enabled);
        SetText(r.exposure, Qs(l.exposureText));
        ShowBinningList(r.binning, l.binning);
        SetText(r.filter, QString::number(l.filter));
        ShowFilterName(line);
        SetText(r.suffix, Qs(l.suffix));
        SetText(r.command, Qs(l.command));
    }
    const int mode = model_.repeatMode;
    repeatMode_->setCurrentIndex(mode == 0 || mode == 1 ? mode : -1);
    SetText(repeat_, QString::number(model_.repeat));
    SetText(delay_, QString::number(model_.delay));
    SetText(delayStart_, QString::number(model_.delayStart));
    run_->setText(Qs(engine_.RunButtonText()));
    status_->setText(Qs(engine_.StatusText()));
    RefreshProgress();
    guiding_->Refresh();
    note_->setVisible(engine_.NoteVisible());
    setWindowTitle(Qs(model_.Title()));
    showing_ = false;
}

void CSequencerDialog::SetRunEnabled(bool enabled) {
    if (run_->isEnabled() != enabled) run_->setEnabled(enabled);
}

void CSequencerDialog::RefreshProgress() {
    const QString text = Qs(engine_.ProgressText());
    if (progress_->text() != text) progress_->setText(text);
}

void CSequencerDialog::SetGuiderStateSource(std::function<std::string()> source) {
    guiding_->SetStateSource(std::move(source));
    guiding_->Refresh();
}

void CSequencerDialog::reject() {
    emit closeRequested();
}

void CSequencerDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit closeRequested();
}

}  // namespace zorvane
