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

inline void setEnv(const char *name, const std::filesystem::path &value) {
    setEnv(name, value.string().c_str());
}

}  // namespace trl4::test
