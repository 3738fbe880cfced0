#include "panel/program_files.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace panel {

namespace {

std::filesystem::path programPath() {
#ifdef _WIN32
    // Long paths are rare but legal: grow the buffer until the name fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return buffer.substr(0, length);
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
#else
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe;
#endif
}

}  // namespace

std::vector<std::filesystem::path> programDataFolders() {
    namespace fs = std::filesystem;
    const fs::path exe = programPath();
    if (!exe.has_parent_path()) return {};
    const fs::path folder = exe.parent_path();
    return {folder, folder.parent_path() / "share" / exe.filename()};
}

std::filesystem::path findProgramFile(const std::filesystem::path &relative) {
    std::error_code ec;
    for (const auto &folder : programDataFolders()) {
        std::filesystem::path candidate = folder / relative;
        if (std::filesystem::exists(candidate, ec)) return candidate;
    }
    return {};
}

}  // namespace panel
