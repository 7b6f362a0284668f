#pragma once

#include <QDialog>
#include <QList>
#include <memory>

#include "guiding/DeviationHistory.h"
#include "guiding/GuidingEngine.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zorvane {

class UpDownButtons;

// One deviation chart with its two pulse lamps, drawn from the plot the guiding engine worked
// out (zero line, polyline, lamps); the widget only paints.
class DeviationChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int kFrameWidth = 203;  // a pixel of edge, 200 slots, two of edge
    static constexpr int kFrameHeight = 72;
    DeviationChart(int id, QWidget* parent);
    // The chart's frame in the widget's coordinates.
    static Rect Frame() { return Rect{0, 0, kFrameWidth, kFrameHeight}; }
    void SetPlot(const DeviationPlot& plot);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DeviationPlot plot_;
};

// The modeless "Star Tracking [Focus + Autoguiding]" dialog: the measured star's brightness
// and width in large type, the two radii, and, when "Setup Guiding" is ticked, the guiding
// settings and the two deviation charts. Its values are the guiding engine's model; every edit
// goes to the engine, which decides what is taken.
class CTrackingDialog : public QDialog {
    Q_OBJECT
public:
    CTrackingDialog(GuidingEngine& engine, QWidget* parent, const QList<QAction*>& shortcuts = {});
    ~CTrackingDialog() override;

    // Every field from the model; the size follows "Setup Guiding".
    void ShowModel();
    // Both charts and their six value fields; `now` repaints before returning.
    void RefreshCharts(bool now);

    QWidget* HelpDialog() const { return help_.get(); }
    DeviationChart* Chart(DeviationHistory::Axis axis) const { return charts_[axis]; }
    QSize CollapsedSize() const { return collapsed_; }
    QSize ExpandedSize() const { return expanded_; }

private:
    QLineEdit* MakeEdit(int id, GuidingEngine::Field field, int width = 48);
    UpDownButtons* MakeSpin(int id, QLineEdit* buddy, int lo, int hi);
    QLineEdit* MakeValueField(int id);
    void ApplySize();
    void ToggleHelp();

    GuidingEngine& engine_;
    bool filling_ = false;
    QLabel* briLabel_;
    QLabel* fwhmLabel_;
    QLineEdit* bri_;
    QLineEdit* fwhm_;
    QLabel* prompt_;
    QList<QPair<QLineEdit*, GuidingEngine::Field>> edits_;
    QComboBox* axes_;
    QCheckBox* setup_;
    QCheckBox* autoguide_;
    QCheckBox* connect_;
    QPushButton* calibrate_;
    QPushButton* autoSelect_;
    QLabel* rms_;
    QPushButton* chooser_;
    QLabel* driver_;
    QWidget* guiding_;
    DeviationChart* charts_[2];
    QLabel* chartLabels_[2][2];
    QLineEdit* values_[2][3];
    QSize collapsed_, expanded_;
    std::unique_ptr<QDialog> help_;
};

}  // namespace zorvane
