#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "core/Prompts.h"

class QFileDialog;

namespace zorvane {

// The core's questions as real Qt dialogs: message boxes with the exact text, caption, buttons
// and icon; file dialogs with "Name (*.ext)" filters; the beep, the wait cursor and Shift.
class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    ~QtPrompts() override;

    // Dialogs are centred on this window once it exists (none during start-up).
    void SetParent(QWidget* parent) { parent_ = parent; }

    MessageAnswer MessageBox(const std::string& text, const std::string& caption,
                             MessageButtons buttons, MessageIcon icon) override;
    FileDialogResult SaveFileDialog(const FileDialogRequest& request) override;
    FileDialogResult OpenFileDialog(const FileDialogRequest& request) override;
    void Beep(BeepKind kind) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    bool IsShiftHeld() override;

    // "Name (*.ext)" for each filter, in order.
    static QStringList NameFilters(const std::vector<FileFilter>& filters);

private:
    FileDialogResult RunFileDialog(const FileDialogRequest& request, bool save);

    QPointer<QWidget> parent_;
    int waitDepth_ = 0;
};

}  // namespace zorvane
