// Scratch files for the file-integrity tests: a fresh folder per test, removed afterwards.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "trl4/integrity.h"

#ifdef _WIN32
#include <process.h>
#include <stdlib.h>
#define TRL4_TEST_PID _getpid()
#else
#include <unistd.h>
#define TRL4_TEST_PID getpid()
#endif

namespace trl4::test {

class TempDir {
  public:
    TempDir() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("trl4-h2-" + std::to_string(TRL4_TEST_PID) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::filesystem::path &path() const { return path_; }
    std::string file(const std::string &name) const { return (path_ / name).string(); }
    // A sub-folder, created.
    std::string dir(const std::string &name) const {
        std::filesystem::create_directories(path_ / name);
        return (path_ / name).string();
    }

  private:
    std::filesystem::path path_;
};

// The process environment, the same way on both platforms; value null removes the name.
inline void setEnv(const char *name, const char *value) {
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) {
        ::setenv(name, value, 1);
    } else {
        ::unsetenv(name);
    }
#endif
}

inline void writeBytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline const std::string kPrefix = kCrcMarkerPrefix;

// A component-like image: some code bytes, the marker with placeholder digits and its
// zero byte, then more bytes.
inline std::string markedImage(const std::string &digits = "00000000", std::size_t tail = 40) {
    std::string image =
        "\x7f"
        "code\x01\x02\x03 bytes before the marker ";
    image += kPrefix + digits;
    image.push_back('\0');
    for (std::size_t i = 0; i < tail; ++i)
        image.push_back(static_cast<char>('a' + i % 26));
    return image;
}

}  // namespace trl4::test
