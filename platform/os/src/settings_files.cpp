// Per-user settings files: where they live, read whole, replaced atomically.
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "trl4/os.h"

namespace trl4::os {
namespace {

constexpr const char *kProgramFolder = "p_trl4";

#ifdef _WIN32

std::wstring wide(const std::string &utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, out.data(), n);
    out.pop_back();
    return out;
}

bool makeFolder(const std::string &path) {
    const std::wstring w = wide(path);
    return !w.empty() &&
           (CreateDirectoryW(w.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS);
}

bool moveOver(const std::string &from, const std::string &to) {
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const std::string &path) {
    return DeleteFileW(wide(path).c_str()) != 0;
}

// A folder named by the environment, as UTF-8: read in UTF-16, so a user folder named outside
// the ANSI code page (a Cyrillic user name on a Western system) still holds.
std::string environmentFolder(const wchar_t *name) {
    const wchar_t *value = _wgetenv(name);
    if (value == nullptr || *value == L'\0') return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, value, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, value, -1, out.data(), n, nullptr, nullptr);
    out.pop_back();
    return out;
}

std::string overrideFolder() {
    return environmentFolder(L"TRL4_SETTINGS_DIR");
}

std::string baseFolder() {
    return environmentFolder(L"APPDATA");
}

#else

bool makeFolder(const std::string &path) {
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool moveOver(const std::string &from, const std::string &to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool removeFile(const std::string &path) {
    return std::remove(path.c_str()) == 0;
}

std::string overrideFolder() {
    const char *dir = std::getenv("TRL4_SETTINGS_DIR");
    return dir != nullptr ? std::string(dir) : std::string();
}

std::string baseFolder() {
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return xdg;
    const char *home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return {};
    const std::string config = std::string(home) + "/.config";
    return makeFolder(config) ? config : std::string();
}

#endif

}  // namespace

std::string userSettingsDirectory() {
    // Where a test, or a lab keeping one bench's settings apart, says.
    if (const std::string chosen = overrideFolder(); !chosen.empty()) {
        return makeFolder(chosen) ? chosen : std::string();
    }
    const std::string base = baseFolder();
    if (base.empty() || !makeFolder(base)) return {};
    const std::string folder = base + kDirSeparator + kProgramFolder;
    return makeFolder(folder) ? folder : std::string();
}

bool replaceFileContent(const char *utf8Path, const std::string &content) {
    const std::string target = utf8Path;
    const std::string temporary = target + ".new";
    // The appending opener takes a UTF-8 name on every platform; the temporary starts empty.
    removeFile(temporary);
    File *file = openForAppending(temporary.c_str());
    if (file == nullptr) return false;
    const bool written = writeFile(file, content.data(), content.size());
    const bool closed = closeFile(file);
    if (written && closed && moveOver(temporary, target)) return true;
    removeFile(temporary);
    return false;
}

bool readWholeFile(const char *utf8Path, std::string &content, std::size_t maxBytes) {
    File *file = openUtf8ForReading(utf8Path);
    if (file == nullptr) return false;
    std::string out;
    char chunk[4096];
    std::int64_t got = 0;
    while ((got = readFile(file, chunk, sizeof chunk)) > 0 && out.size() <= maxBytes)
        out.append(chunk, static_cast<std::size_t>(got));
    closeFile(file);
    if (got < 0 || out.size() > maxBytes) return false;
    content = std::move(out);
    return true;
}

}  // namespace trl4::os
