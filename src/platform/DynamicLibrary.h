#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zorvane {

// Maps a logical library name as the program knows it ("ZorvaneCCD.dll") to the file name of
// the shared object on this system ("libZorvaneCCD.so"). Names without the ".dll" ending are
// returned unchanged.
std::string MapLibraryFileName(const std::string& logical);

// Folders searched for camera libraries when the caller names none: the executable's folder,
// then the install's library folder (<exe>/../lib/zorvane-capture).
std::vector<std::string> DefaultLibrarySearchDirs();

// Sole owner of one dlopen handle; closes it when destroyed. Move-only.
class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Opens exactly this file (a bare name goes through the system's library search).
    static DynamicLibrary Open(const std::string& path);
    // Looks for MapLibraryFileName(logical) in each search folder in order. With no folders
    // given, searches DefaultLibrarySearchDirs() and then the system's library path; with
    // folders given, only those, so a caller sees exactly the files it points at.
    static DynamicLibrary LoadMapped(const std::string& logical,
                                     const std::vector<std::string>& searchDirs = {});

    bool IsLoaded() const { return handle_ != nullptr; }
    explicit operator bool() const { return IsLoaded(); }
    // The address of an exported symbol; nullptr when absent or when nothing is loaded.
    void* Symbol(const char* name) const;
    void Close();
    // The file name the library was opened with; empty when nothing is loaded.
    const std::string& Path() const { return path_; }

    // Number of symbol look-ups made by every DynamicLibrary of the process so far. Lets tests
    // see whether a missing entry point is looked up again.
    static std::uint64_t SymbolLookupCount();

private:
    void* handle_ = nullptr;
    std::string path_;
};

}  // namespace zorvane
