#pragma once

#include <optional>
#include <string>

namespace zorvane {

// What the Display dialog edits, in the dialog's own terms.
struct DisplayFields {
    bool aspect = true;
    bool negative = false;
    bool nightVision = false;
    float logValue = 0.0f;  // gamma as the dialog shows it, -10..10
    int white = 65535;
    int black = 0;
    bool autoStretch = true;
    bool reticle = false;
};

// The state of the dialog's controls: edit texts as typed, check boxes, slider positions.
struct DisplayControls {
    bool aspect = true;
    bool negative = false;
    bool nightVision = false;
    std::string log = "0";
    std::string white = "65535";
    std::string black = "0";
    bool autoStretch = true;
    bool reticle = false;
    int blackTrack = -32768;     // black - 32768
    int whiteTrack = 32767;      // white - 32768
    int logTrack = 0;            // log value × 10
    int zoomTrack = 0;           // zoom level
    bool levelsEnabled = false;  // black and white edits and sliders
};

// Control ids of the dialog (also the widgets' object names).
namespace display_ids {
constexpr int kBlackEdit = 1032;
constexpr int kWhiteEdit = 1033;
constexpr int kLogEdit = 1034;
constexpr int kBlackSpin = 1096;
constexpr int kWhiteSpin = 1097;
constexpr int kLogSpin = 1098;
constexpr int kBlackTrack = 1049;
constexpr int kWhiteTrack = 1050;
constexpr int kLogTrack = 1051;
constexpr int kZoomTrack = 1055;
constexpr int kAutoStretch = 1048;
constexpr int kNegative = 1028;
constexpr int kAspect = 1030;
constexpr int kNightVision = 1031;
constexpr int kReticle = 1080;
constexpr int kClose = 1067;
}  // namespace display_ids

// The Display dialog's data exchange: fields to controls and back with validation, the slider
// positions that follow the fields, and the slider and arrow handlers. No widgets here; the
// dialog window copies its widgets into `controls` and back.
class DisplayDialogModel {
  public:
    struct Failure {
        int controlId = 0;
        std::string message;
    };

    DisplayFields fields;
    DisplayControls controls;

    // Controls into fields, in the order aspect, negative, night vision, log, white, black, auto
    // stretch, reticle. Stops at the first value that does not validate: the fields before it
    // are taken, it and the ones after keep their old values, and the sliders are not touched.
    std::optional<Failure> Take();
    // Fields into controls, with the sliders and the enabled state.
    void Show();
    // Only the black and white fields into their controls and sliders (a new frame's
    // automatic levels): whatever else is being edited stays as typed.
    void ShowLevels();

    // A slider was moved: the matching edit shows its value.
    void OnBlackTrack(int position);
    void OnWhiteTrack(int position);
    void OnLogTrack(int position);
    // The log arrows: one tenth up or down, kept within -10..10 (on the fields; Show follows).
    void StepLog(bool up);

    static std::string FormatFloat(float value);    // as the dialog shows floats
    static std::string FormatTenths(double value);  // "%1.1f"

  private:
    void FollowFields();
};

}  // namespace zorvane
