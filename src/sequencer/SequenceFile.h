#pragma once

#include <string>
#include <string_view>

#include "core/Prompts.h"
#include "platform/IniFile.h"
#include "sequencer/SequenceModel.h"

namespace zorvane {

// Sequence files (".csq") and the sequencer's sections of the settings file: section
// "Sequence" with RepeatMode, Repeat, Delay, DelayStart, then "Sequence Line1" …
// "Sequence Line10" with Enabled, Exposure ("%.5g", at least 0.001), Binning, Filter, Suffix,
// Command, written in that order, then "Sequence Guiding" (Guide, GuiderHost, GuiderPort,
// DitherEvery, DitherPixels, DitherRAOnly, SettlePixels, SettleTime, SettleTimeout,
// SettleFailedStop, StarLostLimit). Absent keys read as their defaults (ten disabled lines with
// exposure "1", binning 1x1, filter 0; repeat 1; no delays; no guiding); the exposure text is
// read as at most 19 characters and kept as text, suffix and command as at most 511.

// Fills every line and setting from the document. A binning or repeat-mode index that the
// lists do not hold leaves that choice empty (-1); the repeat count, the delays, an exposure
// and a filter are kept within what the dialog offers (filter 0 stays: the first position).
void ReadSequence(const IniDocument& doc, SequenceModel& model);
// Whether the document has any of the sequence's sections.
bool IsSequenceDocument(const IniDocument& doc);
// Writes every line and setting into the document (in memory).
void WriteSequence(IniDocument& doc, const SequenceModel& model);

// The same on a file. Reading is false, with the model unchanged, when the file cannot be
// read (a missing file included); writing is false when the file could not be written.
bool ReadSequence(const std::string& path, SequenceModel& model);
bool WriteSequence(const std::string& path, const SequenceModel& model);

// The sequence extension on a chosen name: the file name's extension (from its last '.')
// becomes ".csq", a name without one gets ".csq" appended, an empty name becomes
// "sequence.csq".
std::string WithSequenceExtension(std::string_view path);

// The dialog's "Load settings": the open dialog "Load sequence...", the chosen name with the
// sequence extension read into the model, the path remembered (the title follows it). A file
// that cannot be read, or is not a sequence file, changes nothing and says so ("Failed to read
// file '%s'"). False when nothing was loaded.
bool LoadSequence(Prompts& prompts, SequenceModel& model);
// "Save settings": the save dialog "Save sequence as..." (asking before it overwrites, also
// when the sequence extension makes another name of the one chosen), the name with the
// sequence extension written and remembered. A failed write says so ("Failed to
// write file '%s'") and keeps the remembered path. False when nothing was saved.
bool SaveSequence(Prompts& prompts, SequenceModel& model);

}  // namespace zorvane
