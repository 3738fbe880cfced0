// Search of a component file along the start directory and the machine-wide search path.
#include <cstdio>
#include <cstring>
#include <new>

#include "trl4/integrity.h"
#include "trl4/os.h"

using trl4::integrity::kMaxSearchEntries;
using trl4::integrity::kSearchSlots;
using trl4::integrity::kSearchTextSize;

struct PathSearch {
    char text[kSearchTextSize];
    // Entry pointers in order, a slot already tried holds kTried, a null slot ends the list.
    char *slots[kSearchSlots];
};

namespace {

char triedMark;
char *const kTried = &triedMark;

bool isDirSeparator(char c) {
    return c == '\\' || c == '/';
}

// A fresh handle holding the start directory as entry 0 (when given). `used` receives the
// bytes of the text block it takes.
PathSearch *createSearch(const char *startDir, std::size_t &used) {
    auto *search = new (std::nothrow) PathSearch();
    if (search == nullptr) return nullptr;
    used = 0;
    if (startDir != nullptr && startDir[0] != '\0') {
        const std::size_t length = std::strlen(startDir);
        // A start directory that fills the block leaves no room for the search path;
        // one that does not fit at all is not searched (a cut one would be another place).
        if (length < kSearchTextSize - 1) {
            std::memcpy(search->text, startDir, length);
            used = length + 1;
            search->slots[0] = search->text;
        }
    }
    return search;
}

// Cuts the search path text (from `used` on) into entries after the start directory,
// at most kMaxSearchEntries in all; text after the last of them is ignored. An empty entry
// names no directory and is skipped: taken as one, it would send the search to the root.
void cutEntries(PathSearch *search, std::size_t used, char separator) {
    std::size_t count = search->slots[0] != nullptr ? 1 : 0;
    char *const end = search->text + kSearchTextSize;
    char *entry = search->text + used;
    for (char *p = entry; count < kMaxSearchEntries; ++p) {
        const bool last = p == end || *p == '\0';
        if (!last && *p != separator) continue;
        if (p > entry) search->slots[count++] = entry;
        if (last) break;
        *p = '\0';
        entry = p + 1;
    }
    for (std::size_t i = 0; i < count; ++i) {
        char *dir = search->slots[i];
        const std::size_t length = std::strlen(dir);
        if (length > 0 && isDirSeparator(dir[length - 1])) dir[length - 1] = '\0';
    }
}

// The candidate "entry<separator>name" in `path`; false (and `path` empty) when it does
// not fit.
bool formatCandidate(const char *entry, const char *fileName, char *path, std::size_t pathSize) {
    const int n = std::snprintf(path, pathSize, "%s%c%s", entry, trl4::os::kDirSeparator, fileName);
    if (n < 0 || static_cast<std::size_t>(n) >= pathSize) {
        path[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace

namespace trl4::integrity {

PathSearch *makePathSearch(const char *startDir, const char *searchText,
                           std::size_t searchTextLength, char separator) noexcept {
    std::size_t used = 0;
    PathSearch *search = createSearch(startDir, used);
    if (search == nullptr) return nullptr;
    if (searchText != nullptr && searchTextLength < kSearchTextSize - used) {
        std::memcpy(search->text + used, searchText, searchTextLength);
    }
    cutEntries(search, used, separator);
    return search;
}

std::size_t searchEntryCount(const PathSearch *handle) noexcept {
    if (handle == nullptr) return 0;
    std::size_t count = 0;
    while (count < kSearchSlots && handle->slots[count] != nullptr)
        ++count;
    return count;
}

const char *searchEntry(const PathSearch *handle, std::size_t index) noexcept {
    if (handle == nullptr || index >= searchEntryCount(handle)) return nullptr;
    const char *entry = handle->slots[index];
    return entry == kTried ? nullptr : entry;
}

}  // namespace trl4::integrity

PathSearch *FirstPathFname(const char *startDir, const char *fileName, char *path,
                           std::size_t pathSize) noexcept {
    if (path == nullptr || pathSize == 0) return nullptr;
    path[0] = '\0';
    if (fileName == nullptr) return nullptr;
    std::size_t used = 0;
    PathSearch *search = createSearch(startDir, used);
    if (search == nullptr) return nullptr;
    trl4::os::readMachineSearchPath(search->text + used, kSearchTextSize - used);
    cutEntries(search, used, trl4::os::kSearchPathSeparator);
    // Neither a start directory nor a usable search path: there is nowhere to look.
    if (search->slots[0] == nullptr) {
        ClosePathFName(search);
        return nullptr;
    }
    // Entry 0 is not marked as tried, so a later NextPathFName starts at entry 1. An error
    // on it only moves the search on.
    if (formatCandidate(search->slots[0], fileName, path, pathSize) &&
        trl4::os::fileExists(path) == 1) {
        return search;
    }
    if (NextPathFName(search, fileName, path, pathSize) > 0) return search;
    ClosePathFName(search);
    return nullptr;
}

std::int32_t NextPathFName(PathSearch *handle, const char *fileName, char *path,
                           std::size_t pathSize) noexcept {
    if (path != nullptr && pathSize > 0) path[0] = '\0';
    if (handle == nullptr || fileName == nullptr || path == nullptr || pathSize == 0) return 0;
    for (std::size_t i = 1; i < kSearchSlots && handle->slots[i] != nullptr; ++i) {
        if (handle->slots[i] == kTried) continue;
        const bool fits = formatCandidate(handle->slots[i], fileName, path, pathSize);
        handle->slots[i] = kTried;
        if (!fits) continue;
        const int found = trl4::os::fileExists(path);
        if (found != 0) return found;
    }
    return 0;
}

void ClosePathFName(PathSearch *handle) noexcept {
    delete handle;
}
