#include "files/FileNaming.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>

namespace zorvane {

namespace {

// Separator before the number and whether the number is padded to three digits.
struct Pattern {
    std::string_view separator;
    bool padded;
};
constexpr Pattern kPatterns[kSequenceFormatCount] = {{"_", true},  {"-", true},  {"", true},
                                                     {"_", false}, {"-", false}, {"", false}};

std::string Number(int format, long long number) {
    const Pattern& p = kPatterns[ClampSequenceFormat(format)];
    char digits[32];
    std::snprintf(digits, sizeof digits, p.padded ? "%03lld" : "%lld", number);
    return std::string(p.separator) + digits;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() &&
           EqualsIgnoringCase(text.substr(text.size() - tail.size()), tail);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

int ClampSequenceFormat(int format) {
    return std::clamp(format, 0, kSequenceFormatCount - 1);
}

std::string AutosaveNumbering(int format, long long number, std::string_view extension) {
    return Number(format, number) + std::string(extension);
}

std::string SequencerNumbering(int format, long long number, std::string_view lineSuffix,
                               std::string_view duplicateMark, std::string_view extension) {
    std::string text = Number(format, number);
    text += lineSuffix;
    text += duplicateMark;
    text += extension;
    return text;
}

std::string NextDirectoryNumbering(int format, long long number) {
    return Number(format, number);
}

std::string DuplicateMark(int counter) {
    if (counter <= 1) return {};
    char mark[16];
    std::snprintf(mark, sizeof mark, "(%d)", counter);
    return mark;
}

std::string CutLineSuffix(std::string_view suffix) {
    return std::string(suffix.substr(0, kMaxLineSuffixLength));
}

int PresetFilterForPath(std::string_view path) {
    if (path.size() <= 4) return 0;
    if (EndsWithIgnoringCase(path, ".fit")) return kTypeFits;
    if (EndsWithIgnoringCase(path, ".tif")) return kTypeTiff;
    return 0;
}

std::string WithTypeExtension(std::string_view name, int type) {
    std::string result = name.empty() ? std::string("image") : std::string(name);
    const std::size_t slash = result.rfind('/');
    const std::size_t dot = result.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) result.resize(dot);
    result += type == kTypeTiff ? ".tif" : ".fit";
    return result;
}

std::optional<NumberingPoint> FindNumberingPoint(std::string_view savePath, int lastDialogType) {
    const std::size_t at = savePath.find_last_of("./");
    // Nothing found, or only at the very first character: no usable name.
    if (at == std::string_view::npos || at == 0) return std::nullopt;
    if (savePath[at] == '/') {
        return NumberingPoint{std::string(savePath), lastDialogType == kTypeTiff ? ".tif" : ".fit"};
    }
    return NumberingPoint{std::string(savePath.substr(0, at)), std::string(savePath.substr(at))};
}

bool IsTiffName(std::string_view extension, int lastDialogType) {
    for (std::string_view tiff : {".tif", ".tiff"}) {
        if (EqualsIgnoringCase(extension, tiff)) return true;
    }
    for (std::string_view fits : {".fit", ".fits", ".fts"}) {
        if (EqualsIgnoringCase(extension, fits)) return false;
    }
    return lastDialogType == kTypeTiff;
}

std::string FileNamePart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::optional<NextDirectoryPlan> PlanNextDirectory(std::string_view savePath, int format) {
    const std::size_t slash = savePath.rfind('/');
    // No directory, or the file lies in the root directory, which cannot be renumbered.
    if (slash == std::string_view::npos || slash == 0) return std::nullopt;
    const std::string_view directory = savePath.substr(0, slash);
    const std::string_view file = savePath.substr(slash + 1);

    // Trailing digits of the directory; the scan stops at the start of the text.
    std::size_t point = directory.size();
    while (point > 0 && IsDigit(directory[point - 1])) --point;
    long long n = 0;
    for (std::size_t i = point; i < directory.size(); ++i) {
        const int digit = directory[i] - '0';
        n = n > (LLONG_MAX - 1 - digit) / 10 ? LLONG_MAX - 1 : n * 10 + digit;
    }
    if (point > 0 && (directory[point - 1] == '_' || directory[point - 1] == '-')) --point;

    NextDirectoryPlan plan;
    plan.directory =
        std::string(directory.substr(0, point)) + NextDirectoryNumbering(format, n + 1);
    plan.savePath = plan.directory + "/" + std::string(file);
    return plan;
}

}  // namespace zorvane
