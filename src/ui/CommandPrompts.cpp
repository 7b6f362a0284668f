#include "ui/CommandPrompts.h"

#include "core/CommandIds.h"

namespace zorvane {

namespace {

struct Prompt {
    int id;
    const char* text;  // "status text\ntooltip"
};

// UTF-8: the rotate prompt carries a degree-like ordinal sign.
constexpr Prompt kPrompts[] = {
    {ids::ID_VIEW_EXPOSURE, "Camera exposure settings\nExposure"},
    {ids::ID_CAMERA_LOOP, "Take continuous exposures\nLoop"},
    {ids::ID_FILE_SAVE_AS, "Save the current image\nSave as"},
    {ids::ID_VIEW_DISPLAY, "Adjust the display parameters\nSet display options"},
    {ids::ID_CAMERA_SNAPSHOT, "Take a single exposure\nSnapshot"},
    {ids::ID_FILE_AUTOSAVE, "Automatically save images with sequential filenames\nAutosave"},
    {ids::ID_CAMERA_SUBFRAME,
     "Define subframe for imaging (left-drag in image)\nSubframe definition"},
    {ids::ID_CAMERA_ROTATE, "Rotate images 180\u00ba after capture\nRotate captured images"},
    {ids::ID_FILE_IMAGE_HEADER,
     "Additional information stored in FITs files.\nAdditional information"},
    {ids::ID_COLOUR_RAW, "Preview raw image data\nRaw"},
    {ids::ID_COLOUR_COLOUR, "Preview colour data (colour CCD only)\nColour"},
    {ids::ID_COLOUR_LUMINANCE, "Preview luminance data (colour CCD only)\nLuminance"},
    {ids::ID_QUICK_SAVE, "Save quick settings"},
    {ids::ID_CAMERA_LOCK,
     "Prevent accidental changes to exposure settings\nLock exposure settings"},
    {ids::ID_VIEW_COOLER, "Adjust and monitor cooler settings\nAdjust cooler settings"},
    {ids::ID_VIEW_TRACKING, "Star tracking for Focus Assist and Autoguiding\nTracking"},
    {ids::ID_GUIDE_AUTOSELECT, "Pick the best guide star in the image\nAuto-select star"},
    {ids::ID_GUIDE_SERVER,
     "Let other programs drive the guider over the guiding event protocol\nEvent server"},
    {ids::ID_GUIDE_LOG_FOLDER, "Open the folder of the guide logs\nGuide logs"},
    {ids::ID_CAMERA_SET_EXP, "Set focus to exposure edit box\nSet exposure time"},
    {ids::ID_CAMERA_SEQUENCER, "Take sequenced exposures\nSequencer"},
    {ids::ID_CAMERA_FILTER_WHEEL, "Control USB filter wheel\nFilter wheel"},
    {ids::ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ids::ID_APP_EXIT, "Quit the application; prompts to save documents\nExit"},
};

QString PromptPart(int id, bool tooltip) {
    for (const Prompt& p : kPrompts) {
        if (p.id != id) continue;
        const QString text = QString::fromUtf8(p.text);
        const qsizetype nl = text.indexOf(QLatin1Char('\n'));
        if (nl < 0) return tooltip ? QString() : text;
        return tooltip ? text.mid(nl + 1) : text.left(nl);
    }
    return {};
}

}  // namespace

QString CommandStatusTip(int id) {
    return PromptPart(id, false);
}
QString CommandToolTip(int id) {
    return PromptPart(id, true);
}

}  // namespace zorvane
