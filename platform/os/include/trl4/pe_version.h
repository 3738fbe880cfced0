// The FileVersion of a Windows executable or DLL read from its bytes, as the system's
// version functions give it: the version resource's first translation (VarFileInfo
// "Translation"), and the "FileVersion" string of the string table of that translation.
// PE32 and PE32+; every offset and size is checked against the image, so any bytes are safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace trl4::os {

// True and the version text (UTF-8) when the image carries one.
bool readPeFileVersion(const std::uint8_t *image, std::size_t size, std::string &version);

}  // namespace trl4::os
