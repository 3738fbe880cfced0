#include "panel/program_files.h"

#include <system_error>

namespace panel {

std::vector<std::filesystem::path> programDataFolders() {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.has_parent_path()) return {};
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
