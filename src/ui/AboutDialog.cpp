#include "ui/AboutDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>

#include "core/CommandIds.h"

namespace zorvane {

AboutDialog::AboutDialog(const QString& versionText, const QString& libraryLine,
                         const QString& filterWheelLine, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QString::number(ids::IDD_ABOUTBOX));
    setWindowTitle(QStringLiteral("About Zorvane Capture..."));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("136"));
    picture->setPixmap(QPixmap(QStringLiteral(":/icons/about.png")));

    auto* grid = new QGridLayout(this);
    grid->addWidget(picture, 0, 0, 4, 1, Qt::AlignTop);
    // The designed heading names the program; at run time it carries the version.
    const std::pair<const char*, QString> lines[] = {{"1081", versionText},
                                                     {"1272", libraryLine},
                                                     {"1271", filterWheelLine},
                                                     {"1273", QString()}};
    int row = 0;
    for (const auto& [id, text] : lines) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QString::fromLatin1(id));
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(240);
        grid->addWidget(label, row++, 1);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    grid->addWidget(buttons, row, 0, 1, 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace zorvane
