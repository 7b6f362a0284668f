#pragma once

#include <string>

namespace zorvane {

// Runs a command through /bin/sh -c and waits for it; the status as the C library's system()
// reports it (-1 when no shell could be started).
int RunShellCommand(const std::string& command);

// Scheduling priority of the calling thread, as its nice value (lower runs sooner; 0 normal).
int CurrentThreadPriority();
// Sets the calling thread's nice value; false when the system does not permit it.
bool SetCurrentThreadPriority(int priority);
// The nice value used for "above normal" while a loop of exposures runs.
inline constexpr int kAboveNormalPriority = -2;
// Raises the calling thread to above normal where permitted. Without the privilege to raise a
// priority nothing changes, silently: the loop still runs, only less favoured.
void RaiseToAboveNormal();

}  // namespace zorvane
