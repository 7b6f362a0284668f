#pragma once

#include <string>
#include <string_view>

namespace zorvane {

// Replaces the file at path with exactly these bytes, or leaves it as it was: the bytes go to a
// temporary file in the same folder, are flushed to disk, and the temporary file is renamed over
// the old one. A crash or a full disk therefore never leaves half a file. The old file's
// permission bits are kept; a symbolic link is followed so that its target is replaced, not the
// link. The folder must exist. False on any failure, with the old file untouched.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);

}  // namespace zorvane
