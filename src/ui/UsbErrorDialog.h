#pragma once

#include <QDialog>

namespace zorvane {

// The modeless "USB Error!" warning. It reports its closing (OK, Cancel, Escape or the title
// bar) through finished(); the owner then forgets it, so a later error shows it again.
class UsbErrorDialog : public QDialog {
    Q_OBJECT
public:
    explicit UsbErrorDialog(QWidget* parent = nullptr);
};

}  // namespace zorvane
