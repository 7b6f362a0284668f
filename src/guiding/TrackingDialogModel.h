#pragma once

#include <string>

#include "guiding/GuidingObserver.h"
#include "guiding/GuidingSettings.h"
#include "guiding/StarMeasurement.h"

namespace zorvane {

// The Star Tracking dialog's values: the working copies of the tracking and guiding settings
// that its controls edit, the current guide calibration and the last star measurement. The
// dialog shows them; GuidingEngine changes them.
struct TrackingDialogModel {
    bool exists = false;  // created (the settings are saved with it from then on)
    bool visible = false;
    bool initialised = false;   // edits act only from here on
    bool setupGuiding = false;  // expanded
    int measureRadius = 8;
    int searchRadius = 15;
    int guideAxes = 0;
    int minGuide = 200;
    int maxGuide = 2000;
    int calibrationTime = 3000;
    bool autoguide = false;
    int feedbackRA = 5;
    int feedbackDec = 5;
    int focalLength = 0;  // mm; 0 = not known
    GuideFigures figures;
    StarMeasurement star;
    GuideCalibration calibration;
    unsigned pulseMarks = 0;  // bit d lit while a pulse of direction d is being sent
    GuideOutput output = GuideOutput::CameraPort;  // the "Connect" box ticked: the mount
    std::string driverName = "ASCOM";
    // The charts' statistics as last drawn (the "Last" values are the history's).
    float decAverage = 0, decDeviation = 0, raAverage = 0, raDeviation = 0;
};

// The "Guide axes" choices in their order.
inline constexpr const char* kGuideAxesTexts[8] = {"RA,Dec",   "RA,Dec+",   "RA,Dec-",   "RA only",
                                                   "Dec only", "Dec+ only", "Dec- only", "None"};

}  // namespace zorvane
