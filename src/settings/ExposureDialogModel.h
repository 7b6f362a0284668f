#pragma once

#include <optional>
#include <string>
#include <vector>

#include "camera/ExposureSettings.h"
#include "files/ImageSaver.h"

namespace zorvane {

// Control ids of the "Exposure" dialog (also the widgets' object names).
namespace exposure_ids {
constexpr int kExposureEdit = 1000;
constexpr int kSpinMinutes = 1068;
constexpr int kSpinSeconds = 1069;
constexpr int kSpinFine = 1070;
constexpr int kDelayEdit = 1002;
constexpr int kLock = 1099;
constexpr int kTrig = 1115;
constexpr int kAutoExp = 1078;
constexpr int kDark = 1269;
constexpr int kSub = 1133;
constexpr int kPre = 1134;
constexpr int kBinX = 1003;
constexpr int kBinY = 1005;
constexpr int kStartX = 1006;
constexpr int kStartY = 1007;
constexpr int kWidth = 1008;
constexpr int kHeight = 1009;
constexpr int kFullFrame = 1044;
constexpr int kVbe = 1087;
constexpr int kAmpOff = 1035;
constexpr int kInCamPrecharge = 1013;
constexpr int kNoPrecharge = 1015;
constexpr int kFifo = 1066;
constexpr int kHighPriority = 1077;
constexpr int kAutosave = 1038;
constexpr int kBrowse = 1043;
constexpr int kSavePath = 1042;
constexpr int kSeqFormat = 1086;
constexpr int kNextDir = 1045;
constexpr int kSeqNo = 1047;
constexpr int kClose = 1067;

// The controls "Lock" disables.
inline constexpr int kLockedControls[12] = {kExposureEdit, kSpinMinutes, kSpinSeconds, kSpinFine,
                                            kBinX,         kBinY,        kStartX,      kStartY,
                                            kWidth,        kHeight,      kFullFrame,   kDelayEdit};
// Edits whose typing is applied two seconds after the last change.
bool IsTypingControl(int id);
}  // namespace exposure_ids

// What the dialog edits, in its own terms.
struct ExposureFields {
    float exposure = 0.01f;  // seconds
    float delay = 0.0f;
    int binXIndex = 0;  // binning - 1
    int binYIndex = 0;  // 0 "=X", else the binning
    int startX = 0, startY = 0, width = 0, height = 0;
    bool ampOff = true;
    bool inCamPrecharge = true;
    bool noPrecharge = false;
    bool autosave = false;
    std::string savePath;
    int sequenceNumber = 0;
    int sequenceFormat = 0;
    bool fifo = false;
    bool highPriority = false;
    bool autoExp = false;
    bool vbe = false;
    bool lock = false;
    bool trig = false;
    bool dark = false;
    bool sub = false;
    bool pre = false;
};

// The state of the dialog's controls: edit texts as typed, check boxes, list selections and
// contents, which controls are shown and whether the locked ones are enabled.
struct ExposureControls {
    std::string exposure = "0.01";
    std::string delay = "0";
    int binX = 0;  // list selection
    int binY = 0;
    std::string startX = "0", startY = "0", width = "0", height = "0";
    bool ampOff = true;
    bool inCamPrecharge = true;
    bool noPrecharge = false;
    bool autosave = false;
    std::string savePath;
    std::string sequenceNumber = "0";
    int sequenceFormat = 0;  // list selection; -1 when the typed text names no entry
    bool fifo = false;
    bool highPriority = false;
    bool autoExp = false;
    bool vbe = false;
    bool lock = false;
    bool trig = false;
    bool dark = false;
    bool sub = false;
    bool pre = false;

    std::vector<std::string> binXItems{"1"};
    std::vector<std::string> binYItems{"=X", "1"};

    // Shown by the camera's capabilities; "Lock" is always shown, "AutoExp", "Amp off…",
    // the two precharge boxes and "High Priority" never.
    bool fifoVisible = false;
    bool vbeVisible = false;
    bool subVisible = false;
    bool preVisible = false;
    bool trigVisible = false;
    bool darkVisible = false;

    bool lockedControlsEnabled = true;  // the twelve controls "Lock" disables
};

// What the dialog needs to know about the camera.
struct ExposureCameraFacts {
    int cameraFlags = 0;  // 2 Trig, 4 Pre, 8 Sub, 16 Dark; any bit shows FIFO
    int sensorFlags = 0;  // bit 0: VBE
    int maxBinX = 8;
    int maxBinY = 8;
    int pixelsX = 0;
    int pixelsY = 0;
};

enum class ExposureSpin { Minutes, Seconds, Fine };

// The Exposure dialog without its window: the exchange between controls and fields with the
// standard validation, the refresh from the main window's settings, the copy back, and the
// spin-button arithmetic.
class ExposureDialogModel {
public:
    static constexpr float kMaxSeconds = 10000.0f;
    static constexpr float kMinExposure = 0.001f;

    struct Failure {
        int controlId = 0;
        std::string message;
    };

    ExposureFields fields;
    ExposureControls controls;
    bool nextDirRequested = false;  // "Next dir." pressed; consumed by the next apply

    // Main window → dialog: which controls show, the binning lists, every field; then the
    // controls show the fields.
    void Refresh(const ExposureSettings& s, const FileSettings& f, const ExposureCameraFacts& cam);
    // Controls into fields, in the exchange order. Stops at the first value that does not
    // validate: the fields before it are taken, it and the ones after keep their values.
    std::optional<Failure> Take();
    // Fields into controls, with the locked controls' enabled state.
    void Show();
    // Fields into the main window's settings (binning not yet limited).
    void CopyTo(ExposureSettings& s, FileSettings& f) const;

    // "&Full frame": the whole sensor into the subframe controls.
    void FullFrame(const ExposureCameraFacts& cam);

    // One click of a spin button on an exposure (up = longer), rounded as the buttons round.
    static float SpinExposure(float exposure, ExposureSpin spin, bool up);

    // Floats as the dialog shows them ("%g").
    static std::string FormatFloat(float value);
};

}  // namespace zorvane
