#pragma once

#include <QDialog>
#include <QString>

namespace zorvane {

// The modal "About Zorvane Capture..." box: the program's picture, its version, the camera
// library in use and the filter-wheel component.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(const QString& versionText, const QString& libraryLine,
                const QString& filterWheelLine, QWidget* parent = nullptr);
};

}  // namespace zorvane
