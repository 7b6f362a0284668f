#pragma once

#include <optional>
#include <string>

namespace zorvane {

class CaptureApp;

// How a command looks in menus and on the toolbar.
struct CommandUi {
    bool enabled = true;
    bool checked = false;
    std::optional<std::string> text;  // replaces the menu text when set ("Dis&connect")
};

// The main window's commands that the core carries out, and how every command shows (enable,
// check, text), worked out from the core's state in one place. A command that would take the
// camera from the activity holding it shows disabled.
class CommandTable {
public:
    explicit CommandTable(CaptureApp& app) : app_(app) {}

    // False when the id is not one of the core's commands.
    bool Execute(int id);
    CommandUi State(int id);

private:
    CaptureApp& app_;
};

}  // namespace zorvane
