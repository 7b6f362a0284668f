#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fixtures/TempDir.h"

namespace zorvane::test {

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void Touch(const std::string& path) {
    std::ofstream(path) << "x";
}

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

inline unsigned Byte(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes.at(at));
}

inline std::uint32_t Le32(const std::string& b, std::size_t at) {
    return Byte(b, at) | Byte(b, at + 1) << 8 | Byte(b, at + 2) << 16 | Byte(b, at + 3) << 24;
}
inline std::uint16_t Le16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(Byte(b, at) | Byte(b, at + 1) << 8);
}

// While alive, files of this process cannot grow beyond `bytes`: writes past it fail the way
// they do on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

// A frame whose pixel values say where they are: value = row * 1000 + column (modulo 65536).
inline std::vector<std::uint16_t> NumberedFrame(int width, int height) {
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            pixels[y * width + x] = static_cast<std::uint16_t>(y * 1000 + x);
    }
    return pixels;
}

}  // namespace zorvane::test
