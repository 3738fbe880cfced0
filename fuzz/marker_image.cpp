// The embedded checksum marker check on an arbitrary file image.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "trl4/integrity.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 1 << 20) return 0;
    // An exact-size copy, so any read past the image is caught.
    std::vector<uint8_t> image(data, data + size);
    const auto length = static_cast<std::int32_t>(size);
    std::uint32_t stored = 1, computed = 2, file = 3;
    const std::int32_t status =
        CheckImageInternalCRC32(image.data(), length, &stored, &computed, &file);
    if (file != Crc32(image.data(), length)) std::abort();
    if (status == -1) {
        if (stored != 0 || computed != file) std::abort();
    } else if (status != (stored == computed ? 0 : 1)) {
        std::abort();
    }
    if (std::vector<uint8_t>(data, data + size) != image) std::abort();  // left as it was
    // The search agrees with the plain one, for the prefix and for a short piece of it.
    for (const std::size_t m : {kCrcMarkerPrefixLength, std::size_t{3}}) {
        const std::string pattern(kCrcMarkerPrefix, m);
        const unsigned char *expected = nullptr;
        for (std::size_t pos = 0; pos + m < size; ++pos) {
            if (std::memcmp(image.data() + pos, pattern.data(), m) == 0) {
                expected = image.data() + pos;
                break;
            }
        }
        if (FindInBuffer(image.data(), length, pattern.c_str()) != expected) std::abort();
    }
    return 0;
}
