// Scratch files for the file-integrity tests: a fresh folder per test, removed afterwards.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "trl4/integrity.h"

#include "../support/scratch.h"

namespace trl4::test {

class TempDir {
  public:
    TempDir() : path_(freshTempDir("trl4-h2-")) {}
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
