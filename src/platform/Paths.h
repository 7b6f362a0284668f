#pragma once

#include <string>

namespace zorvane {

inline constexpr const char* kSettingsFileName = "ZorvaneCapture.ini";

// The folder holding the running executable; empty if it cannot be found.
std::string ExecutableDirectory();
// $HOME when set, else the home folder of the user's account entry.
std::string HomeDirectory();
// $XDG_CONFIG_HOME when it is an absolute path, else <home>/.config. Not created here.
std::string ConfigDirectory();
// The user's one settings file. Its folder is created when the file is first written.
std::string SettingsFilePath();

// The path can be opened for reading and is not a folder.
bool FileExists(const std::string& path);
// Creates one folder; true when it exists afterwards (an existing folder is fine).
bool MakeDirectory(const std::string& path);
// Creates a folder and any missing parents with the given mode; true when it exists afterwards.
bool MakeDirectories(const std::string& path, unsigned mode = 0777);
// The part of a path before its last '/' ("." for a bare name, "/" for a root entry).
std::string ParentDirectory(const std::string& path);

}  // namespace zorvane
