#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zorvane {

// Replaces the file at path with exactly these bytes, or leaves it as it was: the bytes go to a
// temporary file in the same folder, are flushed to disk, and the temporary file is renamed over
// the old one. A crash or a full disk therefore never leaves half a file. The old file's
// permission bits are kept; a symbolic link is followed so that its target is replaced, not the
// link. The folder must exist. False on any failure, with the old file untouched.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Reads a whole regular file of at most maxBytes; false when it is something else (a FIFO, a
// device, a folder), larger, or cannot be opened or read.
inline constexpr std::size_t kMaxReadBytes = 64u << 20;
bool ReadWholeFile(const std::string& path, std::string& bytes,
                   std::size_t maxBytes = kMaxReadBytes);

// True for an existing regular file that has no write permission for anybody, or none for
// this process: the user asked for it to be left alone.
bool IsWriteProtected(const std::string& path);

}  // namespace zorvane
