#pragma once

#include <cstddef>

namespace trl4::os {

// The FileVersion found in the file's bytes (ELF version note or Windows version resource),
// cut to `capacity` - 1 bytes; false when it has neither.
bool fileVersionFromImage(const char *path, char *out, std::size_t capacity);

}  // namespace trl4::os
