#pragma once

#include <QDialog>
#include <QList>
#include <memory>

#include "app/ExposureDialogController.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace zorvane {

class QtTimerService;
class UpDownButtons;

// The modeless "Exposure" dialog: exposure time and delay with three spin buttons, binning,
// subframe, camera modes and the autosave file settings. Every widget is named by its control
// id ("1000", "1068", …), the never-shown ones included; the controller holds the values and
// the rules, the widgets only show them and report what the user did.
class CExposureDialog : public QDialog, public ExposureDialogView {
    Q_OBJECT
public:
    // `shortcuts` are the main window's actions, so their keys keep working in the dialog.
    // `typingTimer` runs the two-second typing timer; by default the dialog's own Qt timer.
    CExposureDialog(ExposureDialogController& controller, QWidget* parent = nullptr,
                    const QList<QAction*>& shortcuts = {}, TimerService* typingTimer = nullptr);
    ~CExposureDialog() override;

    // The main window's settings into the dialog.
    void Refresh();
    // Auto exposure's new time in the exposure box ("%g").
    void SetExposureText(float seconds);
    // "Set &Exp": the focus into the exposure box.
    void FocusExposureEdit();

    // ---- ExposureDialogView ----
    void ReadControls(ExposureControls& controls) override;
    void ShowControls(const ExposureControls& controls) override;
    void FocusControl(int id) override;

public slots:
    // Escape: apply, then hide.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* MakeEdit(int id);
    QCheckBox* MakeCheck(int id, const QString& text);
    QPushButton* MakeButton(int id, const QString& text);
    UpDownButtons* MakeSpin(int id, ExposureSpin spin);
    void CloseDialog();

    ExposureDialogController& controller_;
    std::unique_ptr<QtTimerService> ownTimer_;
    bool showing_ = false;  // widgets are being set from the controls

    QLineEdit* exposure_;
    QLineEdit* delay_;
    UpDownButtons* spinMinutes_;
    UpDownButtons* spinSeconds_;
    UpDownButtons* spinFine_;
    QCheckBox* lock_;
    QCheckBox* trig_;
    QCheckBox* autoExp_;
    QCheckBox* dark_;
    QCheckBox* sub_;
    QCheckBox* pre_;
    QComboBox* binX_;
    QComboBox* binY_;
    QLineEdit* startX_;
    QLineEdit* startY_;
    QLineEdit* width_;
    QLineEdit* height_;
    QPushButton* fullFrame_;
    QCheckBox* vbe_;
    QCheckBox* ampOff_;
    QCheckBox* inCamPrecharge_;
    QCheckBox* noPrecharge_;
    QCheckBox* fifo_;
    QCheckBox* highPriority_;
    QCheckBox* autosave_;
    QPushButton* browse_;
    QLineEdit* savePath_;
    QComboBox* seqFormat_;
    QPushButton* nextDir_;
    QLineEdit* seqNo_;
    QPushButton* close_;
};

}  // namespace zorvane
