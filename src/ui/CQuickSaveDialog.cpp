#include "ui/CQuickSaveDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/SettingsController.h"

namespace zorvane {

CQuickSaveDialog::CQuickSaveDialog(const std::array<QuickPreset, 8>& presets, QWidget* parent)
    : QDialog(parent), presets_(presets) {
    setObjectName(QStringLiteral("quickSaveDialog"));
    setWindowTitle(QStringLiteral("Save quick settings"));

    key_ = new QComboBox(this);
    key_->setObjectName(QString::number(kKeyList));
    for (int n = 1; n <= quick::kCount; ++n) key_->addItem(QStringLiteral("F%1").arg(n));
    title_ = new QLineEdit(this);
    title_->setObjectName(QString::number(kTitleEdit));
    mode_ = new QComboBox(this);
    mode_->setObjectName(QString::number(kModeList));
    mode_->addItems({QStringLiteral("None"), QStringLiteral("Single"), QStringLiteral("Loop")});
    saveExposure_ = new QCheckBox(QStringLiteral("Save Exposure settings"), this);
    saveExposure_->setObjectName(QString::number(kSaveExposureCheck));
    saveSubframe_ = new QCheckBox(QStringLiteral("Save Subframe settings"), this);
    saveSubframe_->setObjectName(QString::number(kSaveSubframeCheck));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("1"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("2"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Key"), key_);
    form->addRow(QStringLiteral("Title"), title_);
    form->addRow(QStringLiteral("AutoImage mode"), mode_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(saveExposure_);
    layout->addWidget(saveSubframe_);
    layout->addWidget(buttons);

    ShowForm(QuickSaveForm::Open(presets_));
    connect(key_, &QComboBox::currentIndexChanged, this, [this](int key) { OnKeyChanged(key); });
}

QuickSaveForm CQuickSaveDialog::Form() const {
    QuickSaveForm form;
    form.key = shownKey_;
    form.title = title_->text().toStdString();
    form.mode = std::max(0, mode_->currentIndex());
    form.saveExposure = saveExposure_->isChecked();
    form.saveSubframe = saveSubframe_->isChecked();
    return form;
}

void CQuickSaveDialog::ShowForm(const QuickSaveForm& form) {
    showing_ = true;
    shownKey_ = form.key;
    key_->setCurrentIndex(form.key);
    title_->setText(QString::fromStdString(form.title));
    mode_->setCurrentIndex(form.mode);
    saveExposure_->setChecked(form.saveExposure);
    saveSubframe_->setChecked(form.saveSubframe);
    showing_ = false;
}

void CQuickSaveDialog::OnKeyChanged(int key) {
    if (showing_ || key < 0) return;
    QuickSaveForm form = Form();
    form.SelectKey(key, presets_);
    ShowForm(form);
}

bool CQuickSaveDialog::Run(SettingsController& settings, QWidget* parent) {
    CQuickSaveDialog dialog(settings.Presets(), parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    const QuickSaveForm form = dialog.Form();
    settings.SaveQuickPreset(form.key + 1, form.title, form.Flags());
    return true;
}

}  // namespace zorvane
