#include "support/ScriptedPrompts.h"

namespace zorvane::test {

MessageAnswer ScriptedPrompts::MessageBox(const std::string& text, const std::string& caption,
                                          MessageButtons buttons, MessageIcon icon) {
    messages.push_back({text, caption, buttons, icon});
    if (whileShown) whileShown(text);
    if (!answers.empty()) {
        MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        case MessageButtons::AbortRetryIgnore:
            return MessageAnswer::Ignore;
        default:
            return MessageAnswer::Cancel;
    }
}

FileDialogResult ScriptedPrompts::SaveFileDialog(const FileDialogRequest& request) {
    saveRequests.push_back(request);
    if (saveResults.empty()) return {};
    FileDialogResult r = saveResults.front();
    saveResults.pop_front();
    return r;
}

FileDialogResult ScriptedPrompts::OpenFileDialog(const FileDialogRequest& request) {
    openRequests.push_back(request);
    if (openResults.empty()) return {};
    FileDialogResult r = openResults.front();
    openResults.pop_front();
    return r;
}

FileDialogResult ScriptedPrompts::Chosen(std::string path, int filterIndex) {
    FileDialogResult r;
    r.status = FileDialogResult::Status::Ok;
    r.path = std::move(path);
    r.filterIndex = filterIndex;
    return r;
}

}  // namespace zorvane::test
