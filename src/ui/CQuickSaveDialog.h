#pragma once

#include <QDialog>
#include <array>

#include "settings/QuickPresets.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace zorvane {

class SettingsController;

// The modal "Save quick settings" dialog: which key (F1-F8), its title, what it starts and what
// it restores. Controls by id: 1089 Key, 1090 Title, 1095 AutoImage mode, 1093 "Save Exposure
// settings", 1094 "Save Subframe settings", 1 OK, 2 Cancel.
class CQuickSaveDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kKeyList = 1089;
    static constexpr int kTitleEdit = 1090;
    static constexpr int kModeList = 1095;
    static constexpr int kSaveExposureCheck = 1093;
    static constexpr int kSaveSubframeCheck = 1094;

    explicit CQuickSaveDialog(const std::array<QuickPreset, 8>& presets, QWidget* parent = nullptr);

    // The fields as the controls hold them.
    QuickSaveForm Form() const;

    // The "&Save..." command: runs the dialog; OK stores the chosen preset (title, flags and
    // the current settings). True on OK.
    static bool Run(SettingsController& settings, QWidget* parent = nullptr);

private:
    void ShowForm(const QuickSaveForm& form);
    void OnKeyChanged(int key);

    std::array<QuickPreset, 8> presets_;
    int shownKey_ = 0;
    bool showing_ = false;
    QComboBox* key_;
    QLineEdit* title_;
    QComboBox* mode_;
    QCheckBox* saveExposure_;
    QCheckBox* saveSubframe_;
};

}  // namespace zorvane
