// What tests need of the process on both platforms: a fresh scratch folder and the
// environment.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#include <stdlib.h>
#define TRL4_TEST_PID _getpid()
#else
#include <stdlib.h>
#include <unistd.h>
#define TRL4_TEST_PID getpid()
#endif

namespace trl4::test {

// A new empty folder under the system's temporary folder, named after prefix.
inline std::filesystem::path freshTempDir(const std::string &prefix) {
    static std::atomic<int> counter{0};
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        (prefix + std::to_string(TRL4_TEST_PID) + "-" + std::to_string(counter++));
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    std::filesystem::create_directories(path);
    return path;
}

// The process environment, the same way on both platforms; value null removes the name.
inline void setEnv(const char *name, const char *value) {
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) {
        ::setenv(name, value, 1);
    } else {
        ::unsetenv(name);
    }
#endif
}

// A folder in the environment: in UTF-16 on Windows, so any name holds whatever the code page.
inline void setEnv(const char *name, const std::filesystem::path &value) {
#ifdef _WIN32
    const std::wstring wideName(name, name + std::char_traits<char>::length(name));  // ASCII
    _wputenv_s(wideName.c_str(), value.c_str());
#else
    setEnv(name, value.c_str());
#endif
}

// Where the platform keeps a user's settings folders: %APPDATA% or $XDG_CONFIG_HOME.
inline void setSettingsHome(const std::filesystem::path &dir) {
#ifdef _WIN32
    setEnv("APPDATA", dir);
#else
    setEnv("XDG_CONFIG_HOME", dir);
#endif
}

}  // namespace trl4::test
