#include "ui/CSequencerGuidingBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>

#include "sequencer/SequenceModel.h"

namespace zorvane {

namespace {

QSpinBox* IntSpin(QWidget* parent, const char* name, int low, int high, const char* suffix) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(low, high);
    spin->setSuffix(QLatin1String(suffix));
    return spin;
}

QDoubleSpinBox* PixelSpin(QWidget* parent, const char* name) {
    auto* spin = new QDoubleSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(0.1, SequenceGuideOptions::kMaxPixels);
    spin->setDecimals(1);
    spin->setSingleStep(0.5);
    spin->setSuffix(QStringLiteral(" px"));
    return spin;
}

QLabel* Text(QWidget* parent, const char* text) {
    return new QLabel(QLatin1String(text), parent);
}

}  // namespace

bool CSequencerGuidingBox::ParseAddress(const QString& text, std::string& host, int& port) {
    const QString t = text.trimmed();
    const int colon = t.lastIndexOf(QLatin1Char(':'));
    const QString name = colon < 0 ? t : t.left(colon);
    int number = SequenceGuideOptions::kDefaultPort;
    if (colon >= 0) {
        bool ok = false;
        number = t.mid(colon + 1).toInt(&ok);
        if (!ok || number < 1 || number > 65535) return false;
    }
    if (name.isEmpty() || name.contains(QLatin1Char(' '))) return false;
    host = name.toStdString();
    port = number;
    return true;
}

CSequencerGuidingBox::CSequencerGuidingBox(SequenceGuideOptions& options, QWidget* parent)
    : QGroupBox(QStringLiteral("Guiding"), parent), options_(options) {
    setObjectName(QStringLiteral("guidingBox"));
    guide_ = new QCheckBox(QStringLiteral("Guide, with the guider at"), this);
    guide_->setObjectName(QStringLiteral("guide"));
    address_ = new QLineEdit(this);
    address_->setObjectName(QStringLiteral("guiderAddress"));
    address_->setMaxLength(255);
    address_->setMinimumWidth(fontMetrics().averageCharWidth() * 18);
    address_->setToolTip(
        QStringLiteral("host:port of a guider that speaks the guiding event "
                       "protocol (a copy of this program guides on port 4400)"));
    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("guiderState"));
    state_->setMinimumWidth(fontMetrics().averageCharWidth() * 44);

    ditherEvery_ =
        IntSpin(this, "ditherEvery", 0, SequenceGuideOptions::kMaxDitherEvery, " frames");
    ditherEvery_->setSpecialValueText(QStringLiteral("never"));
    ditherPixels_ = PixelSpin(this, "ditherPixels");
    raOnly_ = new QCheckBox(QStringLiteral("RA only"), this);
    raOnly_->setObjectName(QStringLiteral("ditherRaOnly"));
    settlePixels_ = PixelSpin(this, "settlePixels");
    settleTime_ = IntSpin(this, "settleTime", 0, SequenceGuideOptions::kMaxSeconds, " s");
    settleTimeout_ = IntSpin(this, "settleTimeout", 1, SequenceGuideOptions::kMaxSeconds, " s");
    onFailure_ = new QComboBox(this);
    onFailure_->setObjectName(QStringLiteral("settleFailure"));
    onFailure_->addItem(QStringLiteral("go on"));
    onFailure_->addItem(QStringLiteral("stop the sequence"));
    lostLimit_ = IntSpin(this, "lostLimit", 1, SequenceGuideOptions::kMaxSeconds, " s");

    auto row = [this](std::initializer_list<QWidget*> widgets) {
        auto* box = new QHBoxLayout;
        for (QWidget* w : widgets) box->addWidget(w);
        box->addStretch(1);
        return box;
    };
    auto* grid = new QVBoxLayout(this);
    grid->addLayout(row({guide_, address_, state_}));
    grid->addLayout(row({Text(this, "Dither every"), ditherEvery_, Text(this, "by up to"),
                         ditherPixels_, raOnly_}));
    grid->addLayout(row({Text(this, "Settled when within"), settlePixels_, Text(this, "for"),
                         settleTime_, Text(this, "(timeout"), settleTimeout_,
                         Text(this, "); when settling fails:"), onFailure_}));
    grid->addLayout(row({Text(this, "A lost guide star holds the sequence for up to"), lostLimit_,
                         Text(this, ", then stops it")}));

    connect(guide_, &QCheckBox::toggled, this, [this](bool on) {
        if (!showing_) options_.guide = on;
    });
    connect(address_, &QLineEdit::editingFinished, this, &CSequencerGuidingBox::TakeAddress);
    connect(ditherEvery_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!showing_) options_.ditherEvery = v;
    });
    connect(ditherPixels_, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        if (!showing_) options_.ditherPixels = v;
    });
    connect(raOnly_, &QCheckBox::toggled, this, [this](bool on) {
        if (!showing_) options_.ditherRaOnly = on;
    });
    connect(settlePixels_, &QDoubleSpinBox::valueChanged, this, [this](double v) {
        if (!showing_) options_.settlePixels = v;
    });
    connect(settleTime_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!showing_) options_.settleSeconds = v;
    });
    connect(settleTimeout_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!showing_) options_.settleTimeout = v;
    });
    connect(onFailure_, &QComboBox::activated, this,
            [this](int index) { options_.stopOnSettleFailure = index == 1; });
    connect(lostLimit_, &QSpinBox::valueChanged, this, [this](int v) {
        if (!showing_) options_.lostLimitSeconds = v;
    });
    Refresh();
}

void CSequencerGuidingBox::TakeAddress() {
    if (showing_) return;
    std::string host;
    int port = 0;
    if (ParseAddress(address_->text(), host, port)) {
        options_.host = host;
        options_.port = port;
        Refresh();
        return;
    }
    const QString typed = address_->text();
    // The address in use stays; the box says what it wants.
    Refresh();
    QMessageBox::warning(this, QStringLiteral("Sequencer"),
                         QStringLiteral("'%1' is no guider address.\nType host:port, for example "
                                        "localhost:4400.")
                             .arg(typed));
}

void CSequencerGuidingBox::Refresh() {
    showing_ = true;
    guide_->setChecked(options_.guide);
    const QString address =
        QString::fromStdString(options_.host) + QLatin1Char(':') + QString::number(options_.port);
    if (!address_->hasFocus() && address_->text() != address) address_->setText(address);
    ditherEvery_->setValue(options_.ditherEvery);
    ditherPixels_->setValue(options_.ditherPixels);
    raOnly_->setChecked(options_.ditherRaOnly);
    settlePixels_->setValue(options_.settlePixels);
    settleTime_->setValue(options_.settleSeconds);
    settleTimeout_->setValue(options_.settleTimeout);
    onFailure_->setCurrentIndex(options_.stopOnSettleFailure ? 1 : 0);
    lostLimit_->setValue(options_.lostLimitSeconds);
    state_->setText(stateSource_ ? QString::fromStdString(stateSource_()) : QString());
    showing_ = false;
}

}  // namespace zorvane
