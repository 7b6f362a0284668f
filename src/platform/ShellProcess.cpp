#include "platform/ShellProcess.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace zorvane {

ShellProcess::~ShellProcess() {
    Release();
}

void ShellProcess::Release() {
    if (pid_ <= 0) return;
    if (Running()) {
        // Nobody waits for it any more; a thread collects it when it ends.
        const pid_t pid = pid_;
        std::thread([pid] {
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    }
    pid_ = -1;
}

bool ShellProcess::Start(const std::string& command) {
    Release();
    const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
    pid_t pid = -1;
    if (::posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) !=
        0)
        return false;
    pid_ = pid;
    return true;
}

bool ShellProcess::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return true;
    pid_ = -1;  // ended (or already collected)
    return false;
}

}  // namespace zorvane
