#pragma once

#include <QDialog>
#include <QString>

class QLabel;

namespace zorvane {

// The modal "Camera Info" box: model, manufacturer, serial and protocol lines and OK.
class CameraInfoDialog : public QDialog {
    Q_OBJECT
public:
    CameraInfoDialog(const QString& model, const QString& manufacturer, const QString& serial,
                     const QString& protocol, QWidget* parent = nullptr);
};

}  // namespace zorvane
