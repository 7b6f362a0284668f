#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zorvane {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, AbortRetryIgnore, RetryCancel };
enum class MessageIcon { None, Information, Exclamation, Stop, Question };
enum class MessageAnswer { Ok, Cancel, Abort, Retry, Ignore, Yes, No };
enum class BeepKind { Default, Exclamation, Stop };

struct FileFilter {
    std::string name;     // "Fits (16 bit)"
    std::string pattern;  // "*.fit"
};

struct FileDialogRequest {
    std::string title;               // "Save image as..."
    std::vector<FileFilter> filters; // in order; indices are 1-based as in the dialog
    std::string initialPath;         // preset file name (may be empty)
    int presetFilter = 0;            // 1-based; 0 = none (the dialog's first filter)
    bool pathMustExist = true;
    bool fileMustExist = false;      // open dialogs
    bool confirmOverwrite = false;   // save dialogs that ask before overwriting
};

struct FileDialogResult {
    enum class Status { Ok, Cancelled, InvalidFileName, Failed };
    Status status = Status::Cancelled;
    std::string path;    // the chosen name, as typed or picked
    int filterIndex = 0; // 1-based filter the user had selected
};

// Everything the core asks of the person at the keyboard. The Qt layer shows real dialogs;
// tests use a scripted double that answers in order and records what was asked.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual MessageAnswer MessageBox(const std::string& text, const std::string& caption,
                                     MessageButtons buttons, MessageIcon icon) = 0;
    virtual FileDialogResult SaveFileDialog(const FileDialogRequest& request) = 0;
    virtual FileDialogResult OpenFileDialog(const FileDialogRequest& request) = 0;
    virtual void Beep(BeepKind kind) = 0;
    // Nested calls are counted; the cursor is restored when the count returns to zero.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    virtual bool IsShiftHeld() = 0;
};

// Shows the wait cursor for the lifetime of the object, restored on every way out.
class WaitCursor {
public:
    explicit WaitCursor(Prompts& prompts) : prompts_(prompts) { prompts_.BeginWaitCursor(); }
    ~WaitCursor() { prompts_.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    Prompts& prompts_;
};

}  // namespace zorvane
