#include "ui/CTrackingDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/CommandIds.h"
#include "ui/UpDownButtons.h"

namespace zorvane {

namespace {

QString Id(int id) {
    return QString::number(id);
}

QString Qs(const std::string& s) {
    return QString::fromStdString(s);
}

void SetText(QLineEdit* edit, const QString& text) {
    // Setting the same text again would move the cursor of someone typing.
    if (edit->text() != text) edit->setText(text);
}

QRect ToQRect(const Rect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

const char* const kHelpText =
    "Focusing\n"
    "  Take a loop of short exposures and double-click a star. The star is followed from\n"
    "  frame to frame; Bri is its peak above the background, FWHM its half-flux width in\n"
    "  pixels. Focus for the smallest FWHM (and the largest Bri).\n"
    "  Search radius: how far (binned pixels) the star may move between frames.\n"
    "  Measure radius: the box the star is measured in; it must hold the whole star.\n"
    "\n"
    "Guiding\n"
    "  Tick Setup Guiding for the guiding settings. Calibrate moves the mount in each\n"
    "  direction for the calibration time and measures how the star moves; Autoguide then\n"
    "  keeps the star on its target. Feedback is the share of each error corrected, in\n"
    "  tenths; Min and Max guide limit the pulse lengths; Guide axes restricts the\n"
    "  directions pulsed. The charts show the last ten minutes of deviation along Dec and\n"
    "  RA, in pixels, with the last value, the average and the spread.\n"
    "  Stop the loop before Calibrate; pick a star well away from the edge (Auto-select star\n"
    "  picks the brightest star that is not saturated, not a hot pixel and far enough in).\n"
    "  With the guide scope's focal length the RMS of the guiding run shows in arc-seconds.\n"
    "\n"
    "Guide output\n"
    "  Pulses go through the camera's guide port, or, with Connect ticked, through the\n"
    "  telescope mount. ASCOM chooser... lists the mounts of an INDI server: choose one and\n"
    "  it is connected (its name shows beside the button). A mount that stops answering\n"
    "  while guiding sends the pulses back to the camera's port and stops guiding.";

}  // namespace

// ---------------------------------------------------------------------------------------------
// Chart

DeviationChart::DeviationChart(int id, QWidget* parent) : QWidget(parent) {
    setObjectName(Id(id));
    // The lamps sit right of the frame, up to 19 pixels beyond it.
    setFixedSize(kFrameWidth + 21, kFrameHeight);
}

void DeviationChart::SetPlot(const DeviationPlot& plot) {
    plot_ = plot;
}

void DeviationChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const Rect r = Frame();
    p.fillRect(ToQRect(r), palette().color(QPalette::Mid));
    p.fillRect(ToQRect(r.Inflated(-2)), palette().color(QPalette::Button));
    p.setPen(QPen(QColor(0, 0, 128), 0));
    p.drawLine(plot_.zeroFrom.x, plot_.zeroFrom.y, plot_.zeroTo.x, plot_.zeroTo.y);
    QPolygon line;
    for (const Point& pt : plot_.polyline) line << QPoint(pt.x, pt.y);
    p.drawPolyline(line);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor red(255, 0, 0), green(0, 255, 0);
    p.setBrush(plot_.upperLit ? red : green);
    p.drawEllipse(ToQRect(plot_.upperMark));
    p.setBrush(plot_.lowerLit ? red : green);
    p.drawEllipse(ToQRect(plot_.lowerMark));
}

// ---------------------------------------------------------------------------------------------
// Dialog

CTrackingDialog::CTrackingDialog(GuidingEngine& engine, QWidget* parent,
                                 const QList<QAction*>& shortcuts)
    : QDialog(parent), engine_(engine) {
    using F = GuidingEngine::Field;
    setObjectName(Id(ids::IDD_TRACKING));
    setWindowTitle(QStringLiteral("Star Tracking [Focus + Autoguiding]"));
    setModal(false);
    addActions(shortcuts);
    filling_ = true;

    // ---- focusing: the star's figures in large type ----
    QFont big(QStringLiteral("Arial"), 14, QFont::Bold);
    briLabel_ = new QLabel(QStringLiteral("Bri:"), this);
    briLabel_->setObjectName(QStringLiteral("1085"));
    fwhmLabel_ = new QLabel(QStringLiteral("FWHM:"), this);
    fwhmLabel_->setObjectName(QStringLiteral("1084"));
    bri_ = MakeValueField(1073);
    fwhm_ = MakeValueField(1008);
    prompt_ = new QLabel(QStringLiteral("Double-click star to select"), this);
    prompt_->setObjectName(QStringLiteral("1083"));
    for (QWidget* w : {static_cast<QWidget*>(briLabel_), static_cast<QWidget*>(fwhmLabel_),
                       static_cast<QWidget*>(bri_), static_cast<QWidget*>(fwhm_),
                       static_cast<QWidget*>(prompt_)})
        w->setFont(big);
    bri_->setFixedWidth(90);
    fwhm_->setFixedWidth(70);

    auto* figures = new QHBoxLayout;
    figures->addWidget(briLabel_);
    figures->addWidget(bri_);
    figures->addSpacing(12);
    figures->addWidget(fwhmLabel_);
    figures->addWidget(fwhm_);
    figures->addWidget(prompt_);
    figures->addStretch(1);

    QLineEdit* search = MakeEdit(1106, F::SearchRadius, 36);
    QLineEdit* measure = MakeEdit(1108, F::MeasureRadius, 36);
    auto* radii = new QHBoxLayout;
    radii->addWidget(new QLabel(QStringLiteral("Search radius"), this));
    radii->addWidget(search);
    radii->addWidget(MakeSpin(1110, search, 1, 100));
    radii->addSpacing(12);
    radii->addWidget(new QLabel(QStringLiteral("Measure radius"), this));
    radii->addWidget(measure);
    radii->addWidget(MakeSpin(1111, measure, 1, 100));
    radii->addStretch(1);

    setup_ = new QCheckBox(QStringLiteral("Setup Guiding"), this);
    setup_->setObjectName(QStringLiteral("1101"));
    auto* helpButton = new QPushButton(QStringLiteral("Help"), this);
    helpButton->setObjectName(QStringLiteral("1123"));
    helpButton->setAutoDefault(false);
    auto* setupRow = new QHBoxLayout;
    setupRow->addWidget(setup_);
    setupRow->addStretch(1);
    setupRow->addWidget(helpButton);

    // ---- guiding ----
    guiding_ = new QWidget(this);
    auto* g = new QGridLayout(guiding_);
    g->setContentsMargins(0, 0, 0, 0);
    axes_ = new QComboBox(guiding_);
    axes_->setObjectName(QStringLiteral("1119"));
    for (const char* text : kGuideAxesTexts) axes_->addItem(QString::fromLatin1(text));
    QLineEdit* feedbackRA = MakeEdit(1261, F::FeedbackRA, 36);
    QLineEdit* feedbackDec = MakeEdit(1117, F::FeedbackDec, 36);
    auto* raFeedback = new QHBoxLayout;
    raFeedback->setSpacing(0);
    raFeedback->addWidget(feedbackRA);
    raFeedback->addWidget(MakeSpin(1262, feedbackRA, 1, 20));
    auto* decFeedback = new QHBoxLayout;
    decFeedback->setSpacing(0);
    decFeedback->addWidget(feedbackDec);
    decFeedback->addWidget(MakeSpin(1124, feedbackDec, 1, 20));
    g->addWidget(new QLabel(QStringLiteral("Guide axes"), guiding_), 0, 0);
    g->addWidget(axes_, 0, 1);
    g->addWidget(new QLabel(QStringLiteral("Min guide (ms)"), guiding_), 0, 2);
    g->addWidget(MakeEdit(1120, F::MinGuide), 0, 3);
    g->addWidget(new QLabel(QStringLiteral("Max guide (ms)"), guiding_), 0, 4);
    g->addWidget(MakeEdit(1121, F::MaxGuide), 0, 5);
    g->addWidget(new QLabel(QStringLiteral("Calib. time (ms)"), guiding_), 1, 0);
    g->addWidget(MakeEdit(1122, F::CalibrationTime), 1, 1);
    g->addWidget(new QLabel(QStringLiteral("RA feedback"), guiding_), 1, 2);
    g->addLayout(raFeedback, 1, 3);
    g->addWidget(new QLabel(QStringLiteral("Dec feedback"), guiding_), 1, 4);
    g->addLayout(decFeedback, 1, 5);
    auto* scale = new QHBoxLayout;
    scale->addWidget(new QLabel(QStringLiteral("Focal length (mm)"), guiding_));
    scale->addWidget(MakeEdit(1270, F::FocalLength, 56));
    scale->addStretch(1);
    g->addLayout(scale, 4, 0, 1, 6);
    // The guiding run's RMS in pixels and, with the focal length, in arc-seconds; its room is
    // kept whatever it says.
    rms_ = new QLabel(QStringLiteral("RMS  RA 0.00  Dec 0.00  Total 0.00 px  (0.00\"  0.00\"  "
                                     "0.00\")"),
                      guiding_);
    rms_->setObjectName(QStringLiteral("1272"));
    rms_->setMinimumWidth(rms_->sizeHint().width());
    g->addWidget(rms_, 5, 0, 1, 6);

    calibrate_ = new QPushButton(QStringLiteral("Calibrate"), guiding_);
    calibrate_->setObjectName(QStringLiteral("1102"));
    autoSelect_ = new QPushButton(QStringLiteral("Auto-select star"), guiding_);
    autoSelect_->setObjectName(QStringLiteral("1271"));
    autoguide_ = new QCheckBox(QStringLiteral("Autoguide"), guiding_);
    autoguide_->setObjectName(QStringLiteral("1255"));
    chooser_ = new QPushButton(QStringLiteral("ASCOM chooser..."), guiding_);
    chooser_->setObjectName(QStringLiteral("1257"));
    driver_ = new QLabel(guiding_);
    driver_->setObjectName(QStringLiteral("1268"));
    connect_ = new QCheckBox(QStringLiteral("Connect"), guiding_);
    connect_->setObjectName(QStringLiteral("1258"));
    for (QPushButton* b : {calibrate_, chooser_, autoSelect_}) b->setAutoDefault(false);
    auto* actions = new QHBoxLayout;
    actions->addWidget(autoSelect_);
    actions->addWidget(calibrate_);
    actions->addWidget(autoguide_);
    actions->addStretch(1);
    actions->addWidget(chooser_);
    actions->addWidget(driver_);
    actions->addWidget(connect_);
    g->addLayout(actions, 2, 0, 1, 6);

    const char* const axisNames[2] = {"Dec", "RA"};
    const int chartIds[2] = {1242, 1243};
    const int labelIds[2][2] = {{1244, 1245}, {1246, 1247}};
    const int valueIds[2][3] = {{1248, 1250, 1252}, {1249, 1251, 1253}};
    auto* charts = new QGridLayout;
    for (int a = 0; a < 2; ++a) {
        const int row = a * 2;
        charts->addWidget(new QLabel(QString::fromLatin1(axisNames[a]), guiding_), row, 0, 2, 1);
        for (int k = 0; k < 2; ++k) {
            chartLabels_[a][k] = new QLabel(guiding_);
            chartLabels_[a][k]->setObjectName(Id(labelIds[a][k]));
            chartLabels_[a][k]->setAlignment(Qt::AlignRight |
                                             (k == 0 ? Qt::AlignTop : Qt::AlignBottom));
            charts->addWidget(chartLabels_[a][k], row + k, 1);
        }
        charts_[a] = new DeviationChart(chartIds[a], guiding_);
        charts->addWidget(charts_[a], row, 2, 2, 1);
        auto* fields = new QGridLayout;
        const char* const names[3] = {"Last", "Avg", "Dev"};
        for (int k = 0; k < 3; ++k) {
            values_[a][k] = MakeValueField(valueIds[a][k]);
            values_[a][k]->setParent(guiding_);
            values_[a][k]->setFixedWidth(56);
            fields->addWidget(new QLabel(QString::fromLatin1(names[k]), guiding_), k, 0);
            fields->addWidget(values_[a][k], k, 1);
        }
        charts->addLayout(fields, row, 3, 2, 1);
    }
    auto* clear = new QPushButton(QStringLiteral("Clear"), guiding_);
    clear->setObjectName(QStringLiteral("1263"));
    clear->setAutoDefault(false);
    charts->addWidget(clear, 4, 3);
    g->addLayout(charts, 3, 0, 1, 6);

    auto* top = new QVBoxLayout(this);
    top->addLayout(figures);
    top->addLayout(radii);
    top->addLayout(setupRow);
    top->addWidget(guiding_);
    top->addStretch(1);

    // Both sizes as designed: the whole dialog, and its upper part alone.
    guiding_->show();
    expanded_ = sizeHint();
    guiding_->hide();
    collapsed_ = sizeHint();

    connect(setup_, &QCheckBox::clicked, this, [this](bool on) {
        engine_.OnSetupGuidingClicked(on);
        ApplySize();
    });
    connect(autoguide_, &QCheckBox::clicked, this,
            [this](bool on) { engine_.OnAutoguideClicked(on); });
    connect(connect_, &QCheckBox::clicked, this, [this](bool on) { engine_.OnConnectClicked(on); });
    connect(axes_, &QComboBox::activated, this,
            [this](int index) { engine_.OnGuideAxesChanged(index); });
    connect(calibrate_, &QPushButton::clicked, this, [this] { engine_.Calibrate(); });
    connect(autoSelect_, &QPushButton::clicked, this, [this] { engine_.AutoSelectStar(false); });
    connect(chooser_, &QPushButton::clicked, this, [this] { engine_.OnAscomChooser(); });
    connect(clear, &QPushButton::clicked, this, [this] { engine_.ClearHistory(); });
    connect(helpButton, &QPushButton::clicked, this, &CTrackingDialog::ToggleHelp);

    ShowModel();
    RefreshCharts(false);
    filling_ = false;
}

CTrackingDialog::~CTrackingDialog() = default;

QLineEdit* CTrackingDialog::MakeValueField(int id) {
    auto* e = new QLineEdit(this);
    e->setObjectName(Id(id));
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    e->setAlignment(Qt::AlignRight);
    return e;
}

QLineEdit* CTrackingDialog::MakeEdit(int id, GuidingEngine::Field field, int width) {
    auto* e = new QLineEdit(this);
    e->setObjectName(Id(id));
    e->setFixedWidth(width);
    e->setAlignment(Qt::AlignRight);
    edits_.append({e, field});
    connect(e, &QLineEdit::textChanged, this, [this, e, field](const QString& text) {
        if (filling_) return;
        const std::optional<std::string> corrected =
            engine_.OnFieldEdited(field, text.toStdString());
        if (corrected) SetText(e, Qs(*corrected));
    });
    return e;
}

UpDownButtons* CTrackingDialog::MakeSpin(int id, QLineEdit* buddy, int lo, int hi) {
    auto* spin = new UpDownButtons(this);
    spin->setObjectName(Id(id));
    // The arrows step the number in the edit within the spin's own range; the edit's rule
    // then decides whether the value is taken.
    connect(spin, &UpDownButtons::stepped, this, [buddy, lo, hi](int delta) {
        bool ok = false;
        const int value = buddy->text().trimmed().toInt(&ok);
        const int next = std::clamp(ok ? value + delta : lo, lo, hi);
        buddy->setText(QString::number(next));
    });
    return spin;
}

void CTrackingDialog::ApplySize() {
    const bool expanded = engine_.Model().setupGuiding;
    guiding_->setVisible(expanded);
    setFixedSize(expanded ? expanded_ : collapsed_);
}

void CTrackingDialog::ShowModel() {
    const bool wasFilling = filling_;
    filling_ = true;
    const TrackingDialogModel& m = engine_.Model();
    const bool star = m.star.Found();
    for (QWidget* w : {static_cast<QWidget*>(briLabel_), static_cast<QWidget*>(fwhmLabel_),
                       static_cast<QWidget*>(bri_), static_cast<QWidget*>(fwhm_)})
        w->setVisible(star);
    prompt_->setVisible(!star);
    if (star) {
        SetText(bri_, Qs(engine_.BrightnessText()));
        SetText(fwhm_, Qs(engine_.WidthText()));
    }
    for (const auto& [edit, field] : edits_) {
        // A number the edit holds but the rule refused stays as typed.
        if (!edit->hasFocus()) SetText(edit, Qs(engine_.FieldText(field)));
    }
    axes_->setCurrentIndex(m.guideAxes);
    setup_->setChecked(m.setupGuiding);
    autoguide_->setChecked(m.autoguide);
    connect_->setChecked(m.output == GuideOutput::TelescopeLink);
    driver_->setText(Qs(m.driverName));
    // Calibration and autoguiding work through either output; the link's controls need a link.
    const bool mount = engine_.CanDriveMount();
    calibrate_->setEnabled(mount && !engine_.Calibrating());
    autoSelect_->setEnabled(!engine_.Calibrating());
    rms_->setText(QString::fromUtf8(engine_.GuideRmsText().c_str()));
    autoguide_->setEnabled(mount);
    chooser_->setEnabled(engine_.TelescopeLinkAvailable());
    connect_->setEnabled(engine_.TelescopeLinkAvailable());
    ApplySize();
    filling_ = wasFilling;
}

void CTrackingDialog::RefreshCharts(bool now) {
    for (int a = 0; a < 2; ++a) {
        const auto axis = static_cast<DeviationHistory::Axis>(a);
        const DeviationPlot plot = engine_.PlotChart(axis, DeviationChart::Frame());
        charts_[a]->SetPlot(plot);
        chartLabels_[a][0]->setText(Qs(plot.topLabel));
        chartLabels_[a][1]->setText(Qs(plot.bottomLabel));
        for (int k = 0; k < 3; ++k) SetText(values_[a][k], Qs(engine_.StatisticText(axis, k)));
        if (now)
            charts_[a]->repaint();
        else
            charts_[a]->update();
    }
}

void CTrackingDialog::ToggleHelp() {
    if (!help_) {
        help_ = std::make_unique<QDialog>(this);
        help_->setObjectName(Id(ids::IDD_TRACKING_HELP));
        help_->setWindowTitle(QStringLiteral("Tracking Help"));
        auto* layout = new QVBoxLayout(help_.get());
        auto* text = new QLabel(QString::fromLatin1(kHelpText), help_.get());
        layout->addWidget(text);
        auto* close = new QPushButton(QStringLiteral("Close"), help_.get());
        close->setAutoDefault(false);
        layout->addWidget(close, 0, Qt::AlignRight);
        connect(close, &QPushButton::clicked, help_.get(), &QDialog::hide);
        help_->show();
        return;
    }
    help_->setVisible(!help_->isVisible());
}

}  // namespace zorvane
