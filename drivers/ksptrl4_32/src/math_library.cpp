#include "math_library.h"

#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace trl4drv {
namespace {

#ifdef _WIN32
constexpr const char *kFileName = "ksptrl4_math.dll";

void *open(const std::string &file) {
    return reinterpret_cast<void *>(LoadLibraryA(file.c_str()));
}
void *symbol(void *handle, const char *name) {
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void release(void *handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}
// LoadLibrary looks in the program's folder first, where the library is installed.
std::string besideThisDriver() {
    return kFileName;
}
#else
constexpr const char *kFileName = "libksptrl4_math.so";

void *open(const std::string &file) {
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void *symbol(void *handle, const char *name) {
    return dlsym(handle, name);
}
void release(void *handle) {
    dlclose(handle);
}
std::string besideThisDriver() {
    Dl_info info{};
    if (dladdr(static_cast<const void *>(&kFileName), &info) == 0 || info.dli_fname == nullptr) {
        return kFileName;
    }
    const std::string self = info.dli_fname;
    const size_t slash = self.rfind('/');
    return slash == std::string::npos ? kFileName : self.substr(0, slash + 1) + kFileName;
}
#endif

template <typename F>
F lookUp(void *handle, const char *name) {
    void *address = symbol(handle, name);
    F f = nullptr;
    static_assert(sizeof f == sizeof address);
    // Both loaders hand out a function as a data pointer.
    std::memcpy(&f, &address, sizeof f);
    return f;
}

}  // namespace

MathLibrary::MathLibrary() {
    const char *chosen = std::getenv("TRL4_MATH_LIBRARY");
    if (chosen != nullptr && *chosen != '\0') {
        handle_ = open(chosen);
    } else {
        handle_ = open(besideThisDriver());
        if (handle_ == nullptr) handle_ = open(kFileName);
    }
    if (handle_ == nullptr) return;
    toCodes_ = lookUp<decltype(toCodes_)>(handle_, "ksptrl4Math_double2cod24");
    toCodes2_ = lookUp<decltype(toCodes2_)>(handle_, "ksptrl4Math_double2cod24_2chans");
}

MathLibrary::~MathLibrary() {
    if (handle_ != nullptr) release(handle_);
}

}  // namespace trl4drv
