// POSIX analogues: the machine's environment files for the search path, stat for existence,
// size and times, and the FileVersion from the file's bytes.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "file_version.h"
#include "trl4/environment_file.h"
#include "trl4/os.h"

namespace trl4::os {
namespace {

// A larger environment file is not a plausible one; it is not read.
constexpr off_t kMaxEnvironmentFileSize = 1 << 20;
// The folders of environment.d drop-ins, a file here hiding one of the same name further on
// (the user's own folder is no machine-wide setting).
constexpr const char *kDropInFolders[] = {
    "/etc/environment.d",     "/run/environment.d", "/usr/local/lib/environment.d",
    "/usr/lib/environment.d", "/lib/environment.d",
};

std::optional<std::string> &rootOverride() {
    static std::optional<std::string> root;
    return root;
}

// The folder taken as the machine's root, without a trailing '/' ("" for the real one).
std::string machineRoot() {
    std::string root;
    if (rootOverride()) {
        root = *rootOverride();
    } else if (const char *given = std::getenv("TRL4_SYSTEM_ROOT")) {
        root = given;
    }
    while (!root.empty() && root.back() == '/')
        root.pop_back();
    return root;
}

// The file a name inside the root stands for: a symbolic link with an absolute target (the
// systemd drop-in that stands for /etc/environment is one) points inside the root too, but
// for /dev/null.
std::string underRoot(const std::string &root, std::string name) {
    if (root.empty()) return name;
    for (int hops = 0; hops < 32; ++hops) {
        char target[4096];
        const ssize_t n = ::readlink((root + name).c_str(), target, sizeof target);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) break;
        const std::string link(target, static_cast<std::size_t>(n));
        if (link == "/dev/null") return link;  // a masked drop-in
        name = link.front() == '/' ? link : name.substr(0, name.rfind('/') + 1) + link;
    }
    return root + name;
}

// The text of an environment file; false when it cannot be read. A drop-in masked by a link
// to /dev/null reads as empty.
bool readEnvironmentFile(const std::string &file, std::string &text) {
    text.clear();
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return false;
    if (S_ISCHR(st.st_mode)) return true;
    if (!S_ISREG(st.st_mode) || st.st_size > kMaxEnvironmentFileSize) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad() && text.size() <= static_cast<std::size_t>(kMaxEnvironmentFileSize);
}

// The drop-ins in the order they apply: sorted by file name whatever their folder, a name
// taken from the first folder that has it.
std::map<std::string, std::string> dropIns(const std::string &root) {
    std::map<std::string, std::string> files;
    constexpr std::string_view kSuffix = ".conf";
    for (const char *folder : kDropInFolders) {
        DIR *dir = ::opendir((root + folder).c_str());
        if (dir == nullptr) continue;
        while (const dirent *entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name.size() <= kSuffix.size() || name.front() == '.' ||
                name.substr(name.size() - kSuffix.size()) != kSuffix || entry->d_type == DT_DIR) {
                continue;
            }
            files.emplace(std::string(name), std::string(folder) + "/" + std::string(name));
        }
        ::closedir(dir);
    }
    return files;
}

// Each absolute entry of a search path moved inside the root.
std::string entriesUnder(const std::string &root, const std::string &path) {
    if (root.empty()) return path;
    std::string out;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = path.find(kSearchPathSeparator, begin);
        const std::string entry = path.substr(begin, end - begin);
        if (begin > 0) out += kSearchPathSeparator;
        out += (!entry.empty() && entry.front() == '/' ? root : std::string()) + entry;
        if (end == std::string::npos) break;
        begin = end + 1;
    }
    return out;
}

}  // namespace

void setMachineRoot(const char *root) {
    if (root != nullptr) {
        rootOverride() = root;
    } else {
        rootOverride().reset();
    }
}

bool readMachineSearchPath(char *buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return false;
    buffer[0] = '\0';
    const std::string root = machineRoot();
    EnvironmentBlock block;
    std::string text;
    // What every login reads (pam_env), then what the user manager gives a desktop session.
    if (readEnvironmentFile(underRoot(root, "/etc/environment"), text)) block.apply(text);
    for (const auto &[name, file] : dropIns(root)) {
        if (readEnvironmentFile(underRoot(root, file), text)) block.apply(text);
    }
    const std::string *path = block.value("PATH");
    if (path == nullptr) return false;
    const std::string value = entriesUnder(root, *path);
    if (value.size() >= capacity) return false;
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
