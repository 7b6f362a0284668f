#pragma once

#include <array>
#include <string>

#include "app/AppState.h"
#include "camera/ExposureSettings.h"
#include "files/ImageSaver.h"

namespace zorvane {

// The view's persisted display state.
struct DisplayValues {
    int panX = 0;
    int panY = 0;
    int zoom = 0;
    float gamma = 1.0f;
    bool invert = false;
    bool nightVision = false;
    bool aspect = true;
    bool reticle = false;
    bool autoLevel = true;
    int previewMode = 0;    // 0 raw, 1 colour, 2 luminance
    int userBayerCode = 4;  // 0-3 fixed offsets, 4 automatic
};

// A modeless dialog's section: whether it is open and where. -10000 = no stored position.
struct DialogSection {
    static constexpr int kNoPosition = -10000;
    bool exists = false;  // the dialog has been created (its keys are written only then)
    bool show = false;    // visible now (saving) / open it at start-up (loading)
    int left = kNoPosition;
    int top = kNoPosition;
};

// The dialogs with a "Show, Left, Top" section, in the order the exit save writes them.
enum class SettingsDialog { Exposure, Cooler, Display, Sequencer, FilterWheel };
inline constexpr int kSettingsDialogCount = 5;

// The star tracking dialog keeps a position and its expanded state; its guide calibration and
// the guide output are written with it.
struct TrackingSection {
    bool exists = false;
    int left = DialogSection::kNoPosition;
    int top = DialogSection::kNoPosition;
    bool expand = false;
    GuideCalibration calibration;  // the dialog's current calibration (saving only)
};

// Everything the settings file holds, as plain values. The application copies its state in
// before a save and takes the loaded values back after a load.
struct SettingsValues {
    FileSettings files;
    std::array<QuickPreset, 8> presets{};
    ExposureSettings exposure;
    int32_t coolingSetpoint = 500;
    DisplayValues display;
    FocusSettings focus;
    GuidingSettings guiding;
    HeaderTexts header;
    WindowPlacement window;
    std::array<DialogSection, kSettingsDialogCount> dialogs{};
    TrackingSection tracking;
    std::string ascomScopeId;
    EventServerSettings eventServer;

    // Facts the rules depend on; never stored.
    int sensorWidth = 0;  // defaults of the subframe
    int sensorHeight = 0;
    bool automaticColour = false;  // the camera decides the Bayer code
    std::string homeDirectory;     // the default save path lies here

    DialogSection& Dialog(SettingsDialog d) { return dialogs[static_cast<int>(d)]; }
    const DialogSection& Dialog(SettingsDialog d) const { return dialogs[static_cast<int>(d)]; }
};

}  // namespace zorvane
