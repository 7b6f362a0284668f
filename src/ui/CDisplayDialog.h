#pragma once

#include <QDialog>
#include <QList>
#include <QTimer>

class QAction;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QWidget;

namespace zorvane {

class ImageView;

// The modeless "Display" dialog: black and white levels, the log (gamma) value, the zoom and
// the display switches. Every change goes to the view at once, typing one second after the
// last key. The values live in the view's DisplayDialogModel; the widgets (named by their
// control ids, "1032" and so on) show it.
class CDisplayDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTypingDelayMs = 1000;

    // `shortcuts` are the main window's actions, so their keys keep working in the dialog.
    CDisplayDialog(ImageView& view, QWidget* parent, const QList<QAction*>& shortcuts = {});
    ~CDisplayDialog() override;

    // The model's controls into the widgets.
    void ShowControls();
    // The model's black and white levels into their edits and sliders; an edit being typed in
    // (it has the focus, or the typing timer runs) keeps its text.
    void ShowLevels();
    void SetZoomSlider(int level);
    // Moves to the view's remembered place, when it has one.
    void MoveToRemembered();
    // Takes the widgets' values (a value that does not validate is reported and stops the
    // ones after it), then applies the dialog to the view.
    void Apply();

    QTimer& TypingTimer() { return typingTimer_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ReadControls();
    void OnEdited();
    void StepLevel(QLineEdit* edit, int delta);
    void StepLog(bool up);
    void OnSlider(QSlider* slider, int value);
    void CloseDialog();
    void RememberPlacement();

    ImageView& view_;
    QLineEdit* black_;
    QLineEdit* white_;
    QLineEdit* log_;
    QWidget* blackSpin_;
    QWidget* whiteSpin_;
    QWidget* logSpin_;
    QSlider* blackTrack_;
    QSlider* whiteTrack_;
    QSlider* logTrack_;
    QSlider* zoomTrack_;
    QCheckBox* autoStretch_;
    QCheckBox* negative_;
    QCheckBox* aspect_;
    QCheckBox* nightVision_;
    QCheckBox* reticle_;
    QPushButton* close_;
    QTimer typingTimer_;
    bool showing_ = false;   // widgets are being set from the model
    bool applying_ = false;  // an Apply is running (its message box takes the focus)
};

}  // namespace zorvane
