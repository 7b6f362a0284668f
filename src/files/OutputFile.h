#pragma once

#include <cstddef>
#include <string>

namespace zorvane {

// A file being written from start to end with plain POSIX calls. Every short write, write error
// and a failing close counts: Finish reports whether the whole file reached the system. A
// regular file that was not written completely is removed again, so no half file is left
// under a name that looks finished (autosave would otherwise skip over it as "existing").
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the file or truncates an existing one. False when it cannot be opened.
    bool Open(const std::string& path);
    // Writes all bytes (retrying short writes); false once anything has failed.
    bool Write(const void* data, std::size_t size);
    // Closes the file. True when it was opened, every write succeeded and the close did too.
    bool Finish();

  private:
    void Abandon();

    int fd_ = -1;
    bool failed_ = false;
    bool regular_ = false;
    std::string path_;
};

}  // namespace zorvane
