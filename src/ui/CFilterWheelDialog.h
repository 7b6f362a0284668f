#pragma once

#include <QDialog>

#include "filterwheel/FilterDialogModel.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace zorvane {

// The modeless "Filter Wheel" dialog: connects the wheel by hand and moves it to the position
// chosen in the list. Its rules are the core's FilterDialogModel; Close hides it.
class CFilterWheelDialog : public QDialog {
    Q_OBJECT
public:
    CFilterWheelDialog(FilterDialogHost& host, QWidget* parent = nullptr);

    // RefreshFilterDialog: the wheel's state into the controls.
    void RefreshFilterDialog();

    QLabel* TypeText() const { return type_; }
    QPushButton* ConnectButton() const { return button_; }
    QComboBox* PositionList() const { return list_; }

private:
    void Show(const FilterDialogView& view);
    void OnConnectButton();
    void OnPositionChosen(int index);

    FilterDialogModel model_;
    QLabel* type_;
    QPushButton* button_;
    QComboBox* list_;
    bool showing_ = false;  // filling the list is not a choice by the user
};

}  // namespace zorvane
