#include "settings/ExposureDialogModel.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>

#include "files/FileNaming.h"

namespace zorvane {

namespace exposure_ids {
bool IsTypingControl(int id) {
    switch (id) {
        case kExposureEdit:
        case kDelayEdit:
        case kStartX:
        case kStartY:
        case kWidth:
        case kHeight:
        case kSavePath:
        case kSeqNo:
        case kSeqFormat:
            return true;
        default:
            return false;
    }
}
}  // namespace exposure_ids

namespace {

using namespace exposure_ids;

constexpr const char* kIntegerMessage = "Please enter an integer.";
constexpr const char* kNumberMessage = "Please enter a number.";
constexpr const char* kRangeMessage = "Please enter a number between 0 and 10000.";

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// A whole number with nothing but blanks around it, within the range of the field.
bool ParseInt(std::string_view text, int& value) {
    std::string_view s = Trim(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    long long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return false;
    if (v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

enum class FloatParse { Ok, NotANumber, OutOfRange };

// A decimal number, independent of the user's locale; "nan" and "inf" are not numbers here.
FloatParse ParseFloat(std::string_view text, float& value) {
    std::string_view s = Trim(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty() || !(std::isdigit(static_cast<unsigned char>(s.front())) || s.front() == '.' ||
                       s.front() == '-'))
        return FloatParse::NotANumber;
    double d = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (end != s.data() + s.size()) return FloatParse::NotANumber;
    if (ec == std::errc::result_out_of_range) return FloatParse::OutOfRange;
    if (ec != std::errc() || !std::isfinite(d)) return FloatParse::NotANumber;
    if (d < 0.0 || d > ExposureDialogModel::kMaxSeconds) return FloatParse::OutOfRange;
    value = static_cast<float>(d);
    return FloatParse::Ok;
}

std::optional<ExposureDialogModel::Failure> TakeSeconds(int id, const std::string& text,
                                                        float& field) {
    switch (ParseFloat(text, field)) {
        case FloatParse::NotANumber:
            return ExposureDialogModel::Failure{id, kNumberMessage};
        case FloatParse::OutOfRange:
            return ExposureDialogModel::Failure{id, kRangeMessage};
        case FloatParse::Ok:
            break;
    }
    return std::nullopt;
}

std::optional<ExposureDialogModel::Failure> TakeInt(int id, const std::string& text, int& field) {
    if (!ParseInt(text, field)) return ExposureDialogModel::Failure{id, kIntegerMessage};
    return std::nullopt;
}

void FillBinList(std::vector<std::string>& items, int max, bool sameAsX) {
    const size_t wanted = static_cast<size_t>(max) + (sameAsX ? 1 : 0);
    if (items.size() == wanted) return;
    items.clear();
    if (sameAsX) items.emplace_back("=X");
    for (int b = 1; b <= max; ++b) items.push_back(std::to_string(b));
}

// Multiply, add a half, cut, divide: the buttons' rounding to a step of 1 / scale.
double RoundTo(double value, double scale) {
    return static_cast<double>(static_cast<long long>(value * scale + 0.5)) / scale;
}

}  // namespace

void ExposureDialogModel::Refresh(const ExposureSettings& s, const FileSettings& f,
                                  const ExposureCameraFacts& cam) {
    ExposureControls& c = controls;
    c.fifoVisible = cam.cameraFlags != 0;
    c.vbeVisible = (cam.sensorFlags & 1) != 0;
    c.subVisible = (cam.cameraFlags & 8) != 0;
    c.preVisible = (cam.cameraFlags & 4) != 0;
    c.trigVisible = (cam.cameraFlags & 2) != 0;
    c.darkVisible = (cam.cameraFlags & 16) != 0;
    FillBinList(c.binXItems, std::clamp(cam.maxBinX, 1, 8), false);
    FillBinList(c.binYItems, std::clamp(cam.maxBinY, 1, 8), true);

    ExposureFields& d = fields;
    d.exposure = s.exposure;
    d.delay = s.delay;
    d.binXIndex = s.binX - 1;
    d.binYIndex = s.binY;
    d.startX = s.subX;
    d.startY = s.subY;
    d.width = s.subWidth;
    d.height = s.subHeight;
    d.ampOff = s.amplifier;
    d.inCamPrecharge = s.prechargeMode == 1;
    d.noPrecharge = s.prechargeMode == 0;
    d.autosave = f.autosave;
    d.savePath = f.savePath;
    d.sequenceNumber = f.sequenceNumber;
    d.sequenceFormat = f.sequenceFormat;
    d.fifo = s.fifo;
    d.highPriority = s.highPriority;
    d.autoExp = s.autoExposure;
    d.vbe = s.vbe;
    d.lock = s.lockExposure;
    d.trig = s.triggered;
    d.dark = s.dark;
    // Nothing but this dialog changes these two; copying them keeps both sides equal.
    d.sub = s.subSample;
    d.pre = s.preview;
    Show();
}

std::optional<ExposureDialogModel::Failure> ExposureDialogModel::Take() {
    ExposureFields& d = fields;
    const ExposureControls& c = controls;
    if (auto f = TakeSeconds(kExposureEdit, c.exposure, d.exposure)) return f;
    if (auto f = TakeSeconds(kDelayEdit, c.delay, d.delay)) return f;
    d.binXIndex = c.binX;
    d.binYIndex = c.binY;
    if (auto f = TakeInt(kStartX, c.startX, d.startX)) return f;
    if (auto f = TakeInt(kStartY, c.startY, d.startY)) return f;
    if (auto f = TakeInt(kWidth, c.width, d.width)) return f;
    if (auto f = TakeInt(kHeight, c.height, d.height)) return f;
    d.ampOff = c.ampOff;
    d.inCamPrecharge = c.inCamPrecharge;
    d.noPrecharge = c.noPrecharge;
    d.autosave = c.autosave;
    d.savePath = c.savePath;
    if (auto f = TakeInt(kSeqNo, c.sequenceNumber, d.sequenceNumber)) return f;
    d.sequenceFormat = c.sequenceFormat;
    d.fifo = c.fifo;
    d.highPriority = c.highPriority;
    d.autoExp = c.autoExp;
    d.vbe = c.vbe;
    d.lock = c.lock;
    d.trig = c.trig;
    d.dark = c.dark;
    d.sub = c.sub;
    d.pre = c.pre;
    return std::nullopt;
}

void ExposureDialogModel::Show() {
    const ExposureFields& d = fields;
    ExposureControls& c = controls;
    c.exposure = FormatFloat(d.exposure);
    c.delay = FormatFloat(d.delay);
    // A binning beyond the camera's list selects its largest entry: it is limited, never lost.
    c.binX = std::clamp(d.binXIndex, 0, static_cast<int>(c.binXItems.size()) - 1);
    c.binY = std::clamp(d.binYIndex, 0, static_cast<int>(c.binYItems.size()) - 1);
    c.startX = std::to_string(d.startX);
    c.startY = std::to_string(d.startY);
    c.width = std::to_string(d.width);
    c.height = std::to_string(d.height);
    c.ampOff = d.ampOff;
    c.inCamPrecharge = d.inCamPrecharge;
    c.noPrecharge = d.noPrecharge;
    c.autosave = d.autosave;
    c.savePath = d.savePath;
    c.sequenceNumber = std::to_string(d.sequenceNumber);
    c.sequenceFormat =
        d.sequenceFormat >= 0 && d.sequenceFormat < kSequenceFormatCount ? d.sequenceFormat : -1;
    c.fifo = d.fifo;
    c.highPriority = d.highPriority;
    c.autoExp = d.autoExp;
    c.vbe = d.vbe;
    c.lock = d.lock;
    c.trig = d.trig;
    c.dark = d.dark;
    c.sub = d.sub;
    c.pre = d.pre;
    c.lockedControlsEnabled = !d.lock;
}

void ExposureDialogModel::CopyTo(ExposureSettings& s, FileSettings& f) const {
    const ExposureFields& d = fields;
    s.exposure = d.exposure;
    s.delay = d.delay;
    s.binX = d.binXIndex + 1;
    s.binY = d.binYIndex;
    s.subX = d.startX;
    s.subY = d.startY;
    s.subWidth = d.width;
    s.subHeight = d.height;
    s.amplifier = d.ampOff;
    s.triggered = d.trig;
    s.preview = d.pre;
    s.subSample = d.sub;
    s.dark = d.dark;
    s.prechargeMode = d.noPrecharge ? 0 : d.inCamPrecharge ? 1 : 2;
    f.autosave = d.autosave;
    f.savePath = d.savePath;
    f.sequenceNumber = d.sequenceNumber;
    f.sequenceFormat = d.sequenceFormat;
    s.fifo = d.fifo;
    s.highPriority = d.highPriority;
    s.autoExposure = d.autoExp;
    s.vbe = d.vbe;
    s.lockExposure = d.lock;
}

void ExposureDialogModel::FullFrame(const ExposureCameraFacts& cam) {
    controls.startX = std::to_string(0);
    controls.startY = std::to_string(0);
    controls.width = std::to_string(cam.pixelsX);
    controls.height = std::to_string(cam.pixelsY);
}

float ExposureDialogModel::SpinExposure(float exposure, ExposureSpin spin, bool up) {
    const double sign = up ? 1.0 : -1.0;
    double e = exposure;
    switch (spin) {
        case ExposureSpin::Minutes:
            e += sign * 60.0;
            break;
        case ExposureSpin::Seconds:
            e += sign * 1.0;
            break;
        case ExposureSpin::Fine: {
            // The step follows the size of the value one millisecond on.
            const double trial = e + sign * 0.001;
            const double step = trial >= 0.1 ? 0.1 : trial > 0.01 ? 0.01 : 0.001;
            e += sign * step;
            break;
        }
    }
    if (e > 10.0) {
        e = RoundTo(e, 1.0);
    } else if (e > 1.0) {
        e = RoundTo(e, 10.0);
    } else if (e > 0.1) {
        e = RoundTo(e, 100.0);
    }
    // The buttons stay within what the exposure box accepts.
    e = std::clamp(e, static_cast<double>(kMinExposure), static_cast<double>(kMaxSeconds));
    return static_cast<float>(e);
}

std::string ExposureDialogModel::FormatFloat(float value) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value),
                                   std::chars_format::general, 6);
    return std::string(buf, res.ptr);
}

}  // namespace zorvane
