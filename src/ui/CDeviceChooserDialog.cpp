#include "ui/CDeviceChooserDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace zorvane {

namespace {
QString Qs(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

CDeviceChooserDialog::CDeviceChooserDialog(DeviceChooserModel& model, QWidget* parent)
    : QDialog(parent), model_(model) {
    setWindowTitle(Qs(model.Title()));
    setModal(true);

    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(new QLabel(QStringLiteral("INDI server:"), this));
    server_ = new QLineEdit(Qs(model.Server()), this);
    server_->setObjectName(QStringLiteral("server"));
    server_->setPlaceholderText(QStringLiteral("localhost:7624"));
    serverRow->addWidget(server_, 1);
    refresh_ = new QPushButton(QStringLiteral("Refresh"), this);
    refresh_->setObjectName(QStringLiteral("refresh"));
    refresh_->setAutoDefault(false);
    serverRow->addWidget(refresh_);

    devices_ = new QListWidget(this);
    devices_->setObjectName(QStringLiteral("devices"));
    devices_->setMinimumSize(360, 140);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    ok_->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(serverRow);
    layout->addWidget(devices_, 1);
    layout->addWidget(status_);
    layout->addWidget(buttons);

    connect(refresh_, &QPushButton::clicked, this, &CDeviceChooserDialog::Refresh);
    connect(server_, &QLineEdit::returnPressed, this, &CDeviceChooserDialog::Refresh);
    connect(devices_, &QListWidget::currentRowChanged, this,
            [this](int row) { ok_->setEnabled(row >= 0); });
    connect(devices_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ShowModel();
}

int CDeviceChooserDialog::SelectedIndex() const {
    return devices_->currentRow();
}

void CDeviceChooserDialog::Refresh() {
    model_.SetServer(server_->text().trimmed().toStdString());
    // Listing waits on the server (a few seconds at most).
    QApplication::setOverrideCursor(Qt::WaitCursor);
    model_.Refresh();
    QApplication::restoreOverrideCursor();
    ShowModel();
}

void CDeviceChooserDialog::ShowModel() {
    devices_->clear();
    for (const std::string& d : model_.Devices()) devices_->addItem(Qs(d));
    // Nothing selected unless the caller named a listed device.
    devices_->setCurrentRow(model_.Preselected());
    ok_->setEnabled(devices_->currentRow() >= 0);
    status_->setText(Qs(model_.StatusText()));
}

std::optional<int> QtDeviceChooser::RunChooser(DeviceChooserModel& model) {
    QWidget* parent = QApplication::activeWindow();
    CDeviceChooserDialog dialog(model, parent ? parent : fallbackParent_);
    if (dialog.exec() != QDialog::Accepted || dialog.SelectedIndex() < 0) return std::nullopt;
    return dialog.SelectedIndex();
}

}  // namespace zorvane
