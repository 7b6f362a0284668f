#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zorvane {

struct CoolerDialogModel;
class UpDownButtons;

// The modeless "Cooler" dialog: shows the cooler's model and reports spin steps and presses of
// the on / warm-up button. It holds nothing of its own; Close hides it.
class CoolerDialog : public QDialog {
    Q_OBJECT
public:
    explicit CoolerDialog(QWidget* parent = nullptr);

    void ShowModel(const CoolerDialogModel& model);
    // After a spin step only the value box changes.
    void ShowEditText(const CoolerDialogModel& model);

    QPushButton* OnOffButton() const { return button_; }
    QLabel* ModeLabel() const { return label_; }
    QLineEdit* ValueEdit() const { return edit_; }
    UpDownButtons* Spin() const { return spin_; }
    QLabel* StatusLine() const { return status_; }
    QLabel* TemperatureLine() const { return temperature_; }

signals:
    void spinStepped(int delta);
    void onOffPressed();

private:
    QPushButton* button_;
    QLabel* label_;
    QLineEdit* edit_;
    UpDownButtons* spin_;
    QLabel* status_;
    QLabel* temperature_;
};

}  // namespace zorvane
