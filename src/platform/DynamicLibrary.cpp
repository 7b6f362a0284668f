#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <atomic>
#include <utility>

#include "platform/Paths.h"

namespace zorvane {

namespace {

std::atomic<std::uint64_t> g_symbolLookups{0};

bool EndsWithDll(const std::string& name) {
    if (name.size() < 4) return false;
    const std::string tail = name.substr(name.size() - 4);
    return (tail[0] == '.') && (tail[1] == 'd' || tail[1] == 'D') &&
           (tail[2] == 'l' || tail[2] == 'L') && (tail[3] == 'l' || tail[3] == 'L');
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string MapLibraryFileName(const std::string& logical) {
    if (!EndsWithDll(logical) || logical.size() == 4) return logical;
    return "lib" + logical.substr(0, logical.size() - 4) + ".so";
}

std::vector<std::string> DefaultLibrarySearchDirs() {
    const std::string exeDir = ExecutableDirectory();
    if (exeDir.empty()) return {};
    return {exeDir, exeDir + "/../lib/zorvane-capture"};
}

DynamicLibrary::~DynamicLibrary() {
    Close();
}

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_)) {
    other.path_.clear();
}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
        other.path_.clear();
    }
    return *this;
}

DynamicLibrary DynamicLibrary::Open(const std::string& path) {
    DynamicLibrary lib;
    // Local binding: two camera libraries export the same names and must never satisfy each
    // other's look-ups.
    lib.handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib.handle_) lib.path_ = path;
    return lib;
}

DynamicLibrary DynamicLibrary::LoadMapped(const std::string& logical,
                                          const std::vector<std::string>& searchDirs) {
    const std::string file = MapLibraryFileName(logical);
    const bool useDefault = searchDirs.empty();
    const std::vector<std::string> dirs = useDefault ? DefaultLibrarySearchDirs() : searchDirs;
    for (const std::string& dir : dirs) {
        if (dir.empty()) continue;
        const std::string path = dir + "/" + file;
        if (!IsRegularFile(path)) continue;
        DynamicLibrary lib = Open(path);
        if (lib) return lib;
    }
    if (useDefault) return Open(file);
    return {};
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (!handle_ || !name) return nullptr;
    g_symbolLookups.fetch_add(1, std::memory_order_relaxed);
    return ::dlsym(handle_, name);
}

void DynamicLibrary::Close() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
    path_.clear();
}

std::uint64_t DynamicLibrary::SymbolLookupCount() {
    return g_symbolLookups.load(std::memory_order_relaxed);
}

}  // namespace zorvane
