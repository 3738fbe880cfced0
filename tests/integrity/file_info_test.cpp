#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/time.h>
#endif

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "test_files.h"
#include "trl4/integrity.h"

namespace {

using trl4::test::TempDir;
using trl4::test::writeBytes;

struct FInfo {
    char version[kFInfoVersionSize];
    char date[kFInfoDateSize];
    char time[kFInfoTimeSize];
    char shortName[kFInfoShortNameSize];
};

FInfo infoOf(const char *path) {
    FInfo info;
    for (char *out : {info.version, info.date, info.time, info.shortName})
        out[0] = '?';
    EXPECT_EQ(GetFInfo(path, info.version, info.date, info.time, info.shortName), 0);
    return info;
}

// Sets the file's modification time from local calendar fields.
void touchLocal(const std::string &path, int year, int month, int day, int hour, int minute) {
#ifdef _WIN32
    SYSTEMTIME local{};
    local.wYear = static_cast<WORD>(year);
    local.wMonth = static_cast<WORD>(month);
    local.wDay = static_cast<WORD>(day);
    local.wHour = static_cast<WORD>(hour);
    local.wMinute = static_cast<WORD>(minute);
    FILETIME localTime{}, utc{};
    ASSERT_TRUE(SystemTimeToFileTime(&local, &localTime));
    ASSERT_TRUE(LocalFileTimeToFileTime(&localTime, &utc));
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &utc));
    CloseHandle(file);
#else
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_isdst = -1;
    const std::time_t when = std::mktime(&fields);
    const timeval times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimes(path.c_str(), times), 0);
#endif
}

#ifndef _WIN32
class ZoneGuard {
  public:
    explicit ZoneGuard(const char *zone) {
        if (const char *old = std::getenv("TZ")) saved_ = old, had_ = true;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneGuard() {
        if (had_) {
            ::setenv("TZ", saved_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

  private:
    std::string saved_;
    bool had_ = false;
};
#endif

TEST(GetFInfo, DateAndTimeOfTheLastWriteInLocalTime) {
    TempDir dir;
    const std::string path = dir.file("dated.bin");
    writeBytes(path, "x");
    touchLocal(path, 2011, 3, 5, 9, 7);
    FInfo info = infoOf(path.c_str());
    EXPECT_STREQ(info.date, "05-03-2011");
    EXPECT_STREQ(info.time, "09:07");
    EXPECT_STREQ(info.version, "n/a");
    EXPECT_STREQ(info.shortName, "dated.bin");
#ifndef _WIN32
    // The same instant three hours east of UTC: the local fields, not the universal ones.
    ZoneGuard zone("<+03>-3");
    const std::time_t utc = 1299323220;  // 2011-03-05 11:07:00 UTC
    const timeval times[2] = {{utc, 0}, {utc, 0}};
    ASSERT_EQ(::utimes(path.c_str(), times), 0);
    info = infoOf(path.c_str());
    EXPECT_STREQ(info.date, "05-03-2011");
    EXPECT_STREQ(info.time, "14:07");
#endif
    touchLocal(path, 1999, 12, 31, 23, 59);
    EXPECT_STREQ(infoOf(path.c_str()).date, "31-12-1999");
    EXPECT_STREQ(infoOf(path.c_str()).time, "23:59");
}

TEST(GetFInfo, MissingFileGivesEmptyDateAndTime) {
    TempDir dir;
    const std::string path = dir.file("gone.bin");
    FInfo info = infoOf(path.c_str());
    EXPECT_STREQ(info.date, "");
    EXPECT_STREQ(info.time, "");
    EXPECT_STREQ(info.version, "n/a");
    EXPECT_STREQ(info.shortName, "gone.bin");
    info = infoOf(nullptr);
    EXPECT_STREQ(info.date, "");
    EXPECT_STREQ(info.shortName, "");
    EXPECT_STREQ(info.version, "n/a");
}

TEST(GetFInfo, ShortNameIsCutAfterTheLastSeparatorTo127Characters) {
    struct Case {
        std::string path, name;
    };
    const std::string longName(200, 'L');
    const Case cases[] = {
        {"file.so", "file.so"},
#ifdef _WIN32
        {"C:\\dir\\sub\\file.dll", "file.dll"},
        {"\\file.dll", "file.dll"},
        {"C:\\dir\\", ""},
        {"C:\\x\\" + longName, longName.substr(0, 127)},
#else
        {"/dir/sub/file.so", "file.so"},
        {"/file.so", "file.so"},
        {"/dir/", ""},
        {"C:\\dir\\file.dll", "C:\\dir\\file.dll"},  // '\' is an ordinary character here
        {"/x/" + longName, longName.substr(0, 127)},
#endif
    };
    for (const Case &c : cases) {
        char shortName[kFInfoShortNameSize + 8];
        std::memset(shortName, '#', sizeof shortName);
        EXPECT_EQ(GetFInfo(c.path.c_str(), nullptr, nullptr, nullptr, shortName), 0);
        EXPECT_EQ(std::string(shortName), c.name) << c.path;
        EXPECT_EQ(shortName[kFInfoShortNameSize], '#');
    }
}

TEST(GetFInfo, FileWithoutVersionNoteGivesNotAvailable) {
    TempDir dir;
    const std::string path = dir.file("plain.so");
    writeBytes(path,
               "\x7f"
               "ELF but not really");
    char version[kFInfoVersionSize] = "?";
    EXPECT_EQ(GetFInfo(path.c_str(), version, nullptr, nullptr, nullptr), 0);
    EXPECT_STREQ(version, "n/a");
    // This test program itself is a real executable without a version.
#ifdef _WIN32
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
#else
    const char *self = "/proc/self/exe";
#endif
    EXPECT_EQ(GetFInfo(self, version, nullptr, nullptr, nullptr), 0);
    EXPECT_STREQ(version, "n/a");
}

}  // namespace
