#include "view/DisplayDialogModel.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace zorvane {

namespace {

std::string_view Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// A whole number with nothing else around it but blanks. Values too large for the field are
// reported as out of range rather than wrapped.
enum class Parse { Ok, NotANumber, OutOfRange };

Parse ParseInt(std::string_view text, long long& value) {
    std::string_view s = Trim(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return Parse::NotANumber;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (end != s.data() + s.size()) return Parse::NotANumber;
    if (ec == std::errc::result_out_of_range) return Parse::OutOfRange;
    if (ec != std::errc()) return Parse::NotANumber;
    return Parse::Ok;
}

// A decimal number, independent of the user's locale. "nan" and "inf" are not numbers here.
Parse ParseFloat(std::string_view text, float& value) {
    std::string_view s = Trim(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return Parse::NotANumber;
    double d = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (end != s.data() + s.size()) return Parse::NotANumber;
    if (ec == std::errc::result_out_of_range) return Parse::OutOfRange;
    if (ec != std::errc() || !std::isfinite(d)) return Parse::NotANumber;
    value = static_cast<float>(d);
    return Parse::Ok;
}

std::optional<DisplayDialogModel::Failure> TakeLevel(int id, const std::string& text, int& field) {
    long long v = 0;
    const Parse p = ParseInt(text, v);
    if (p == Parse::NotANumber) return DisplayDialogModel::Failure{id, "Please enter an integer."};
    if (p == Parse::OutOfRange || v < 0 || v > 65535)
        return DisplayDialogModel::Failure{id, "Please enter an integer between 0 and 65535."};
    field = static_cast<int>(v);
    return std::nullopt;
}

}  // namespace

std::string DisplayDialogModel::FormatFloat(float value) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    return std::string(buf, res.ptr);
}

std::string DisplayDialogModel::FormatTenths(double value) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 1);
    return std::string(buf, res.ptr);
}

// The sliders and the level controls' enabled state follow the fields. The log value is cut to
// one decimal on the way (10.01 rather than 10 so that 0.7 stays 0.7).
void DisplayDialogModel::FollowFields() {
    controls.whiteTrack = fields.white - 32768;
    controls.blackTrack = fields.black - 32768;
    fields.logValue = static_cast<int>(fields.logValue * 10.01) * 0.1f;
    controls.logTrack = static_cast<int>(fields.logValue * 10.01);
    controls.levelsEnabled = !fields.autoStretch;
}

std::optional<DisplayDialogModel::Failure> DisplayDialogModel::Take() {
    using namespace display_ids;
    fields.aspect = controls.aspect;
    fields.negative = controls.negative;
    fields.nightVision = controls.nightVision;

    float log = 0;
    switch (ParseFloat(controls.log, log)) {
        case Parse::NotANumber:
            return Failure{kLogEdit, "Please enter a number."};
        case Parse::OutOfRange:
            return Failure{kLogEdit, "Please enter a number between -10 and 10."};
        case Parse::Ok:
            break;
    }
    if (log < -10.0f || log > 10.0f)
        return Failure{kLogEdit, "Please enter a number between -10 and 10."};
    fields.logValue = log;

    if (auto f = TakeLevel(kWhiteEdit, controls.white, fields.white)) return f;
    if (auto f = TakeLevel(kBlackEdit, controls.black, fields.black)) return f;
    fields.autoStretch = controls.autoStretch;
    fields.reticle = controls.reticle;
    FollowFields();
    return std::nullopt;
}

void DisplayDialogModel::Show() {
    // The log value is cut to one decimal before it is written into its box.
    FollowFields();
    controls.aspect = fields.aspect;
    controls.negative = fields.negative;
    controls.nightVision = fields.nightVision;
    controls.log = FormatFloat(fields.logValue);
    controls.white = std::to_string(fields.white);
    controls.black = std::to_string(fields.black);
    controls.autoStretch = fields.autoStretch;
    controls.reticle = fields.reticle;
}

void DisplayDialogModel::ShowLevels() {
    controls.white = std::to_string(fields.white);
    controls.black = std::to_string(fields.black);
    controls.whiteTrack = fields.white - 32768;
    controls.blackTrack = fields.black - 32768;
}

void DisplayDialogModel::OnBlackTrack(int position) {
    controls.blackTrack = position;
    controls.black = std::to_string(static_cast<unsigned>(position + 32768));
}

void DisplayDialogModel::OnWhiteTrack(int position) {
    controls.whiteTrack = position;
    controls.white = std::to_string(static_cast<unsigned>(position + 32768));
}

void DisplayDialogModel::OnLogTrack(int position) {
    controls.logTrack = position;
    controls.log = FormatTenths(position / 10.0);
}

void DisplayDialogModel::StepLog(bool up) {
    fields.logValue = static_cast<float>(up ? fields.logValue + 0.1 : fields.logValue - 0.1);
    if (fields.logValue > 10) fields.logValue = 10;
    if (fields.logValue < -10) fields.logValue = -10;
}

}  // namespace zorvane
