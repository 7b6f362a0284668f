#include "sequencer/SequenceFile.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

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

}  // namespace

void ReadSequence(const IniDocument& doc, SequenceModel& model) {
    const int mode = doc.GetInt(kSection, "RepeatMode", 0);
    model.repeatMode = (mode == 0 || mode == 1) ? mode : -1;
    model.repeat = doc.GetInt(kSection, "Repeat", 1);
    model.delay = doc.GetInt(kSection, "Delay", 0);
    model.delayStart = doc.GetInt(kSection, "DelayStart", 0);
    for (int i = 0; i < SequenceModel::kLineCount; ++i) {
        const std::string section = LineSection(i);
        SequenceLine& line = model.lines[i];
        line.enabled = doc.GetInt(section, "Enabled", 0) != 0;
        line.exposureText = doc.GetString(section, "Exposure", "1", kExposureBuffer);
        const int binning = doc.GetInt(section, "Binning", 0);
        line.binning = (binning >= 0 && binning < model.BinningEntries()) ? binning : -1;
        line.filter = doc.GetInt(section, "Filter", 0);
        line.suffix = doc.GetString(section, "Suffix", "", kTextBuffer);
        line.command = doc.GetString(section, "Command", "", kTextBuffer);
    }
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
    if (!ReadSequence(path, model)) {
        prompts.MessageBox("Failed to read file '" + path + "'", kCaption, MessageButtons::Ok,
                           MessageIcon::Exclamation);
        return false;
    }
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
    if (!WriteSequence(path, model)) {
        prompts.MessageBox("Failed to write file '" + path + "'", kCaption, MessageButtons::Ok,
                           MessageIcon::Exclamation);
        return false;
    }
    model.path = path;
    return true;
}

}  // namespace zorvane
