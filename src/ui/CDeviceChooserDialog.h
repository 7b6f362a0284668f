#pragma once

#include <QDialog>
#include <optional>

#include "telescope/DeviceChooser.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace zorvane {

// The modal device chooser: the INDI server (editable, with Refresh), its devices of the asked
// kind, and what was found. OK takes the selected device (a double-click too); Cancel none.
// Children by object name: "server", "refresh", "devices", "status", "ok", "cancel".
class CDeviceChooserDialog : public QDialog {
    Q_OBJECT
public:
    CDeviceChooserDialog(DeviceChooserModel& model, QWidget* parent);
    // The chosen row after OK.
    int SelectedIndex() const;

private:
    void Refresh();
    void ShowModel();

    DeviceChooserModel& model_;
    QLineEdit* server_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QListWidget* devices_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// Shows the chooser above the window the user is working in (the main window when none).
class QtDeviceChooser : public DeviceChooserUi {
public:
    explicit QtDeviceChooser(QWidget* fallbackParent) : fallbackParent_(fallbackParent) {}
    std::optional<int> RunChooser(DeviceChooserModel& model) override;

private:
    QWidget* fallbackParent_;
};

}  // namespace zorvane
