// The ELF version note reader on arbitrary bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "trl4/elf_note.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exact-size copy, so any read past the image is caught.
    const std::vector<uint8_t> image(data, data + size);
    std::string version;
    if (trl4::os::readElfVersionNote(image.data(), image.size(), version) &&
        version.size() > image.size()) {
        std::abort();
    }
    return 0;
}
