#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/Prompts.h"

namespace zorvane::test {

// Answers the core's questions from a script, in order, and records everything it was asked.
// With the script used up it gives the answer a cautious user would: Ok, No, Cancel or Ignore.
class ScriptedPrompts : public Prompts {
public:
    struct Message {
        std::string text;
        std::string caption;
        MessageButtons buttons;
        MessageIcon icon;
    };

    std::deque<MessageAnswer> answers;
    std::deque<FileDialogResult> saveResults;
    std::deque<FileDialogResult> openResults;
    bool shiftHeld = false;
    // Called while a message is up, before it is answered (what the user sees behind it).
    std::function<void(const std::string& text)> whileShown;

    std::vector<Message> messages;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<FileDialogRequest> openRequests;
    std::vector<BeepKind> beeps;
    int waitDepth = 0;
    int waitCursorsShown = 0;

    MessageAnswer MessageBox(const std::string& text, const std::string& caption,
                             MessageButtons buttons, MessageIcon icon) override;
    FileDialogResult SaveFileDialog(const FileDialogRequest& request) override;
    FileDialogResult OpenFileDialog(const FileDialogRequest& request) override;
    void Beep(BeepKind kind) override { beeps.push_back(kind); }
    void BeginWaitCursor() override {
        if (waitDepth++ == 0) ++waitCursorsShown;
    }
    void EndWaitCursor() override { --waitDepth; }
    bool IsShiftHeld() override { return shiftHeld; }

    // Convenience for scripting a dialog answer.
    static FileDialogResult Chosen(std::string path, int filterIndex);
};

}  // namespace zorvane::test
