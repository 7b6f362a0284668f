#include "ui/CImageHeaderDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/CaptureApp.h"

namespace zorvane {

namespace {

constexpr int kLimit = ImageHeaderSettings::kMaxTextLength;

QLineEdit* MakeEdit(int id, const std::string& text, QWidget* parent) {
    auto* edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setObjectName(QString::number(id));
    // Typing stops at the limit; a longer stored text is shown whole so it can be shortened,
    // and OK refuses it until it is.
    edit->setMaxLength(std::max(kLimit, static_cast<int>(edit->text().size())));
    return edit;
}

}  // namespace

CImageHeaderDialog::CImageHeaderDialog(const ImageHeaderSettings& values, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("imageHeaderDialog"));
    setWindowTitle(QStringLiteral("Image File Header"));
    setModal(true);

    object_ = MakeEdit(kObjectEdit, values.object, this);
    telescope_ = MakeEdit(kTelescopeEdit, values.telescope, this);
    observer_ = MakeEdit(kObserverEdit, values.observer, this);
    timePrecision_ =
        new QCheckBox(QStringLiteral("Record time of exposure to 0.1 second precision  "), this);
    timePrecision_->setObjectName(QString::number(kTimePrecisionCheck));
    timePrecision_->setChecked(values.extraTimePrecision);

    auto* fields = new QGridLayout;
    int row = 0;
    for (auto [label, edit] : {std::pair{"Object", object_}, std::pair{"Telescope", telescope_},
                               std::pair{"Observer", observer_}}) {
        auto* text = new QLabel(QString::fromLatin1(label), this);
        text->setBuddy(edit);
        fields->addWidget(text, row, 0);
        fields->addWidget(edit, row, 1);
        ++row;
    }
    object_->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    focalLength_ = new QSpinBox(this);
    focalLength_->setObjectName(QString::number(kFocalLengthSpin));
    focalLength_->setRange(0, ImageHeaderSettings::kMaxFocalLength);
    focalLength_->setSuffix(QStringLiteral(" mm"));
    focalLength_->setSpecialValueText(QStringLiteral("not known"));
    focalLength_->setValue(values.focalLength);
    auto* focalLabel = new QLabel(QStringLiteral("Focal length"), this);
    focalLabel->setBuddy(focalLength_);
    fields->addWidget(focalLabel, row, 0);
    fields->addWidget(focalLength_, row, 1, Qt::AlignLeft);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CImageHeaderDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CImageHeaderDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(timePrecision_);
    layout->addWidget(buttons);
}

ImageHeaderSettings CImageHeaderDialog::Values() const {
    ImageHeaderSettings v;
    v.object = object_->text().toStdString();
    v.telescope = telescope_->text().toStdString();
    v.observer = observer_->text().toStdString();
    v.extraTimePrecision = timePrecision_->isChecked();
    v.focalLength = focalLength_->value();
    return v;
}

void CImageHeaderDialog::accept() {
    for (QLineEdit* edit : {object_, telescope_, observer_}) {
        if (edit->text().size() > kLimit) {
            QMessageBox::warning(this, QString::fromLatin1(CaptureApp::kTitle),
                                 QStringLiteral("Enter no more than %1 characters.").arg(kLimit));
            edit->setFocus();
            edit->selectAll();
            return;
        }
    }
    QDialog::accept();
}

bool CImageHeaderDialog::Edit(ImageHeaderSettings& values, QWidget* parent) {
    CImageHeaderDialog dialog(values, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    values = dialog.Values();
    return true;
}

}  // namespace zorvane
