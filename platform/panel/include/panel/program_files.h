// Where a program finds its own files (panel resources, pictures): beside the program in a
// build tree, under <prefix>/share/<program> when it is installed as <prefix>/bin/<program>.
#pragma once

#include <filesystem>
#include <vector>

namespace panel {

// The folders that may hold the running program's files, in the order they are tried: the
// program's own folder, then ../share/<program name> from there. Empty when the program's
// location is unknown.
std::vector<std::filesystem::path> programDataFolders();

// The first of those folders that holds `relative` joined to it; empty when none does.
std::filesystem::path findProgramFile(const std::filesystem::path &relative);

}  // namespace panel
