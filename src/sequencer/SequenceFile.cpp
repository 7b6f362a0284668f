#include "sequencer/SequenceFile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/ScanDecimal.h"

namespace zorvane {

namespace {

constexpr const char* kSection = "Sequence";
constexpr size_t kExposureBuffer = 20;
constexpr size_t kTextBuffer = 512;

std::string LineSection(int index) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Sequence Line%d", index + 1);
    return buf;
}

// An integer key kept within `range`. Read as the profile reader reads it (leading blanks, a
// sign, the digits up to the first other character), except that a number too long for 32
// bits counts as huge instead of wrapping round to some small value.
int GetIntWithin(const IniDocument& doc, const std::string& section, const char* key,
                 int defaultValue, SpinRange range) {
    const std::string text = doc.GetString(section, key, "", 64);
    long long value = defaultValue;
    if (!text.empty()) {
        size_t i = text.find_first_not_of(" \t");
        const bool negative = i != std::string::npos && text[i] == '-';
        if (i != std::string::npos && (text[i] == '-' || text[i] == '+')) ++i;
        value = 0;
        for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
            value = std::min(value * 10 + (text[i] - '0'), 1LL << 40);
        if (negative) value = -value;
    }
    return static_cast<int>(std::clamp<long long>(value, range.low, range.high));
}

// Guiding lives in a section of its own: programs that know nothing of it pass it over, and a
// file without it reads as a sequence that does not guide.
constexpr const char* kGuideSection = "Sequence Guiding";

double GetNumber(const IniDocument& doc, const char* key, double defaultValue) {
    return ScanDecimal(doc.GetString(kGuideSection, key, "", 64)).value_or(defaultValue);
}

void ReadGuideOptions(const IniDocument& doc, SequenceGuideOptions& g) {
    const SequenceGuideOptions d;
    g.guide = doc.GetInt(kGuideSection, "Guide", 0) != 0;
    g.host = doc.GetString(kGuideSection, "GuiderHost", d.host, 256);
    if (g.host.empty()) g.host = d.host;
    g.port = doc.GetInt(kGuideSection, "GuiderPort", d.port);
    g.ditherEvery = GetIntWithin(doc, kGuideSection, "DitherEvery", d.ditherEvery,
                                 {0, SequenceGuideOptions::kMaxDitherEvery});
    g.ditherPixels = GetNumber(doc, "DitherPixels", d.ditherPixels);
    g.ditherRaOnly = doc.GetInt(kGuideSection, "DitherRAOnly", 0) != 0;
    g.settlePixels = GetNumber(doc, "SettlePixels", d.settlePixels);
    const SpinRange seconds{0, SequenceGuideOptions::kMaxSeconds};
    g.settleSeconds = GetIntWithin(doc, kGuideSection, "SettleTime", d.settleSeconds, seconds);
    g.settleTimeout = GetIntWithin(doc, kGuideSection, "SettleTimeout", d.settleTimeout, seconds);
    g.stopOnSettleFailure = doc.GetInt(kGuideSection, "SettleFailedStop", 0) != 0;
    g.lostLimitSeconds =
        GetIntWithin(doc, kGuideSection, "StarLostLimit", d.lostLimitSeconds, seconds);
    g.Clamp();
}

void WriteGuideOptions(IniDocument& doc, const SequenceGuideOptions& g) {
    doc.SetInt(kGuideSection, "Guide", g.guide ? 1 : 0);
    doc.SetString(kGuideSection, "GuiderHost", g.host);
    doc.SetInt(kGuideSection, "GuiderPort", g.port);
    doc.SetInt(kGuideSection, "DitherEvery", g.ditherEvery);
    doc.SetString(kGuideSection, "DitherPixels", FormatSeconds(g.ditherPixels));
    doc.SetInt(kGuideSection, "DitherRAOnly", g.ditherRaOnly ? 1 : 0);
    doc.SetString(kGuideSection, "SettlePixels", FormatSeconds(g.settlePixels));
    doc.SetInt(kGuideSection, "SettleTime", g.settleSeconds);
    doc.SetInt(kGuideSection, "SettleTimeout", g.settleTimeout);
    doc.SetInt(kGuideSection, "SettleFailedStop", g.stopOnSettleFailure ? 1 : 0);
    doc.SetInt(kGuideSection, "StarLostLimit", g.lostLimitSeconds);
}

}  // namespace

bool IsSequenceDocument(const IniDocument& doc) {
    if (doc.HasSection(kSection)) return true;
    for (int i = 0; i < SequenceModel::kLineCount; ++i)
        if (doc.HasSection(LineSection(i))) return true;
    return false;
}

void ReadSequence(const IniDocument& doc, SequenceModel& model) {
    const int mode = doc.GetInt(kSection, "RepeatMode", 0);
    model.repeatMode = (mode == 0 || mode == 1) ? mode : -1;
    // Numbers a hand or another program put in are kept to what the dialog offers.
    model.repeat = GetIntWithin(doc, kSection, "Repeat", 1, kRepeatSpin);
    model.delay = GetIntWithin(doc, kSection, "Delay", 0, kDelaySpin);
    model.delayStart = GetIntWithin(doc, kSection, "DelayStart", 0, kDelaySpin);
    for (int i = 0; i < SequenceModel::kLineCount; ++i) {
        const std::string section = LineSection(i);
        SequenceLine& line = model.lines[i];
        line.enabled = doc.GetInt(section, "Enabled", 0) != 0;
        line.exposureText = doc.GetString(section, "Exposure", "1", kExposureBuffer);
        if (ScanSeconds(line.exposureText).value_or(0.0) > SequenceModel::kMaxExposure)
            line.exposureText = FormatSeconds(SequenceModel::kMaxExposure);
        const int binning = doc.GetInt(section, "Binning", 0);
        line.binning = (binning >= 0 && binning < model.BinningEntries()) ? binning : -1;
        line.filter = GetIntWithin(doc, section, "Filter", 0, {0, INT_MAX});
        line.suffix = doc.GetString(section, "Suffix", "", kTextBuffer);
        line.command = doc.GetString(section, "Command", "", kTextBuffer);
    }
    ReadGuideOptions(doc, model.guiding);
}

void WriteSequence(IniDocument& doc, const SequenceModel& model) {
    doc.SetInt(kSection, "RepeatMode", model.repeatMode);
    doc.SetInt(kSection, "Repeat", model.repeat);
    doc.SetInt(kSection, "Delay", model.delay);
    doc.SetInt(kSection, "DelayStart", model.delayStart);
    for (int i = 0; i < SequenceModel::kLineCount; ++i) {
        const std::string section = LineSection(i);
        const SequenceLine& line = model.lines[i];
        doc.SetInt(section, "Enabled", line.enabled ? 1 : 0);
        doc.SetString(section, "Exposure", FormatSeconds(model.ExposureSeconds(i)));
        doc.SetInt(section, "Binning", line.binning);
        doc.SetInt(section, "Filter", line.filter);
        doc.SetString(section, "Suffix", line.suffix);
        doc.SetString(section, "Command", line.command);
    }
    WriteGuideOptions(doc, model.guiding);
}

bool ReadSequence(const std::string& path, SequenceModel& model) {
    IniDocument doc;
    if (!doc.Load(path)) return false;
    ReadSequence(doc, model);
    return true;
}

bool WriteSequence(const std::string& path, const SequenceModel& model) {
    IniDocument doc;
    doc.Load(path);  // a missing file is created; an unreadable one is refused by Save
    WriteSequence(doc, model);
    return doc.Save();
}

std::string WithSequenceExtension(std::string_view path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    if (nameStart == path.size()) return std::string(path) + "sequence.csq";
    const size_t dot = path.rfind('.');
    if (dot != std::string_view::npos && dot >= nameStart)
        return std::string(path.substr(0, dot)) + ".csq";
    return std::string(path) + ".csq";
}

namespace {

constexpr const char* kCaption = "Sequencer";

std::vector<FileFilter> SequenceFilters() {
    return {{"Capture Sequence (*.csq)", "*.csq"}, {"All Files", "*.*"}};
}

bool EndsWithCsq(const std::string& path) {
    if (path.size() <= 4) return false;
    std::string end = path.substr(path.size() - 4);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".csq";
}

}  // namespace

bool LoadSequence(Prompts& prompts, SequenceModel& model) {
    FileDialogRequest request;
    request.title = "Load sequence...";
    request.filters = SequenceFilters();
    request.fileMustExist = true;
    const FileDialogResult result = prompts.OpenFileDialog(request);
    if (result.status != FileDialogResult::Status::Ok || result.path.empty()) return false;
    const std::string path = WithSequenceExtension(result.path);
    // Reading a file that is not there would put the defaults over the user's sequence.
    IniDocument doc;
    if (!doc.Load(path)) {
        prompts.MessageBox("Failed to read file '" + path + "'", kCaption, MessageButtons::Ok,
                           MessageIcon::Exclamation);
        return false;
    }
    // Nor would a file of something else, read as a sequence without a single key.
    if (!IsSequenceDocument(doc)) {
        prompts.MessageBox("'" + path + "' is not a sequence file; nothing was loaded.", kCaption,
                           MessageButtons::Ok, MessageIcon::Exclamation);
        return false;
    }
    ReadSequence(doc, model);
    model.path = path;
    return true;
}

bool SaveSequence(Prompts& prompts, SequenceModel& model) {
    FileDialogRequest request;
    request.title = "Save sequence as...";
    request.filters = SequenceFilters();
    request.initialPath = model.path;
    request.presetFilter = EndsWithCsq(model.path) ? 1 : 0;
    request.confirmOverwrite = true;
    FileDialogResult result = prompts.SaveFileDialog(request);
    if (result.status == FileDialogResult::Status::InvalidFileName) {
        request.initialPath.clear();
        result = prompts.SaveFileDialog(request);
    }
    if (result.status != FileDialogResult::Status::Ok || result.path.empty()) return false;
    const std::string path = WithSequenceExtension(result.path);
    // The dialog asked about the name as typed; a file under the name it becomes is asked
    // about here.
    std::error_code error;
    if (path != result.path && std::filesystem::exists(path, error) &&
        prompts.MessageBox("'" + path + "' already exists.\nDo you want to replace it?",
                           request.title, MessageButtons::YesNo,
                           MessageIcon::Exclamation) != MessageAnswer::Yes)
        return false;
    if (!WriteSequence(path, model)) {
        prompts.MessageBox("Failed to write file '" + path + "'", kCaption, MessageButtons::Ok,
                           MessageIcon::Exclamation);
        return false;
    }
    model.path = path;
    return true;
}

}  // namespace zorvane
