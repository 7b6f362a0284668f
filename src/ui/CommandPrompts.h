#pragma once

#include <QString>

namespace zorvane {

// The prompt of a command: the status-bar text shown while its menu item is highlighted, and
// the toolbar tooltip (the part after the line break). Empty for commands without one.
QString CommandStatusTip(int id);
QString CommandToolTip(int id);

}  // namespace zorvane
