#pragma once

#include <sys/types.h>

#include <string>

#include "core/CommandRunner.h"

namespace zorvane {

// A command run through /bin/sh -c as a child process. Starting another command while one
// still runs, or destroying the object, leaves the running one to finish on its own (it is
// reaped in the background, never killed: it may be copying a file).
class ShellProcess : public CommandRunner {
public:
    ShellProcess() = default;
    ~ShellProcess() override;
    ShellProcess(const ShellProcess&) = delete;
    ShellProcess& operator=(const ShellProcess&) = delete;

    bool Start(const std::string& command) override;
    bool Running() override;

private:
    void Release();

    pid_t pid_ = -1;
};

}  // namespace zorvane
