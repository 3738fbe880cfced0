// The Win32 implementation: registry, file attributes and times, version resources.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "file_version.h"
#include "trl4/os.h"

namespace trl4::os {
namespace {

constexpr const char *kEnvironmentKey =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

void copyBounded(const char *text, std::size_t length, char *out, std::size_t capacity) {
    const std::size_t n = length < capacity ? length : capacity - 1;
    std::memcpy(out, text, n);
    out[n] = '\0';
}

void takeFields(const SYSTEMTIME &fields, LocalTime &out) {
    out.year = fields.wYear;
    out.month = fields.wMonth;
    out.day = fields.wDay;
    out.hour = fields.wHour;
    out.minute = fields.wMinute;
    out.second = fields.wSecond;
}

}  // namespace

void setMachineRoot(const char *) {}

bool readMachineSearchPath(char *buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return false;
    buffer[0] = '\0';
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kEnvironmentKey, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD size = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
    const LONG rc =
        RegQueryValueExA(key, "Path", nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size);
    RegCloseKey(key);
    // Text as stored, never expanded; a value that does not fit is not used.
    const bool text = type == REG_SZ || type == REG_EXPAND_SZ;
    if (rc != ERROR_SUCCESS || !text || size > capacity) {
        buffer[0] = '\0';
        return false;
    }
    // The stored value need not carry its terminator; it must still fit with one.
    const std::size_t length = strnlen(buffer, size);
    if (length >= capacity) {
        buffer[0] = '\0';
        return false;
    }
    buffer[length] = '\0';
    return true;
}

FileKind fileKind(const char *path) {
    if (path == nullptr) return FileKind::Error;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        switch (GetLastError()) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_PATH_NOT_FOUND:
            case ERROR_INVALID_NAME:
            case ERROR_INVALID_DRIVE:
            case ERROR_BAD_NETPATH:
            case ERROR_BAD_PATHNAME:
            case ERROR_FILENAME_EXCED_RANGE:
                return FileKind::Missing;
            default:
                return FileKind::Error;
        }
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::Directory;
    return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? FileKind::Other : FileKind::Regular;
}

std::int64_t fileSize(const char *path) {
    if (path == nullptr) return -1;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return -1;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                     data.nFileSizeLow);
}

bool lastWriteLocalTime(const char *path, LocalTime &out) {
    if (path == nullptr) return false;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return false;
    FILETIME local{};
    SYSTEMTIME fields{};
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToSystemTime(&local, &fields)) {
        return false;
    }
    takeFields(fields, out);
    return true;
}

bool localTimeNow(LocalTime &out) {
    SYSTEMTIME fields{};
    GetLocalTime(&fields);
    takeFields(fields, out);
    return true;
}

std::string localTimeIso8601() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    TIME_ZONE_INFORMATION zone{};
    const DWORD which = GetTimeZoneInformation(&zone);
    long bias = zone.Bias;  // minutes to add to local time for UTC
    if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
    if (which == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
    const long offset = -bias;
    const long magnitude = offset < 0 ? -offset : offset;
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld",
                  static_cast<unsigned>(t.wYear), static_cast<unsigned>(t.wMonth),
                  static_cast<unsigned>(t.wDay), static_cast<unsigned>(t.wHour),
                  static_cast<unsigned>(t.wMinute), static_cast<unsigned>(t.wSecond),
                  offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

bool fileVersion(const char *path, char *out, std::size_t capacity) {
    if (path == nullptr || out == nullptr || capacity == 0) return false;
    out[0] = '\0';
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    // A file the system does not read a version from may still be a Linux library.
    if (size == 0) return fileVersionFromImage(path, out, capacity);
    std::vector<char> info(size);
    if (!GetFileVersionInfoA(path, 0, size, info.data())) return false;
    void *translation = nullptr;
    UINT translationSize = 0;
    if (!VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", &translation,
                        &translationSize) ||
        translation == nullptr || translationSize < 4) {
        return false;
    }
    WORD pair[2] = {0, 0};
    std::memcpy(pair, translation, sizeof pair);
    char subBlock[256];
    std::snprintf(subBlock, sizeof subBlock, "\\StringFileInfo\\%04x%04x\\FileVersion",
                  static_cast<unsigned>(pair[0]), static_cast<unsigned>(pair[1]));
    void *text = nullptr;
    UINT textSize = 0;
    if (!VerQueryValueA(info.data(), subBlock, &text, &textSize) || text == nullptr) return false;
    const char *version = static_cast<const char *>(text);
    copyBounded(version, strnlen(version, textSize), out, capacity);
    return true;
}

}  // namespace trl4::os
