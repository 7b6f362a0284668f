#include "ui/UsbErrorDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "core/CommandIds.h"

namespace zorvane {

UsbErrorDialog::UsbErrorDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(ids::IDD_USB_ERROR));
    setWindowTitle(QStringLiteral("USB Error!"));
    auto* layout = new QVBoxLayout(this);
    for (const char* line :
         {"Warning! USB Errors have been detected!", "The program will attempt to recover",
          "but this may not always be successful."}) {
        layout->addWidget(new QLabel(QString::fromLatin1(line), this));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace zorvane
