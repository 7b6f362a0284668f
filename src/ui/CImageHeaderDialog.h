#pragma once

#include <QDialog>

#include "files/ImageHeaderSettings.h"

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace zorvane {

// The modal "Image File Header" dialog: Object, Telescope and Observer texts (at most 57
// characters each), the telescope's focal length and the tenths-of-a-second choice for
// DATE-OBS. Controls are named by their ids: 1056 Object, 1057 Telescope, 1059 Observer, 1062
// focal length, 1270 the check box, 1 OK, 2 Cancel.
class CImageHeaderDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kObjectEdit = 1056;
    static constexpr int kTelescopeEdit = 1057;
    static constexpr int kObserverEdit = 1059;
    static constexpr int kTimePrecisionCheck = 1270;
    static constexpr int kFocalLengthSpin = 1062;

    explicit CImageHeaderDialog(const ImageHeaderSettings& values, QWidget* parent = nullptr);

    // The values as the controls hold them; after OK, the accepted values.
    ImageHeaderSettings Values() const;

    // Runs the dialog; on OK `values` takes the new values, on Cancel it stays unchanged.
    static bool Edit(ImageHeaderSettings& values, QWidget* parent = nullptr);

public slots:
    // Refuses texts over the limit: message, focus back to the field, the dialog stays open.
    void accept() override;

private:
    QLineEdit* object_ = nullptr;
    QLineEdit* telescope_ = nullptr;
    QLineEdit* observer_ = nullptr;
    QCheckBox* timePrecision_ = nullptr;
    QSpinBox* focalLength_ = nullptr;
};

}  // namespace zorvane
