// The cutting of a start directory and a search path text into search entries. The first
// line of the input is the start directory, the rest the search path text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "trl4/integrity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);
    const auto newline = input.find('\n');
    const std::string start = input.substr(0, newline);
    const std::string text = newline == std::string::npos ? "" : input.substr(newline + 1);
    PathSearch *search =
        trl4::integrity::makePathSearch(start.c_str(), text.data(), text.size(), ':');
    if (search == nullptr) return 0;
    const std::size_t count = trl4::integrity::searchEntryCount(search);
    const std::size_t startLength = std::strlen(start.c_str());  // a zero byte ends it
    const bool hasStart = startLength > 0 && startLength < 65535;
    if (count > trl4::integrity::kMaxSearchEntries || (hasStart && count == 0)) std::abort();
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char *entry = trl4::integrity::searchEntry(search, i);
        if (entry == nullptr) std::abort();
        const std::size_t n = std::strlen(entry);
        total += n;
        if (!(hasStart && i == 0) && std::memchr(entry, ':', n) != nullptr) std::abort();
    }
    if (total > trl4::integrity::kSearchTextSize) std::abort();
    if (trl4::integrity::searchEntry(search, count) != nullptr) std::abort();
    ClosePathFName(search);
    return 0;
}
