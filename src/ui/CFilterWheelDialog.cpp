#include "ui/CFilterWheelDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "core/CommandIds.h"

namespace zorvane {

CFilterWheelDialog::CFilterWheelDialog(FilterDialogHost& host, QWidget* parent)
    : QDialog(parent), model_(host) {
    setObjectName(QString::number(ids::IDD_FILTER_WHEEL));
    setWindowTitle(QStringLiteral("Filter Wheel"));

    type_ = new QLabel(QStringLiteral("Not Connected"), this);
    type_->setObjectName(QStringLiteral("1156"));
    type_->setMinimumWidth(120);
    button_ = new QPushButton(QStringLiteral("Connect"), this);
    button_->setObjectName(QStringLiteral("1157"));
    button_->setAutoDefault(false);
    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("1158"));
    list_->setMinimumWidth(60);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("1"));
    close->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(type_, 0, 0);
    grid->addWidget(button_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Position:"), this), 1, 0);
    grid->addWidget(list_, 1, 1);
    grid->addWidget(close, 2, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(button_, &QPushButton::clicked, this, &CFilterWheelDialog::OnConnectButton);
    connect(list_, &QComboBox::currentIndexChanged, this, &CFilterWheelDialog::OnPositionChosen);
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    model_.SetChangeNotice([this] { Show(model_.View()); });
    RefreshFilterDialog();
}

void CFilterWheelDialog::RefreshFilterDialog() {
    Show(model_.Refresh());
}

void CFilterWheelDialog::Show(const FilterDialogView& view) {
    showing_ = true;
    button_->setText(QString::fromStdString(view.buttonText));
    button_->setEnabled(view.buttonEnabled);
    type_->setText(QString::fromStdString(view.typeText));
    list_->setEnabled(view.listEnabled);
    QStringList entries;
    for (const std::string& e : view.entries) entries << QString::fromStdString(e);
    QStringList shown;
    for (int i = 0; i < list_->count(); ++i) shown << list_->itemText(i);
    if (shown != entries) {
        list_->clear();
        list_->addItems(entries);
    }
    list_->setCurrentIndex(view.selection);
    // The wheel is answering: only this dialog shows it, the rest of the program goes on.
    if (view.busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
    showing_ = false;
}

void CFilterWheelDialog::OnConnectButton() {
    Show(model_.PressConnectButton());
}

void CFilterWheelDialog::OnPositionChosen(int index) {
    if (showing_) return;
    Show(model_.SelectPosition(index));
}

}  // namespace zorvane
