#include "platform/System.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace zorvane {

namespace {

// On Linux a nice value belongs to a thread when addressed by its thread id.
id_t ThisThread() {
    return static_cast<id_t>(::syscall(SYS_gettid));
}

}  // namespace

int RunShellCommand(const std::string& command) {
    return std::system(command.c_str());
}

int CurrentThreadPriority() {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, ThisThread());
    return (nice == -1 && errno != 0) ? 0 : nice;
}

bool SetCurrentThreadPriority(int priority) {
    return ::setpriority(PRIO_PROCESS, ThisThread(), priority) == 0;
}

void RaiseToAboveNormal() {
    if (CurrentThreadPriority() > kAboveNormalPriority) {
        SetCurrentThreadPriority(kAboveNormalPriority);
    }
}

}  // namespace zorvane
