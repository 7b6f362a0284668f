#include "ui/QtPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

namespace zorvane {

namespace {

QMessageBox::StandardButtons ToQt(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return QMessageBox::Ok;
        case MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MessageButtons::AbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        case MessageButtons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Stop:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// What closing the box without a button means for each set of buttons.
MessageAnswer EscapeAnswer(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        // Escape must not end the program: Abort in these boxes ends the process.
        case MessageButtons::AbortRetryIgnore:
            return MessageAnswer::Ignore;
        default:
            return MessageAnswer::Cancel;
    }
}

}  // namespace

QtPrompts::~QtPrompts() {
    while (waitDepth_ > 0) EndWaitCursor();
}

MessageAnswer QtPrompts::MessageBox(const std::string& text, const std::string& caption,
                                    MessageButtons buttons, MessageIcon icon) {
    QMessageBox box(ToQt(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    ToQt(buttons), parent_.data());
    // File names and camera texts are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    if (buttons == MessageButtons::AbortRetryIgnore)
        box.setEscapeButton(box.button(QMessageBox::Ignore));
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked) return EscapeAnswer(buttons);
    switch (box.standardButton(clicked)) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        case QMessageBox::Abort:
            return MessageAnswer::Abort;
        case QMessageBox::Retry:
            return MessageAnswer::Retry;
        case QMessageBox::Ignore:
            return MessageAnswer::Ignore;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return EscapeAnswer(buttons);
    }
}

QStringList QtPrompts::NameFilters(const std::vector<FileFilter>& filters) {
    QStringList list;
    for (const FileFilter& f : filters) {
        const QString name = QString::fromStdString(f.name);
        const QString pattern = QString::fromStdString(f.pattern);
        const QString suffix = QStringLiteral("(%1)").arg(pattern);
        list << (name.endsWith(suffix) ? name : QStringLiteral("%1 %2").arg(name, suffix));
    }
    return list;
}

FileDialogResult QtPrompts::RunFileDialog(const FileDialogRequest& request, bool save) {
    QFileDialog dialog(parent_.data(), QString::fromStdString(request.title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save || !request.fileMustExist ? QFileDialog::AnyFile
                                                      : QFileDialog::ExistingFile);
    if (!request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    const QStringList filters = NameFilters(request.filters);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const int preset = request.presetFilter >= 1 && request.presetFilter <= filters.size()
                               ? request.presetFilter - 1
                               : 0;
        dialog.selectNameFilter(filters[preset]);
    }
    if (!request.initialPath.empty()) {
        const QFileInfo initial(QString::fromStdString(request.initialPath));
        if (initial.isDir()) {
            dialog.setDirectory(initial.absoluteFilePath());
        } else {
            if (initial.absoluteDir().exists()) dialog.setDirectory(initial.absolutePath());
            dialog.selectFile(initial.fileName());
        }
    }

    FileDialogResult result;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        result.status = FileDialogResult::Status::Cancelled;
        return result;
    }
    result.path = dialog.selectedFiles().first().toStdString();
    result.filterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    if (result.filterIndex < 1) result.filterIndex = 1;
    if (request.pathMustExist &&
        !QFileInfo(QFileInfo(QString::fromStdString(result.path)).absolutePath()).isDir()) {
        result.status = FileDialogResult::Status::InvalidFileName;
        return result;
    }
    result.status = FileDialogResult::Status::Ok;
    return result;
}

FileDialogResult QtPrompts::SaveFileDialog(const FileDialogRequest& request) {
    return RunFileDialog(request, true);
}

FileDialogResult QtPrompts::OpenFileDialog(const FileDialogRequest& request) {
    return RunFileDialog(request, false);
}

void QtPrompts::Beep(BeepKind) {
    QApplication::beep();
}

void QtPrompts::BeginWaitCursor() {
    if (waitDepth_++ == 0) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtPrompts::EndWaitCursor() {
    if (waitDepth_ == 0) return;
    if (--waitDepth_ == 0) QGuiApplication::restoreOverrideCursor();
}

bool QtPrompts::IsShiftHeld() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

}  // namespace zorvane
