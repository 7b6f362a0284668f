#pragma once

#include <QGroupBox>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace zorvane {

struct SequenceGuideOptions;

// The Sequencer dialog's "Guiding" box: whether the sequence guides and through which guider,
// dithering, what counts as settled, what a failed settle and a lost star do, and the guider's
// state. Edits go straight into the options, as the dialog's other controls do.
class CSequencerGuidingBox : public QGroupBox {
    Q_OBJECT
public:
    CSequencerGuidingBox(SequenceGuideOptions& options, QWidget* parent = nullptr);

    // The guider's state line, read at each Refresh.
    void SetStateSource(std::function<std::string()> source) { stateSource_ = std::move(source); }
    void Refresh();

    // "host:port" (or a host alone: port 4400) into host and port; false when it is neither.
    static bool ParseAddress(const QString& text, std::string& host, int& port);

private:
    void TakeAddress();

    SequenceGuideOptions& options_;
    std::function<std::string()> stateSource_;
    QCheckBox* guide_;
    QLineEdit* address_;
    QSpinBox* ditherEvery_;
    QDoubleSpinBox* ditherPixels_;
    QCheckBox* raOnly_;
    QDoubleSpinBox* settlePixels_;
    QSpinBox* settleTime_;
    QSpinBox* settleTimeout_;
    QComboBox* onFailure_;
    QSpinBox* lostLimit_;
    QLabel* state_;
    bool showing_ = false;
};

}  // namespace zorvane
