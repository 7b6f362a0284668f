#include "settings/SettingsStore.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>

#include "core/ScanDecimal.h"
#include "files/ImageHeaderSettings.h"
#include "platform/Paths.h"
#include "settings/QuickPresets.h"

namespace zorvane {

namespace {

constexpr const char* kFilenames = "Filenames";
constexpr const char* kQuick = "Quick";
constexpr const char* kFocus = "Focus";
constexpr const char* kGuiding = "Guiding";
constexpr const char* kEventServer = "EventServer";
constexpr const char* kHeader = "Header";
constexpr const char* kWindow = "Window";
constexpr const char* kTracking = "TrackingDialog";
constexpr const char* kAscom = "Ascom";

constexpr int kNoPosition = DialogSection::kNoPosition;

// The dialog sections by SettingsDialog.
constexpr const char* kDialogSections[kSettingsDialogCount] = {
    "ExpDialog", "CoolDialog", "DispDialog", "SeqDialog", "FilterDialog"};

const char* DialogSectionName(SettingsDialog d) {
    return kDialogSections[static_cast<int>(d)];
}

// What the program's own controls accept; a value outside is limited to it, so that it is
// never sent to the camera and goes back into the file sane.
constexpr float kMinExposure = 0.001f;   // the exposure dialog's shortest exposure
constexpr float kMaxSeconds = 10000.0f;  // the exposure and delay boxes' limit
constexpr int kSequenceFormats = 6;

float ReadSeconds(const IniDocument& doc, std::string_view section, std::string_view key,
                  float current, float minimum) {
    return std::clamp(SettingsStore::ReadFloatSetting(doc, section, key, current), minimum,
                      kMaxSeconds);
}

std::string NameKey(int n) {
    return "Name" + std::to_string(n);
}
std::string SnapKey(int n) {
    return "Snap" + std::to_string(n);
}

void ReadDialogSection(const IniDocument& doc, SettingsDialog d, SettingsValues& v) {
    DialogSection& s = v.Dialog(d);
    const char* section = DialogSectionName(d);
    s.show = SettingsStore::ReadFlagSetting(doc, section, "Show", s.show);
    s.left = SettingsStore::ReadIntSetting(doc, section, "Left", s.left);
    s.top = SettingsStore::ReadIntSetting(doc, section, "Top", s.top);
}

void WriteDialogSection(IniDocument& doc, SettingsDialog d, const SettingsValues& v) {
    const DialogSection& s = v.Dialog(d);
    const char* section = DialogSectionName(d);
    SettingsStore::WriteFlagSetting(doc, section, "Show", s.show);
    SettingsStore::WriteIntSetting(doc, section, "Left", s.left);
    SettingsStore::WriteIntSetting(doc, section, "Top", s.top);
}

// [Guiding] CameraRelays and CalibrationCameraRelays: 1 for the camera's port, 0 for the mount.
bool CameraPort(GuideOutput o) {
    return o == GuideOutput::CameraPort;
}
GuideOutput RelaysFlag(bool cameraPort) {
    return cameraPort ? GuideOutput::CameraPort : GuideOutput::TelescopeLink;
}

void WriteCalibrationSetup(IniDocument& doc, const CalibrationSetup& s) {
    SettingsStore::WriteFlagSetting(doc, kGuiding, "CalibrationRotate", s.rotate180);
    SettingsStore::WriteFlagSetting(doc, kGuiding, "CalibrationCameraRelays", CameraPort(s.output));
}

}  // namespace

SettingsStore::SettingsStore(std::string path)
    : path_(path.empty() ? SettingsFilePath() : std::move(path)) {}

std::string SettingsStore::SectionName(std::string_view base, int preset) {
    std::string name(base);
    if (preset > 0) name += std::to_string(preset);
    return name;
}

// ---------------------------------------------------------------------------------------------
// Encodings

void SettingsStore::WriteIntSetting(IniDocument& doc, std::string_view section,
                                    std::string_view key, int value) {
    doc.SetString(section, key, std::to_string(value));
}

void SettingsStore::WriteFlagSetting(IniDocument& doc, std::string_view section,
                                     std::string_view key, bool value) {
    doc.SetString(section, key, value ? "1" : "0");
}

void SettingsStore::WriteFloatSetting(IniDocument& doc, std::string_view section,
                                      std::string_view key, float value) {
    doc.SetString(section, key, FormatFloat(value));
}

void SettingsStore::WriteTextSetting(IniDocument& doc, std::string_view section,
                                     std::string_view key, std::string_view value) {
    // A text the file cannot hold (a line break) keeps its previous value in the file.
    doc.SetString(section, key, value);
}

int SettingsStore::ReadIntSetting(const IniDocument& doc, std::string_view section,
                                  std::string_view key, int current) {
    return doc.GetInt(section, key, current);
}

bool SettingsStore::ReadFlagSetting(const IniDocument& doc, std::string_view section,
                                    std::string_view key, bool current) {
    return doc.GetInt(section, key, current ? 1 : 0) != 0;
}

float SettingsStore::ReadFloatSetting(const IniDocument& doc, std::string_view section,
                                      std::string_view key, float current) {
    const std::string text = doc.GetString(section, key, FormatFloat(current));
    // Text that is not a number must not leave a made-up value behind.
    return ScanFloat(text).value_or(current);
}

std::string SettingsStore::ReadTextSetting(const IniDocument& doc, std::string_view section,
                                           std::string_view key, std::string_view defaultValue) {
    // Whole: a path on Linux reaches 4096 characters, and a cut one would be written back.
    return doc.GetString(section, key, defaultValue, IniDocument::kWholeValue);
}

std::string SettingsStore::FormatFloat(float value) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value),
                                   std::chars_format::fixed, 6);
    if (res.ec != std::errc()) return "0.000000";
    return std::string(buf, res.ptr);
}

std::optional<float> SettingsStore::ScanFloat(std::string_view text) {
    const std::optional<double> d = ScanDecimal(text);
    if (!d || std::fabs(*d) > FLT_MAX) return std::nullopt;
    return static_cast<float>(*d);
}

// ---------------------------------------------------------------------------------------------
// Defaults

void SettingsStore::SetDefaults(SettingsValues& v) {
    v.files.savePath = ImageSaver::DefaultSavePath(v.homeDirectory);
    v.files.sequenceNumber = 0;
    v.files.sequenceFormat = 0;
    v.files.autosave = false;

    for (QuickPreset& p : v.presets) p = QuickPreset{};

    ExposureSettings& e = v.exposure;
    e.exposure = 0.01f;
    e.delay = 0.0f;
    e.rotate180 = false;
    e.amplifier = true;
    e.prechargeMode = 1;
    e.fifo = false;
    e.highPriority = false;
    e.vbe = false;
    e.binX = 1;
    e.binY = 0;
    e.subX = 0;
    e.subY = 0;
    e.subWidth = v.sensorWidth;
    e.subHeight = v.sensorHeight;
    v.coolingSetpoint = 500;

    v.display = DisplayValues{};
    v.focus = FocusSettings{};
    v.guiding = GuidingSettings{};
    v.eventServer = EventServerSettings{};
    v.header = HeaderTexts{};
    v.window = WindowPlacement{};
    for (DialogSection& d : v.dialogs) d = DialogSection{};
    v.tracking = TrackingSection{};
    v.ascomScopeId.clear();
}

// ---------------------------------------------------------------------------------------------
// Loading

SettingsStore::LoadResult SettingsStore::Load(int preset, SettingsValues& v) const {
    IniDocument doc;
    const bool read = doc.Load(path_);
    LoadResult result = Load(preset, doc, v);
    result.fileRead = read;
    return result;
}

SettingsStore::LoadResult SettingsStore::Load(int preset, const IniDocument& doc,
                                              SettingsValues& v) const {
    LoadResult result;
    if (preset == 0) {
        LoadStart(doc, v, result);
    } else if (preset >= 1 && preset <= quick::kCount) {
        LoadPreset(preset, doc, v);
    }
    return result;
}

void SettingsStore::LoadStart(const IniDocument& doc, SettingsValues& v, LoadResult& result) const {
    SetDefaults(v);

    FileSettings& f = v.files;
    f.savePath = ReadTextSetting(doc, kFilenames, "SaveFile", f.savePath);
    f.sequenceNumber = std::max(0, ReadIntSetting(doc, kFilenames, "Sequence", f.sequenceNumber));
    f.sequenceFormat = ReadIntSetting(doc, kFilenames, "SequenceFormat", f.sequenceFormat);
    if (f.sequenceFormat < 0 || f.sequenceFormat >= kSequenceFormats) f.sequenceFormat = 0;

    for (int n = 1; n <= quick::kCount; ++n) {
        QuickPreset& p = v.presets[n - 1];
        p.title = ReadTextSetting(doc, kQuick, NameKey(n), quick::kUndefinedTitle);
        p.flags = ReadIntSetting(doc, kQuick, SnapKey(n), quick::kDefaultFlags);
        if (p.title == quick::kUndefinedTitle) {
            p.title = quick::BuiltInPreset(n).title;
            p.flags = quick::kBuiltInFlags;
        }
    }

    ExposureSettings& e = v.exposure;
    e.exposure = ReadSeconds(doc, kCamera, "Exposure", e.exposure, kMinExposure);
    e.delay = ReadSeconds(doc, kCamera, "ExposureDelay", e.delay, 0.0f);
    DisplayValues& d = v.display;
    d.panX = ReadIntSetting(doc, kDisplay, "OffsetX", d.panX);
    d.panY = ReadIntSetting(doc, kDisplay, "OffsetY", d.panY);
    d.zoom = ReadIntSetting(doc, kDisplay, "Zoom", d.zoom);

    // Binning, subframe, autosave and the four camera modes are not read: the main settings
    // always start from their defaults (the modes are forced right after the load).
    e.rotate180 = ReadFlagSetting(doc, kCamera, "Rotate", e.rotate180);
    e.vbe = ReadFlagSetting(doc, kCamera, "FixBanding", e.vbe);
    v.coolingSetpoint = ReadIntSetting(doc, kCamera, "CoolingSetpoint", v.coolingSetpoint);
    e.autoExposure = false;

    d.gamma = ReadFloatSetting(doc, kDisplay, "Gamma", d.gamma);
    d.invert = ReadFlagSetting(doc, kDisplay, "Invert", d.invert);
    d.nightVision = ReadFlagSetting(doc, kDisplay, "NightVision", d.nightVision);
    d.aspect = ReadFlagSetting(doc, kDisplay, "Aspect", d.aspect);
    d.reticle = ReadFlagSetting(doc, kDisplay, "Reticle", d.reticle);
    d.autoLevel = ReadFlagSetting(doc, kDisplay, "AutoLevel", d.autoLevel);
    d.previewMode = ReadIntSetting(doc, kDisplay, "PreviewMode", d.previewMode);
    // A camera that reports its colours decides the Bayer offsets itself.
    if (!v.automaticColour)
        d.userBayerCode = ReadIntSetting(doc, kDisplay, "UserBayerCode", d.userBayerCode);

    // The Star Tracking dialog's ranges.
    const auto within = [&](const char* section, const char* key, int current, int lo, int hi) {
        return std::clamp(ReadIntSetting(doc, section, key, current), lo, hi);
    };
    v.focus.searchRadius = within(kFocus, "Search", v.focus.searchRadius, 1, 50);
    v.focus.measureRadius = within(kFocus, "Measure", v.focus.measureRadius, 1, 50);

    GuidingSettings& g = v.guiding;
    g.aggressivenessRA = within(kGuiding, "AggressivenessRA", g.aggressivenessRA, 1, 20);
    g.aggressivenessDEC = within(kGuiding, "AggressivenessDEC", g.aggressivenessDEC, 1, 20);
    g.axes = within(kGuiding, "Axes", g.axes, 0, 7);
    g.minGuideTime = within(kGuiding, "MinGuideTime", g.minGuideTime, 1, 5000);
    g.maxGuideTime = within(kGuiding, "MaxGuideTime", g.maxGuideTime, 1, 5000);
    g.guideCalTime = within(kGuiding, "GuideCalTime", g.guideCalTime, 1, 10000);
    GuideCalibration& c = g.previousCalibration;
    c.axisNSX = ReadFloatSetting(doc, kGuiding, "AxisNSX", c.axisNSX);
    c.axisNSY = ReadFloatSetting(doc, kGuiding, "AxisNSY", c.axisNSY);
    c.axisWEX = ReadFloatSetting(doc, kGuiding, "AxisWEX", c.axisWEX);
    c.axisWEY = ReadFloatSetting(doc, kGuiding, "AxisWEY", c.axisWEY);
    c.velNS = ReadFloatSetting(doc, kGuiding, "VelNS", c.velNS);
    c.velWE = ReadFloatSetting(doc, kGuiding, "VelWE", c.velWE);
    g.output = RelaysFlag(ReadFlagSetting(doc, kGuiding, "CameraRelays", CameraPort(g.output)));
    // How the calibration was measured. A file from before these keys stood for the frames'
    // turn and the guide output it was saved with.
    c.setup.rotate180 = ReadFlagSetting(doc, kGuiding, "CalibrationRotate", e.rotate180);
    c.setup.output =
        RelaysFlag(ReadFlagSetting(doc, kGuiding, "CalibrationCameraRelays", CameraPort(g.output)));
    g.focalLength =
        std::clamp(ReadIntSetting(doc, kGuiding, "FocalLength", g.focalLength), 0, 50000);
    EventServerSettings& es = v.eventServer;
    es.enabled = ReadFlagSetting(doc, kEventServer, "Enabled", es.enabled);
    es.port = ReadIntSetting(doc, kEventServer, "Port", es.port);
    if (es.port < 0 || es.port > 65535) es.port = 0;
    es.allInterfaces = ReadFlagSetting(doc, kEventServer, "AllInterfaces", es.allInterfaces);

    HeaderTexts& h = v.header;
    h.observer = ReadTextSetting(doc, kHeader, "Observer", h.observer);
    h.telescope = ReadTextSetting(doc, kHeader, "Telescope", h.telescope);
    h.object = ReadTextSetting(doc, kHeader, "Object", h.object);
    h.focalLength = std::clamp(ReadIntSetting(doc, kHeader, "FocalLength", h.focalLength), 0,
                               ImageHeaderSettings::kMaxFocalLength);
    h.extraTimePrecision =
        ReadFlagSetting(doc, kHeader, "ExtraTimePrecision", h.extraTimePrecision);

    // Without a stored left edge the rest of the rectangle is not trusted either.
    WindowPlacement& w = v.window;
    const int left = ReadIntSetting(doc, kWindow, "Left", kNoPosition);
    if (left != kNoPosition) {
        w.left = left;
        w.right = ReadIntSetting(doc, kWindow, "Right", w.right);
        w.top = ReadIntSetting(doc, kWindow, "Top", w.top);
        w.bottom = ReadIntSetting(doc, kWindow, "Bottom", w.bottom);
        result.placement = true;
    }
    w.maximised = ReadFlagSetting(doc, kWindow, "Maximised", false);
    result.maximise = w.maximised;

    // Only stored: each dialog uses its section when it is created.
    ReadDialogSection(doc, SettingsDialog::Exposure, v);
    ReadDialogSection(doc, SettingsDialog::Cooler, v);
    ReadDialogSection(doc, SettingsDialog::Sequencer, v);
    ReadDialogSection(doc, SettingsDialog::FilterWheel, v);
    TrackingSection& t = v.tracking;
    t.left = ReadIntSetting(doc, kTracking, "Left", t.left);
    t.top = ReadIntSetting(doc, kTracking, "Top", t.top);
    t.expand = ReadFlagSetting(doc, kTracking, "Expand", t.expand);
    ReadDialogSection(doc, SettingsDialog::Display, v);

    v.ascomScopeId = ReadTextSetting(doc, kAscom, "ScopeID", v.ascomScopeId);
}

void SettingsStore::LoadPreset(int n, const IniDocument& doc, SettingsValues& v) const {
    const std::string camera = SectionName(kCamera, n);
    const std::string display = SectionName(kDisplay, n);
    const quick::BuiltIn& builtIn = quick::BuiltInPreset(n);
    const int flags = v.presets[n - 1].flags;
    const bool exposure = (flags & quick::kRestoreExposure) != 0;
    const bool subframe = (flags & quick::kRestoreSubframe) != 0;
    const bool locked = v.exposure.lockExposure;
    ExposureSettings& e = v.exposure;

    if (exposure && !locked) {
        e.exposure = ReadSeconds(doc, camera, "Exposure", builtIn.exposure, kMinExposure);
        e.delay = ReadSeconds(doc, camera, "ExposureDelay", e.delay, 0.0f);
    }
    if (subframe) {
        DisplayValues& d = v.display;
        d.panX = ReadIntSetting(doc, display, "OffsetX", d.panX);
        d.panY = ReadIntSetting(doc, display, "OffsetY", d.panY);
        d.zoom = ReadIntSetting(doc, display, "Zoom", d.zoom);
    }
    if (exposure) {
        v.files.autosave = ReadFlagSetting(doc, camera, "Autosave", v.files.autosave);
        if (!locked) {
            e.binX = ReadIntSetting(doc, camera, "BinX", builtIn.binning);
            e.binY = ReadIntSetting(doc, camera, "BinY", builtIn.binning);
        }
    }
    if (subframe && !locked) {
        e.subX = ReadIntSetting(doc, camera, "Left", 0);
        e.subY = ReadIntSetting(doc, camera, "Top", 0);
        e.subWidth = ReadIntSetting(doc, camera, "Width", v.sensorWidth);
        e.subHeight = ReadIntSetting(doc, camera, "Height", v.sensorHeight);
    }
}

// ---------------------------------------------------------------------------------------------
// Saving

bool SettingsStore::Save(int preset, const SettingsValues& v) const {
    if (preset < 0 || preset > quick::kCount) return false;
    // The file is read first so that everything else in it (comments, sections of other
    // programs, keys not written here) survives.
    IniDocument doc;
    doc.Load(path_);
    Save(preset, doc, v);
    return doc.Save();
}

void SettingsStore::Save(int preset, IniDocument& doc, const SettingsValues& v) const {
    if (preset == 0) {
        SaveExit(doc, v);
    } else if (preset >= 1 && preset <= quick::kCount) {
        SavePreset(preset, doc, v);
    }
}

void SettingsStore::SaveQuickSection(IniDocument& doc, const SettingsValues& v) {
    for (int n = 1; n <= quick::kCount; ++n) {
        WriteTextSetting(doc, kQuick, NameKey(n), v.presets[n - 1].title);
        WriteIntSetting(doc, kQuick, SnapKey(n), v.presets[n - 1].flags);
    }
}

void SettingsStore::SaveExit(IniDocument& doc, const SettingsValues& v) const {
    const FileSettings& f = v.files;
    WriteTextSetting(doc, kFilenames, "SaveFile", f.savePath);
    WriteIntSetting(doc, kFilenames, "Sequence", f.sequenceNumber);
    WriteIntSetting(doc, kFilenames, "SequenceFormat", f.sequenceFormat);

    SaveQuickSection(doc, v);

    const ExposureSettings& e = v.exposure;
    WriteFloatSetting(doc, kCamera, "Exposure", e.exposure);
    WriteFloatSetting(doc, kCamera, "ExposureDelay", e.delay);
    WriteFlagSetting(doc, kCamera, "Rotate", e.rotate180);
    WriteIntSetting(doc, kCamera, "AmpOff", e.amplifier ? 1 : 0);
    WriteIntSetting(doc, kCamera, "PrechargeMode", e.prechargeMode);
    WriteFlagSetting(doc, kCamera, "FIFO", e.fifo);
    WriteFlagSetting(doc, kCamera, "Priority", e.highPriority);
    WriteFlagSetting(doc, kCamera, "FixBanding", e.vbe);
    WriteIntSetting(doc, kCamera, "CoolingSetpoint", v.coolingSetpoint);
    WriteIntSetting(doc, kCamera, "BinX", e.binX);
    WriteIntSetting(doc, kCamera, "BinY", e.binY);
    WriteIntSetting(doc, kCamera, "Left", e.subX);
    WriteIntSetting(doc, kCamera, "Top", e.subY);
    WriteIntSetting(doc, kCamera, "Width", e.subWidth);
    WriteIntSetting(doc, kCamera, "Height", e.subHeight);
    WriteFlagSetting(doc, kCamera, "Autosave", f.autosave);

    const DisplayValues& d = v.display;
    WriteIntSetting(doc, kDisplay, "OffsetX", d.panX);
    WriteIntSetting(doc, kDisplay, "OffsetY", d.panY);
    WriteIntSetting(doc, kDisplay, "Zoom", d.zoom);
    WriteFloatSetting(doc, kDisplay, "Gamma", d.gamma);
    WriteFlagSetting(doc, kDisplay, "Invert", d.invert);
    WriteFlagSetting(doc, kDisplay, "NightVision", d.nightVision);
    WriteFlagSetting(doc, kDisplay, "Aspect", d.aspect);
    WriteFlagSetting(doc, kDisplay, "Reticle", d.reticle);
    WriteFlagSetting(doc, kDisplay, "AutoLevel", d.autoLevel);
    WriteIntSetting(doc, kDisplay, "PreviewMode", d.previewMode);
    WriteIntSetting(doc, kDisplay, "UserBayerCode", d.userBayerCode);

    WriteIntSetting(doc, kFocus, "Search", v.focus.searchRadius);
    WriteIntSetting(doc, kFocus, "Measure", v.focus.measureRadius);

    const GuidingSettings& g = v.guiding;
    WriteIntSetting(doc, kGuiding, "AggressivenessRA", g.aggressivenessRA);
    WriteIntSetting(doc, kGuiding, "AggressivenessDEC", g.aggressivenessDEC);
    WriteIntSetting(doc, kGuiding, "Axes", g.axes);
    WriteIntSetting(doc, kGuiding, "MinGuideTime", g.minGuideTime);
    WriteIntSetting(doc, kGuiding, "MaxGuideTime", g.maxGuideTime);
    WriteIntSetting(doc, kGuiding, "GuideCalTime", g.guideCalTime);

    const HeaderTexts& h = v.header;
    WriteTextSetting(doc, kHeader, "Observer", h.observer);
    WriteTextSetting(doc, kHeader, "Telescope", h.telescope);
    WriteTextSetting(doc, kHeader, "Object", h.object);
    // Files of users who never gave one stay as they were.
    if (h.focalLength > 0 || doc.HasKey(kHeader, "FocalLength"))
        WriteIntSetting(doc, kHeader, "FocalLength", h.focalLength);
    WriteFlagSetting(doc, kHeader, "ExtraTimePrecision", h.extraTimePrecision);

    const WindowPlacement& w = v.window;
    WriteFlagSetting(doc, kWindow, "Maximised", w.maximised);
    WriteIntSetting(doc, kWindow, "Left", w.left);
    WriteIntSetting(doc, kWindow, "Right", w.right);
    WriteIntSetting(doc, kWindow, "Top", w.top);
    WriteIntSetting(doc, kWindow, "Bottom", w.bottom);

    // Dialogs that were never created keep what the file says about them.
    if (v.Dialog(SettingsDialog::Exposure).exists)
        WriteDialogSection(doc, SettingsDialog::Exposure, v);
    if (v.Dialog(SettingsDialog::Cooler).exists) WriteDialogSection(doc, SettingsDialog::Cooler, v);
    // A calibration stored before its setup was: keep the setup it was taken for at start,
    // before the Rotate and CameraRelays it was inferred from change.
    if (doc.HasKey(kGuiding, "VelNS") && !doc.HasKey(kGuiding, "CalibrationRotate"))
        WriteCalibrationSetup(doc, g.previousCalibration.setup);
    const TrackingSection& t = v.tracking;
    if (t.exists) {
        WriteIntSetting(doc, kTracking, "Left", t.left);
        WriteIntSetting(doc, kTracking, "Top", t.top);
        WriteFlagSetting(doc, kTracking, "Expand", t.expand);
        // A calibration that was never made leaves the stored one alone.
        if (t.calibration.Valid()) {
            const GuideCalibration& c = t.calibration;
            WriteFloatSetting(doc, kGuiding, "AxisNSX", c.axisNSX);
            WriteFloatSetting(doc, kGuiding, "AxisNSY", c.axisNSY);
            WriteFloatSetting(doc, kGuiding, "AxisWEX", c.axisWEX);
            WriteFloatSetting(doc, kGuiding, "AxisWEY", c.axisWEY);
            WriteFloatSetting(doc, kGuiding, "VelNS", c.velNS);
            WriteFloatSetting(doc, kGuiding, "VelWE", c.velWE);
            WriteCalibrationSetup(doc, c.setup);
        }
        WriteFlagSetting(doc, kGuiding, "CameraRelays", CameraPort(g.output));
        WriteIntSetting(doc, kGuiding, "FocalLength", g.focalLength);
    }
    if (v.Dialog(SettingsDialog::Display).exists)
        WriteDialogSection(doc, SettingsDialog::Display, v);
    if (v.Dialog(SettingsDialog::Sequencer).exists) {
        WriteDialogSection(doc, SettingsDialog::Sequencer, v);
        if (writeSequencer_) writeSequencer_(doc);
    }
    if (v.Dialog(SettingsDialog::FilterWheel).exists)
        WriteDialogSection(doc, SettingsDialog::FilterWheel, v);

    WriteTextSetting(doc, kAscom, "ScopeID", v.ascomScopeId);
    WriteFlagSetting(doc, kEventServer, "Enabled", v.eventServer.enabled);
    WriteIntSetting(doc, kEventServer, "Port", v.eventServer.port);
    WriteFlagSetting(doc, kEventServer, "AllInterfaces", v.eventServer.allInterfaces);
}

void SettingsStore::SavePreset(int n, IniDocument& doc, const SettingsValues& v) const {
    SaveQuickSection(doc, v);
    const std::string camera = SectionName(kCamera, n);
    const std::string display = SectionName(kDisplay, n);
    const ExposureSettings& e = v.exposure;
    WriteFloatSetting(doc, camera, "Exposure", e.exposure);
    WriteFloatSetting(doc, camera, "ExposureDelay", e.delay);
    WriteIntSetting(doc, camera, "BinX", e.binX);
    WriteIntSetting(doc, camera, "BinY", e.binY);
    WriteIntSetting(doc, camera, "Left", e.subX);
    WriteIntSetting(doc, camera, "Top", e.subY);
    WriteIntSetting(doc, camera, "Width", e.subWidth);
    WriteIntSetting(doc, camera, "Height", e.subHeight);
    WriteFlagSetting(doc, camera, "Autosave", v.files.autosave);
    WriteIntSetting(doc, display, "OffsetX", v.display.panX);
    WriteIntSetting(doc, display, "OffsetY", v.display.panY);
    WriteIntSetting(doc, display, "Zoom", v.display.zoom);
}

}  // namespace zorvane
