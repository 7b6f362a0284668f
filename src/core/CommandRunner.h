#pragma once

#include <string>

namespace zorvane {

// Runs one system command at a time without holding up the caller: Start hands the command to
// the shell and returns at once; Running tells whether it is still going. The command's exit
// status is not reported.
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    // False when no shell could be started.
    virtual bool Start(const std::string& command) = 0;
    virtual bool Running() = 0;
};

}  // namespace zorvane
