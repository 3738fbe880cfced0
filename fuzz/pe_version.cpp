// The Windows version resource reader on arbitrary bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "trl4/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exact-size copy, so any read past the image is caught.
    const std::vector<uint8_t> image(data, data + size);
    std::string version;
    // Each UTF-16 unit of the image gives at most three bytes of text.
    if (trl4::os::readPeFileVersion(image.data(), image.size(), version) &&
        version.size() > image.size() * 2) {
        std::abort();
    }
    return 0;
}
