#include "ui/CoolerDialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "camera/CoolerControl.h"
#include "core/CommandIds.h"
#include "ui/UpDownButtons.h"

namespace zorvane {

CoolerDialog::CoolerDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(ids::IDD_COOLER));
    setWindowTitle(QStringLiteral("Cooler"));

    button_ = new QPushButton(QStringLiteral("Cooler on"), this);
    button_->setObjectName(QStringLiteral("1103"));
    button_->setAutoDefault(false);
    label_ = new QLabel(QStringLiteral("Setpoint:"), this);
    label_->setObjectName(QStringLiteral("1136"));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("1104"));
    edit_->setReadOnly(true);
    edit_->setFixedWidth(64);
    edit_->setAlignment(Qt::AlignRight);
    spin_ = new UpDownButtons(this);
    spin_->setObjectName(QStringLiteral("1105"));
    status_ = new QLabel(QStringLiteral("Status: Off"), this);
    status_->setObjectName(QStringLiteral("1112"));
    temperature_ = new QLabel(QStringLiteral("Unknown"), this);
    temperature_->setObjectName(QStringLiteral("1113"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("1"));
    close->setAutoDefault(false);

    auto* value = new QHBoxLayout;
    value->setSpacing(0);
    value->addWidget(edit_);
    value->addWidget(spin_);
    value->addStretch(1);

    auto* grid = new QGridLayout(this);
    grid->addWidget(status_, 0, 0, 1, 2);
    grid->addWidget(temperature_, 1, 0, 1, 2);
    grid->addWidget(label_, 2, 0);
    grid->addLayout(value, 2, 1);
    grid->addWidget(button_, 3, 0);
    grid->addWidget(close, 3, 1, Qt::AlignRight);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(spin_, &UpDownButtons::stepped, this, &CoolerDialog::spinStepped);
    connect(button_, &QPushButton::clicked, this, &CoolerDialog::onOffPressed);
    // Close and Escape only hide: the dialog lives as long as the main window.
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
}

void CoolerDialog::ShowModel(const CoolerDialogModel& model) {
    status_->setText(QString::fromStdString(model.StatusText()));
    temperature_->setText(QString::fromStdString(model.TemperatureText()));
    temperature_->setEnabled(model.TemperatureKnown());
    button_->setText(QString::fromStdString(model.ButtonText()));
    button_->setEnabled(model.ButtonEnabled());
    label_->setText(QString::fromStdString(model.LabelText()));
    edit_->setEnabled(model.ValueEnabled());
    spin_->setEnabled(model.ValueEnabled());
    ShowEditText(model);
}

void CoolerDialog::ShowEditText(const CoolerDialogModel& model) {
    edit_->setText(QString::fromStdString(model.editText));
}

}  // namespace zorvane
