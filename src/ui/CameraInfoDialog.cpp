#include "ui/CameraInfoDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "core/CommandIds.h"

namespace zorvane {

CameraInfoDialog::CameraInfoDialog(const QString& model, const QString& manufacturer,
                                   const QString& serial, const QString& protocol, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QString::number(ids::IDD_CAMERA_INFO));
    setWindowTitle(QStringLiteral("Camera Info"));
    auto* layout = new QVBoxLayout(this);
    const std::pair<const char*, const QString*> lines[] = {
        {"1016", &model}, {"1021", &manufacturer}, {"1135", &serial}, {"1020", &protocol}};
    for (const auto& [id, text] : lines) {
        auto* label = new QLabel(*text, this);
        label->setObjectName(QString::fromLatin1(id));
        // Texts from the camera are shown as they are, never as markup.
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(220);
        layout->addWidget(label);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace zorvane
