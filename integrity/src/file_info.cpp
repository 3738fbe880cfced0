// A file's version, last-write date and time, and short name.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "trl4/integrity.h"
#include "trl4/os.h"

namespace {

void copyCut(const char *text, char *out, std::size_t size) {
    const std::size_t length = std::strlen(text);
    const std::size_t n = length < size ? length : size - 1;
    std::memcpy(out, text, n);
    out[n] = '\0';
}

}  // namespace

std::int32_t GetFInfo(const char *fileName, char *version, char *date, char *time,
                      char *shortName) noexcept {
    for (char *out : {version, date, time, shortName}) {
        if (out != nullptr) out[0] = '\0';
    }
    if (shortName != nullptr && fileName != nullptr) {
        const char *name = std::strrchr(fileName, trl4::os::kDirSeparator);
        copyCut(name != nullptr ? name + 1 : fileName, shortName, kFInfoShortNameSize);
    }
    if ((date != nullptr || time != nullptr) && fileName != nullptr) {
        trl4::os::LocalTime when;
        if (trl4::os::lastWriteLocalTime(fileName, when)) {
            if (date != nullptr) {
                std::snprintf(date, kFInfoDateSize, "%02i-%02i-%i", when.day, when.month,
                              when.year);
            }
            if (time != nullptr) {
                std::snprintf(time, kFInfoTimeSize, "%02i:%02i", when.hour, when.minute);
            }
        }
    }
    if (version == nullptr) return 0;
    if (fileName == nullptr || !trl4::os::fileVersion(fileName, version, kFInfoVersionSize)) {
        copyCut("n/a", version, kFInfoVersionSize);
    }
    return 0;
}
