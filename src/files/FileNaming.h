#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorvane {

// Naming rules of saved images. Paths use '/' as the only directory separator; ':' is an
// ordinary file-name character.

inline constexpr int kSequenceFormatCount = 6;
// The names the exposure dialog's "Seq fmt." list shows, by format index.
inline constexpr std::string_view kSequenceFormatNames[kSequenceFormatCount] = {
    "file_001", "file-001", "file001", "file_1", "file-1", "file1"};
inline constexpr std::size_t kMaxLineSuffixLength = 49;

// Save dialog file types.
enum SaveFileType : int { kTypeNone = 0, kTypeFits = 1, kTypeTiff = 2, kTypeAllFiles = 3 };

int ClampSequenceFormat(int format);

// The text written over a name from its extension dot: number and extension for autosave,
// number, line suffix, duplicate mark and extension for the sequencer, number alone for
// a next directory. Formats 0-2 pad the number to three digits.
std::string AutosaveNumbering(int format, long long number, std::string_view extension);
std::string SequencerNumbering(int format, long long number, std::string_view lineSuffix,
                               std::string_view duplicateMark, std::string_view extension);
std::string NextDirectoryNumbering(int format, long long number);

// "" for the first name, "(2)", "(3)" … for the following duplicates.
std::string DuplicateMark(int counter);
// A sequence line's file suffix as it goes into names: its first 49 characters.
std::string CutLineSuffix(std::string_view suffix);

// The save dialog's preset filter for a path: 1 for ".fit", 2 for ".tif" (any case, path longer
// than 4 characters), otherwise 0 (the dialog's first filter).
int PresetFilterForPath(std::string_view path);
// A name from the save dialog with its extension replaced (or appended) by ".tif" for type 2
// and ".fit" for every other type; an empty name becomes "image".
std::string WithTypeExtension(std::string_view name, int type);

// Where numbers go into a save path: everything before the extension dot, and the extension.
struct NumberingPoint {
    std::string stem;
    std::string extension;
};
// The extension check of autosave and sequencer saves. A path ending in a directory part
// without extension gets ".tif" (last dialog type 2) or ".fit". None when the path has no dot
// or separator after its first character: the save dialog has to supply a name.
std::optional<NumberingPoint> FindNumberingPoint(std::string_view savePath, int lastDialogType);

// Whether a numbered name is written as TIFF. A FITS or TIFF extension decides by itself
// (".fit", ".fits", ".fts" / ".tif", ".tiff", any case); other extensions follow the type last
// chosen in the save dialog.
bool IsTiffName(std::string_view extension, int lastDialogType);

// The part of a path after its last '/' (the whole text when there is none).
std::string FileNamePart(std::string_view path);

// "Next dir.": the save path's directory with its trailing number (and a "_" or "-" before
// it) replaced by the next number in the given format, and the save path inside it.
struct NextDirectoryPlan {
    std::string directory;
    std::string savePath;
};
// None when the path is empty, has no directory, or lies in the root directory.
std::optional<NextDirectoryPlan> PlanNextDirectory(std::string_view savePath, int format);

}  // namespace zorvane
