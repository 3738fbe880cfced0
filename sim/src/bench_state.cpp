// The installed bench, fault counters, EEPROM state files and the driver trace.
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <system_error>

#include "sim_internal.h"
#include "trl4/resource_name.h"
#include "trl4sim/bench.h"

namespace trl4sim {
namespace {

struct State {
    std::mutex mutex;
    bool loaded = false;
    std::shared_ptr<const Bench> bench;
    std::string refusal;
    uint64_t generation = 0;
    std::map<std::string, uint32_t, std::less<>> calls;
};

State &state() {
    static State s;
    return s;
}

void install(State &s, bool ok, Bench &&parsed, const std::string &error) {
    s.loaded = true;
    ++s.generation;
    s.calls.clear();
    if (ok) {
        s.bench = std::make_shared<const Bench>(std::move(parsed));
        s.refusal.clear();
    } else {
        s.bench.reset();
        s.refusal = "bench refused: " + error;
    }
}

bool loadFromEnvironment(State &s, std::string *error) {
    Bench parsed;
    std::string message;
    bool ok = false;
    const char *file = std::getenv("TRL4_BENCH");
    if (file != nullptr && *file != '\0') {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        if (in && (text << in.rdbuf())) {
            ok = parseBench(text.str(), file, parsed, message);
        } else if (in) {
            ok = parseBench("", file, parsed, message);
        } else {
            message = std::string(file) + ": cannot read the bench file: " + std::strerror(errno);
        }
    } else {
        ok = parseBench(builtinBenchText(), "built-in bench", parsed, message);
    }
    install(s, ok, std::move(parsed), message);
    if (!ok) std::fprintf(stderr, "trl4sim: %s\n", s.refusal.c_str());
    if (error != nullptr) *error = message;
    return ok;
}

void ensureLoaded(State &s) {
    if (!s.loaded) loadFromEnvironment(s, nullptr);
}

}  // namespace

bool isKnownCall(std::string_view name) {
    static constexpr std::string_view calls[] = {"viOpenDefaultRM",
                                                 "viFindRsrc",
                                                 "viFindNext",
                                                 "viOpen",
                                                 "viClose",
                                                 "viGetAttribute",
                                                 "viSetAttribute",
                                                 "viLock",
                                                 "viUnlock",
                                                 "viClear",
                                                 "viWrite",
                                                 "viRead",
                                                 "viQueryf",
                                                 "viParseRsrc",
                                                 "viParseRsrcEx",
                                                 "viStatusDesc",
                                                 "viReadSTB",
                                                 "viFlush",
                                                 "viAssertTrigger",
                                                 "viEnableEvent",
                                                 "viDisableEvent",
                                                 "viDiscardEvents",
                                                 "viWaitOnEvent",
                                                 "kspbase_init",
                                                 "kspbase_m_type_q",
                                                 "kspbase_m_get_attribute",
                                                 "kspbase_mem_q",
                                                 "kspbase_close",
                                                 "ksptrl4_init",
                                                 "ksptrl4_connect",
                                                 "ksptrl4_alloc",
                                                 "ksptrl4_displacement",
                                                 "ksptrl4_get_attribute",
                                                 "ksptrl4_close",
                                                 "ksptrl4_revision_query",
                                                 "ksptrl4_error_message",
                                                 "ksptrl4_self_test",
                                                 "ksptrl4_reset",
                                                 "ksptrl4_readFlash",
                                                 "ksptrl4_writeFlash",
                                                 "ksptrl4_resetCoeff",
                                                 "ksptrl4_setSourceMode",
                                                 "ksptrl4_setRange",
                                                 "ksptrl4_setAmpScale",
                                                 "ksptrl4_setRampRate",
                                                 "ksptrl4_setSineFreq",
                                                 "ksptrl4_setRepetParams",
                                                 "ksptrl4_GetRepetParams",
                                                 "ksptrl4_setSampleRate",
                                                 "ksptrl4_config",
                                                 "ksptrl4_config_segment",
                                                 "ksptrl4_write_form",
                                                 "ksptrl4_reset_form",
                                                 "ksptrl4_start",
                                                 "ksptrl4_stop"};
    for (auto c : calls) {
        if (c == name) return true;
    }
    return false;
}

std::shared_ptr<const Bench> current() {
    State &s = state();
    std::lock_guard lock(s.mutex);
    ensureLoaded(s);
    return s.bench;
}

std::string refusal() {
    State &s = state();
    std::lock_guard lock(s.mutex);
    ensureLoaded(s);
    return s.refusal;
}

uint64_t generation() {
    State &s = state();
    std::lock_guard lock(s.mutex);
    ensureLoaded(s);
    return s.generation;
}

bool installBenchText(std::string_view text, std::string *error) {
    Bench parsed;
    std::string message;
    const bool ok = parseBench(text, "bench text", parsed, message);
    State &s = state();
    std::lock_guard lock(s.mutex);
    install(s, ok, std::move(parsed), message);
    if (error != nullptr) *error = message;
    return ok;
}

bool reloadFromEnvironment(std::string *error) {
    State &s = state();
    std::lock_guard lock(s.mutex);
    return loadFromEnvironment(s, error);
}

int32_t injectedFault(std::string_view call) {
    State &s = state();
    std::lock_guard lock(s.mutex);
    ensureLoaded(s);
    if (!s.bench) return 0;
    auto it = s.calls.find(call);
    if (it == s.calls.end()) it = s.calls.emplace(std::string(call), 0).first;
    if (it->second < UINT32_MAX) ++it->second;
    for (const Fault &f : s.bench->faults) {
        if (f.call == call && (f.onCall == 0 || f.onCall == it->second)) return f.status;
    }
    return 0;
}

const Resource *findResource(const Bench &bench, std::string_view name) {
    // The bench's own spelling is what callers pass nearly always: found without parsing.
    for (const Resource &r : bench.resources) {
        if (r.name.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i)
            same = asciiLower(r.name[i]) == asciiLower(name[i]);
        if (same) return &r;
    }
    const std::string key = trl4::visa::resourceKey(name);
    for (const Resource &r : bench.resources) {
        if (trl4::visa::resourceKey(r.name) == key) return &r;
    }
    return nullptr;
}

// ---- EEPROM state files ----------------------------------------------------------------

namespace {

constexpr std::string_view kEepromHeader = "trl4-eeprom 1";

// One file per mezzanine; the name keeps the resource readable and a hash keeps two names
// that differ only in characters a file name cannot hold apart.
std::filesystem::path eepromFile(const Resource &resource, int position) {
    std::string safe;
    uint32_t hash = 2166136261u;
    for (char c : resource.name) {
        const char lower = static_cast<char>(asciiLower(c));
        hash = (hash ^ static_cast<unsigned char>(lower)) * 16777619u;
        const bool plain = (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') ||
                           lower == '.' || lower == '-';
        safe += plain ? lower : '_';
    }
    char tail[32];
    std::snprintf(tail, sizeof tail, "-%08x-m%d.eeprom", static_cast<unsigned>(hash), position);
    return stateDirectory() / (safe + tail);
}

const Mezzanine *mezzanineAt(const Resource &resource, int position) {
    if (!resource.carrier || position < 1 || position > 4) return nullptr;
    const Mezzanine &m = resource.carrier->positions[static_cast<size_t>(position - 1)];
    return m.typeCode == 0 ? nullptr : &m;
}

// Whole file or nothing: a temporary beside it, flushed to disk, then renamed over it.
#ifdef _WIN32
bool replaceWhole(const std::filesystem::path &file, const std::string &body, std::string &why) {
    const std::wstring temp = file.wstring() + L".tmp." + std::to_wstring(GetCurrentProcessId());
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = h != INVALID_HANDLE_VALUE;
    DWORD written = 0;
    ok = ok && WriteFile(h, body.data(), static_cast<DWORD>(body.size()), &written, nullptr) &&
         written == body.size();
    ok = ok && FlushFileBuffers(h);
    DWORD failure = ok ? 0 : GetLastError();
    if (h != INVALID_HANDLE_VALUE && !CloseHandle(h) && ok) {
        ok = false;
        failure = GetLastError();
    }
    if (ok && !MoveFileExW(temp.c_str(), file.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ok = false;
        failure = GetLastError();
    }
    if (!ok) {
        why = std::system_category().message(static_cast<int>(failure));
        DeleteFileW(temp.c_str());
    }
    return ok;
}
#else
bool replaceWhole(const std::filesystem::path &file, const std::string &body, std::string &why) {
    const std::string temp = file.string() + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0;
    size_t done = 0;
    while (ok && done < body.size()) {
        const ssize_t n = ::write(fd, body.data() + done, body.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    ok = ok && std::rename(temp.c_str(), file.c_str()) == 0;
    if (!ok) {
        why = std::strerror(errno);
        std::remove(temp.c_str());
    }
    return ok;
}
#endif

// A folder named by the environment, or empty. Windows gives it in UTF-16, so a user's folder
// named outside the ANSI code page still holds.
std::filesystem::path folderFromEnvironment(const char *name) {
#ifdef _WIN32
    const std::wstring wide(name, name + std::strlen(name));  // the names are ASCII
    const wchar_t *value = _wgetenv(wide.c_str());
#else
    const char *value = std::getenv(name);
#endif
    return value != nullptr ? std::filesystem::path(value) : std::filesystem::path();
}

// A path in a message: UTF-8 on every platform, never an exception.
std::string shown(const std::filesystem::path &file) {
    const std::u8string text = file.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::filesystem::path stateDirectory() {
    if (auto dir = folderFromEnvironment("TRL4_STATE_DIR"); !dir.empty()) return dir;
#ifdef _WIN32
    // The user's local application data, where Windows programs keep what is not roamed.
    if (auto local = folderFromEnvironment("LOCALAPPDATA"); !local.empty()) return local / "trl4";
#endif
    if (const char *xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && xdg[0] == '/') {
        return std::filesystem::path(xdg) / "trl4";
    }
    if (const char *home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return std::filesystem::path(home) / ".local" / "state" / "trl4";
    }
    return std::filesystem::path(".trl4-state");
}

EepromState readEeprom(const Resource &resource, int position, Coefficients &out,
                       std::string *error) {
    const Mezzanine *m = mezzanineAt(resource, position);
    if (m == nullptr) {
        if (error != nullptr) *error = "no mezzanine at that position";
        return EepromState::Unreadable;
    }
    const std::filesystem::path file = eepromFile(resource, position);
    std::ifstream in(file);
    if (!in) {
        if (!m->eeprom) return EepromState::Blank;
        out = *m->eeprom;
        return EepromState::Stored;
    }
    std::string line;
    Coefficients values{};
    bool ok = static_cast<bool>(std::getline(in, line)) && line == kEepromHeader;
    for (size_t i = 0; ok && i < kCoeffCount; ++i) {
        ok = static_cast<bool>(std::getline(in, line));
        if (ok) {
            auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), values[i]);
            ok = ec == std::errc() && end == line.data() + line.size();
        }
    }
    if (!ok) {
        if (error != nullptr) *error = "EEPROM record " + shown(file) + " is damaged";
        return EepromState::Unreadable;
    }
    out = values;
    return EepromState::Stored;
}

bool writeEeprom(const Resource &resource, int position, const Coefficients &values,
                 std::string *error) {
    if (mezzanineAt(resource, position) == nullptr) {
        if (error != nullptr) *error = "no mezzanine at that position";
        return false;
    }
    const std::filesystem::path file = eepromFile(resource, position);
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    std::string body(kEepromHeader);
    body += '\n';
    for (double v : values) {
        // The shortest text that reads back as the same double, whatever the process locale.
        char number[40];
        const auto end = std::to_chars(number, number + sizeof number, v).ptr;
        body.append(number, end);
        body += '\n';
    }
    std::string why;
    if (!replaceWhole(file, body, why)) {
        if (error != nullptr) *error = "cannot store EEPROM record " + shown(file) + ": " + why;
        return false;
    }
    return true;
}

// ---- driver trace ------------------------------------------------------------------------

bool tracing() {
    const char *file = std::getenv("TRL4_DRIVER_TRACE");
    return file != nullptr && *file != '\0';
}

void trace(std::string_view line) {
    const char *file = std::getenv("TRL4_DRIVER_TRACE");
    if (file == nullptr || *file == '\0') return;
    static std::mutex traceMutex;
    std::lock_guard lock(traceMutex);
    // Binary: the same bytes, one line feed a line, on every platform.
    if (std::FILE *f = std::fopen(file, "ab")) {
        std::fwrite(line.data(), 1, line.size(), f);
        std::fputc('\n', f);
        std::fclose(f);
    }
}

}  // namespace trl4sim
