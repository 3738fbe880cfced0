// POSIX analogues: the machine environment file for the search path, stat for existence,
// size and times, and the FileVersion from the file's bytes.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "file_version.h"
#include "trl4/environment_file.h"
#include "trl4/os.h"

namespace trl4::os {
namespace {

constexpr const char *kDefaultEnvironmentFile = "/etc/environment";
// A larger environment file is not a plausible one; it is not read.
constexpr std::streamoff kMaxEnvironmentFileSize = 1 << 20;

std::string &environmentFile() {
    static std::string path = kDefaultEnvironmentFile;
    return path;
}

}  // namespace

void setMachineEnvironmentFile(const char *path) {
    environmentFile() = path != nullptr ? path : kDefaultEnvironmentFile;
}

bool readMachineSearchPath(char *buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return false;
    buffer[0] = '\0';
    std::ifstream in(environmentFile(), std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0 || length > kMaxEnvironmentFileSize) return false;
    in.seekg(0, std::ios::beg);
    std::string text(static_cast<std::size_t>(length), '\0');
    if (!in.read(text.data(), length)) return false;
    std::string value;
    if (!parseEnvironmentPath(text, value) || value.size() >= capacity) return false;
    std::memcpy(buffer, value.data(), value.size());
    buffer[value.size()] = '\0';
    return true;
}

FileKind fileKind(const char *path) {
    if (path == nullptr) return FileKind::Error;
    struct stat st {};
    if (::stat(path, &st) != 0) {
        return (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG) ? FileKind::Missing
                                                                              : FileKind::Error;
    }
    if (S_ISREG(st.st_mode)) return FileKind::Regular;
    return S_ISDIR(st.st_mode) ? FileKind::Directory : FileKind::Other;
}

std::int64_t fileSize(const char *path) {
    if (path == nullptr) return -1;
    struct stat st {};
    if (::stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

namespace {

bool localFields(std::time_t when, LocalTime &out) {
    std::tm fields{};
    if (::localtime_r(&when, &fields) == nullptr) return false;
    // tm_year is years since 1900; keep the sum inside int.
    if (fields.tm_year > 2147483647 - 1900) return false;
    out.year = fields.tm_year + 1900;
    out.month = fields.tm_mon + 1;
    out.day = fields.tm_mday;
    out.hour = fields.tm_hour;
    out.minute = fields.tm_min;
    out.second = fields.tm_sec;
    return true;
}

}  // namespace

bool localTimeNow(LocalTime &out) {
    return localFields(std::time(nullptr), out);
}

std::string localTimeIso8601() {
    const std::time_t now = std::time(nullptr);
    std::tm fields{};
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &fields) == nullptr) return {};
    char text[40];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &fields) == 0) return {};
    std::string out = text;
    // strftime writes +0300; ISO 8601's extended form wants +03:00.
    if (out.size() >= 5) out.insert(out.size() - 2, 1, ':');
    return out;
}

bool lastWriteLocalTime(const char *path, LocalTime &out) {
    if (path == nullptr) return false;
    struct stat st {};
    if (::stat(path, &st) != 0) return false;
    return localFields(st.st_mtime, out);
}

bool fileVersion(const char *path, char *out, std::size_t capacity) {
    return fileVersionFromImage(path, out, capacity);
}

}  // namespace trl4::os
