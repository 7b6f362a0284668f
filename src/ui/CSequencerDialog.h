#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <array>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zorvane {

class CSequencerGuidingBox;
class SequenceEngine;
class SequenceModel;
class UpDownButtons;

// The modeless "Sequencer" dialog: ten rows of line controls, the four sequence settings,
// Load/Save, Run/Stop, Close, a status line and the red closing note. Every edit goes straight
// into the sequence model, which the engine reads at each step; Refresh shows the model and
// the engine's state. Widgets are named by their control ids.
class CSequencerDialog : public QDialog {
    Q_OBJECT
public:
    CSequencerDialog(SequenceModel& model, const SequenceEngine& engine, QWidget* parent = nullptr);

    // The model, status line, Run/Stop text, note and title into the widgets.
    void Refresh();
    void SetRunEnabled(bool enabled);
    // Only the progress line (frame n of N, the time left).
    void RefreshProgress();
    // The guider's state line of the guiding box.
    void SetGuiderStateSource(std::function<std::string()> source);

    // Control ids of line `line` (0-based), in the order enabled, exposure, exposure spin,
    // binning, filter, filter spin, suffix, command.
    static std::array<int, 8> LineControlIds(int line);

signals:
    void runPressed();
    void loadPressed();
    void savePressed();
    // Close, Escape or the window's close box: the main window's sequencer command decides.
    void closeRequested();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Row {
        QCheckBox* enabled;
        QLineEdit* exposure;
        UpDownButtons* exposureSpin;
        QComboBox* binning;
        QLineEdit* filter;
        UpDownButtons* filterSpin;
        QLabel* filterName;  // the wheel's name for the line's filter
        QLineEdit* suffix;
        QLineEdit* command;
    };
    QLineEdit* MakeEdit(int id, int width, int maxLength);
    UpDownButtons* MakeSpin(int id);
    void BuildRow(int line);
    void StepExposure(int line, int delta, UpDownButtons* spin);
    void ShowBinningList(QComboBox* combo, int selection);
    void ShowFilterName(int line);

    SequenceModel& model_;
    const SequenceEngine& engine_;
    std::array<Row, 10> rows_{};
    QElapsedTimer held_;  // how long an exposure spin's arrow has been held
    QComboBox* repeatMode_;
    QLineEdit* repeat_;
    QLineEdit* delay_;
    QLineEdit* delayStart_;
    QPushButton* run_;
    QLabel* status_;
    QLabel* progress_;  // frame n of N and the time left
    CSequencerGuidingBox* guiding_;
    QLabel* note_;
    bool showing_ = false;  // widgets are being set from the model
};

}  // namespace zorvane
