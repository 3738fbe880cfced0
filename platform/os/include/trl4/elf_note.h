// The version note of an ELF file: note name "TRL4", type 1, the descriptor a
// zero-terminated FileVersion text. Found through the section headers (any SHT_NOTE
// section) or, when they hold none, the PT_NOTE program headers. 32- and 64-bit,
// little- and big-endian; every offset and size is checked against the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace trl4::os {

inline constexpr std::uint32_t kVersionNoteType = 1;
inline constexpr char kVersionNoteName[] = "TRL4";

// True and the version text when the image carries the note.
bool readElfVersionNote(const std::uint8_t *image, std::size_t size, std::string &version);

}  // namespace trl4::os
