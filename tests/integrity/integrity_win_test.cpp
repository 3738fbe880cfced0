// The file-integrity functions on Windows (run under wine): the search along the machine
// search path in the registry, file information from version resources and file times,
// the marker on real files, and crcstamp. The registry value is put back at the end.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "trl4/integrity.h"

namespace {

constexpr const char *kEnvironmentKey =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr char kName[] = "component.dll";

// Replaces the machine search path for the test and restores the old value when done.
class MachinePath {
  public:
    MachinePath() {
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kEnvironmentKey, 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        DWORD size = 0;
        if (RegQueryValueExA(key_, "Path", nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            saved_.resize(size);
            had_ = RegQueryValueExA(key_, "Path", nullptr, &type_, saved_.data(), &size) ==
                   ERROR_SUCCESS;
            saved_.resize(size);
        }
    }
    ~MachinePath() {
        if (key_ == nullptr) return;
        if (had_) {
            RegSetValueExA(key_, "Path", 0, type_, saved_.data(),
                           static_cast<DWORD>(saved_.size()));
        } else {
            RegDeleteValueA(key_, "Path");
        }
        RegCloseKey(key_);
    }
    bool usable() const { return key_ != nullptr; }
    void set(const std::string &text, DWORD type = REG_SZ) {
        RegSetValueExA(key_, "Path", 0, type, reinterpret_cast<const BYTE *>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }
    void remove() { RegDeleteValueA(key_, "Path"); }

  private:
    HKEY key_ = nullptr;
    DWORD type_ = REG_SZ;
    std::vector<BYTE> saved_;
    bool had_ = false;
};

std::string scratch;  // the test's own folder

std::string makeDir(const std::string &name) {
    const std::string path = scratch + "\\" + name;
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void writeFile(const std::string &path, const std::string &bytes) {
    if (std::FILE *f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

std::string readFile(const std::string &path) {
    std::string bytes;
    if (std::FILE *f = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        std::size_t n = 0;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
            bytes.append(chunk, n);
        std::fclose(f);
    }
    return bytes;
}

std::string holding(const std::string &name) {
    const std::string dir = makeDir(name);
    writeFile(dir + "\\" + kName, "component");
    return dir;
}

std::string in(const std::string &dir) {
    return dir + "\\" + kName;
}

void searchCases(MachinePath &machine) {
    char path[MAX_PATH] = {};
    const std::string start = holding("start");
    const std::string e1 = makeDir("e1"), e2 = makeDir("e2"), e4 = makeDir("e4");
    const std::string third = holding("third"), fifth = holding("fifth");

    // The start directory first, its trailing backslash removed.
    machine.set(e1 + ";" + third);
    PathSearch *h = FirstPathFname((start + "\\").c_str(), kName, path, sizeof path);
    CHECK(h != nullptr);
    CHECK_EQ_STR(path, in(start).c_str());
    CHECK(NextPathFName(h, kName, path, sizeof path) == 1);  // continues from entry 1
    CHECK_EQ_STR(path, in(third).c_str());
    ClosePathFName(h);

    // The third entry, then the fifth, then nothing: the empty entries (a ';' at either end,
    // ";;") are skipped, never taken for the root of the drive.
    machine.set(";" + e1 + ";" + e2 + "\\;;" + third + "\\;" + e4 + ";" + fifth + ";",
                REG_EXPAND_SZ);
    h = FirstPathFname(makeDir("empty").c_str(), kName, path, sizeof path);
    CHECK(h != nullptr);
    CHECK_EQ_STR(path, in(third).c_str());
    CHECK(NextPathFName(h, kName, path, sizeof path) == 1);
    CHECK_EQ_STR(path, in(fifth).c_str());
    CHECK(NextPathFName(h, kName, path, sizeof path) == 0);
    CHECK_EQ_STR(path, "");
    ClosePathFName(h);

    // No start directory: the search path's first entry takes its place.
    for (const char *none : {static_cast<const char *>(nullptr), ""}) {
        machine.set(third + ";" + fifth);
        h = FirstPathFname(none, kName, path, sizeof path);
        CHECK(h != nullptr);
        CHECK_EQ_STR(path, in(third).c_str());
        CHECK(NextPathFName(h, kName, path, sizeof path) == 1);
        CHECK_EQ_STR(path, in(fifth).c_str());
        ClosePathFName(h);
    }

    // Nowhere.
    machine.set(e1 + ";" + e2);
    CHECK(FirstPathFname(e4.c_str(), kName, path, sizeof path) == nullptr);

    // References to variables are not expanded.
    SetEnvironmentVariableA("TRL4_H2_DIR", third.c_str());
    machine.set("%TRL4_H2_DIR%;%SystemRoot%\\system32", REG_EXPAND_SZ);
    CHECK(FirstPathFname(nullptr, kName, path, sizeof path) == nullptr);
    CHECK(FirstPathFname(nullptr, "kernel32.dll", path, sizeof path) == nullptr);

    // At most 255 entries.
    std::string many;
    for (int i = 0; i < 300; ++i) {
        const std::string entry = i == 254 ? third : i == 255 ? fifth : e1;
        many += (i ? ";" : "") + entry;
    }
    machine.set(many);
    h = FirstPathFname(nullptr, kName, path, sizeof path);
    CHECK(h != nullptr);
    CHECK_EQ_STR(path, in(third).c_str());
    CHECK(NextPathFName(h, kName, path, sizeof path) == 0);
    ClosePathFName(h);

    // A candidate longer than the buffer is not found and nothing overruns.
    const std::string deep = holding(std::string(100, 'd'));
    machine.set(deep + ";" + fifth);
    const std::size_t size = in(fifth).size() + 1;
    std::vector<char> small(size + 8, '#');
    h = FirstPathFname(nullptr, kName, small.data(), size);
    CHECK(h != nullptr);
    CHECK_EQ_STR(small.data(), in(fifth).c_str());
    for (std::size_t i = size; i < small.size(); ++i)
        CHECK(small[i] == '#');
    ClosePathFName(h);
    CHECK(FirstPathFname(nullptr, kName, small.data(), size - 1) == nullptr);
    CHECK(small[0] == '\0');

    // A value that does not fit the text block, or none at all: only the start directory.
    machine.set(third + ";" + std::string(70000, 'x'));
    CHECK(FirstPathFname(e1.c_str(), kName, path, sizeof path) == nullptr);
    machine.remove();
    CHECK(FirstPathFname(e1.c_str(), kName, path, sizeof path) == nullptr);
    h = FirstPathFname(start.c_str(), kName, path, sizeof path);
    CHECK(h != nullptr);
    ClosePathFName(h);
}

void setLocalWriteTime(const std::string &path, WORD year, WORD month, WORD day, WORD hour,
                       WORD minute) {
    SYSTEMTIME local{};
    local.wYear = year;
    local.wMonth = month;
    local.wDay = day;
    local.wHour = hour;
    local.wMinute = minute;
    FILETIME localTime{}, utc{};
    CHECK(SystemTimeToFileTime(&local, &localTime));
    CHECK(LocalFileTimeToFileTime(&localTime, &utc));
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    CHECK(file != INVALID_HANDLE_VALUE);
    CHECK(SetFileTime(file, nullptr, nullptr, &utc));
    CloseHandle(file);
}

void infoCases() {
    char version[kFInfoVersionSize], date[kFInfoDateSize], time[kFInfoTimeSize],
        shortName[kFInfoShortNameSize];
    const std::string plain = scratch + "\\plain.bin";
    writeFile(plain, "no version resource here");
    setLocalWriteTime(plain, 2011, 3, 5, 9, 7);
    CHECK(GetFInfo(plain.c_str(), version, date, time, shortName) == 0);
    CHECK_EQ_STR(version, "n/a");
    CHECK_EQ_STR(date, "05-03-2011");
    CHECK_EQ_STR(time, "09:07");
    CHECK_EQ_STR(shortName, "plain.bin");

    const std::string gone = scratch + "\\gone.bin";
    CHECK(GetFInfo(gone.c_str(), version, date, time, shortName) == 0);
    CHECK_EQ_STR(date, "");
    CHECK_EQ_STR(time, "");
    CHECK_EQ_STR(version, "n/a");

    CHECK(GetFInfo("C:\\dir\\file.dll", nullptr, nullptr, nullptr, shortName) == 0);
    CHECK_EQ_STR(shortName, "file.dll");
    CHECK(GetFInfo("\\file.dll", nullptr, nullptr, nullptr, shortName) == 0);
    CHECK_EQ_STR(shortName, "file.dll");

#ifdef TRL4_MATH_LIBRARY
    CHECK(GetFInfo(TRL4_MATH_LIBRARY, version, date, time, shortName) == 0);
    CHECK_EQ_STR(version, "1.0");
    CHECK_EQ_STR(shortName, kMathLibraryFileName);
    CHECK(std::strlen(date) == 10);
    std::uint32_t stored = 0, computed = 0, whole = 0;
    CHECK(CheckFileInternalCRC32(TRL4_MATH_LIBRARY, &stored, &computed, &whole) == 0);

    // The About panel's start-up sequence from the program's folder.
    char found[MAX_PATH];
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    PathSearch *h = FirstPathFname(cwd, kMathLibraryFileName, found, sizeof found);
    CHECK(h != nullptr);
    CHECK_EQ_STR(found, (std::string(cwd) + "\\" + kMathLibraryFileName).c_str());
    ClosePathFName(h);

    // crcstamp prints the same identification line.
    const std::string out = scratch + "\\info.txt";
    const std::string command =
        std::string("crcstamp.exe --info ") + TRL4_MATH_LIBRARY + " > \"" + out + "\"";
    CHECK(std::system(command.c_str()) == 0);
    GetFInfo(TRL4_MATH_LIBRARY, version, date, nullptr, nullptr);
    char expected[256];
    std::snprintf(expected, sizeof expected, "%s, версия:%s, дата:%s, CRC32=%08X",
                  kMathLibraryFileName, version, date, static_cast<unsigned>(whole));
    const std::string printed = readFile(out);
    CHECK(printed.rfind(expected, 0) == 0);
    if (printed.rfind(expected, 0) != 0) std::fprintf(stderr, "  printed: %s\n", printed.c_str());
#endif
}

void markerCases() {
    CHECK(Crc32("123456789", 9) == 0xCBF43926u);
    const std::string path = scratch + "\\marked.bin";
    std::string image = std::string("head bytes ") + kCrcMarkerPrefix + "00000000";
    image.push_back('\0');
    image += std::string(40, 't');
    writeFile(path, image);
    CHECK(SetupFileInternalCRC32(path.c_str()) == 0);
    const std::string stamped = readFile(path);
    CHECK(stamped.size() == image.size());
    std::uint32_t stored = 0, computed = 0, whole = 0;
    CHECK(CheckFileInternalCRC32(path.c_str(), &stored, &computed, &whole) == 0);
    CHECK(stored == computed && whole == GetFileCRC32(path.c_str()));
    std::string changed = stamped;
    changed[0] = 'H';
    writeFile(path, changed);
    CHECK(CheckFileInternalCRC32(path.c_str(), &stored, &computed, &whole) == 1);
    // The exit status of crcstamp --check follows.
    CHECK(std::system(("crcstamp.exe --check \"" + path + "\" > NUL 2> NUL").c_str()) == 1);
    writeFile(path, std::string(60, 'n'));
    CHECK(std::system(("crcstamp.exe --check \"" + path + "\" > NUL 2> NUL").c_str()) == 2);
    CHECK(SetupFileInternalCRC32(path.c_str()) == -1);
}

void removeTree(const std::string &dir) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = dir + "\\" + name;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                removeTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(dir.c_str());
}

}  // namespace

int main() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    scratch = std::string(temp) + "trl4-h2-" + std::to_string(GetCurrentProcessId());
    removeTree(scratch);
    CreateDirectoryA(scratch.c_str(), nullptr);
    {
        MachinePath machine;
        CHECK(machine.usable());
        if (machine.usable()) searchCases(machine);
    }
    infoCases();
    markerCases();
    removeTree(scratch);
    return check::finish();
}
