#include "files/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace zorvane {

OutputFile::~OutputFile() {
    if (fd_ >= 0) {
        // Dropped before Finish: the file is incomplete.
        failed_ = true;
        Finish();
    }
}

bool OutputFile::Open(const std::string& path) {
    if (fd_ >= 0) Finish();
    failed_ = false;
    regular_ = false;
    path_ = path;
    do {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) return false;
    struct stat st {};
    regular_ = ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    return true;
}

bool OutputFile::Write(const void* data, std::size_t size) {
    if (fd_ < 0 || failed_) return false;
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
            return false;
        }
        if (n == 0) {
            failed_ = true;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool OutputFile::Finish() {
    if (fd_ < 0) return false;
    // Linux closes the descriptor even when close reports an error; never retry it.
    if (::close(fd_) != 0) failed_ = true;
    fd_ = -1;
    if (failed_) Abandon();
    return !failed_;
}

void OutputFile::Abandon() {
    // Only ever remove a regular file we opened ourselves; a device such as /dev/full stays.
    if (regular_) std::remove(path_.c_str());
}

}  // namespace zorvane
