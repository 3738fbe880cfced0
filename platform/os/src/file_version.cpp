// The FileVersion read from a file's bytes: the version note of an ELF file or the version
// resource of a Windows executable, so either platform identifies the other's deliverables.
#include <cstring>
#include <fstream>
#include <string>

#include "file_version.h"
#include "trl4/elf_note.h"
#include "trl4/pe_version.h"

namespace trl4::os {
namespace {

// Component files are tens of kilobytes; far larger files are not searched for a version.
constexpr std::streamoff kMaxVersionedFileSize = std::streamoff{256} << 20;

}  // namespace

bool fileVersionFromImage(const char *path, char *out, std::size_t capacity) {
    if (path == nullptr || out == nullptr || capacity == 0) return false;
    out[0] = '\0';
    // Read rather than mapped, so a file cut short meanwhile cannot fault the reader.
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length <= 0 || length > kMaxVersionedFileSize) return false;
    in.seekg(0, std::ios::beg);
    std::string image(static_cast<std::size_t>(length), '\0');
    if (!in.read(image.data(), static_cast<std::streamsize>(length))) return false;
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(image.data());
    std::string version;
    if (!readElfVersionNote(bytes, image.size(), version) &&
        !readPeFileVersion(bytes, image.size(), version)) {
        return false;
    }
    const std::size_t n = version.size() < capacity ? version.size() : capacity - 1;
    std::memcpy(out, version.data(), n);
    out[n] = '\0';
    return true;
}

}  // namespace trl4::os
