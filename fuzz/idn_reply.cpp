// Whatever a device answers to "*IDN?", the fields stay inside their buffers and limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "si.h"

namespace {

size_t characters(const char *s, size_t size) {
    const void *nul = std::memchr(s, '\0', size);
    if (nul == nullptr) std::abort();  // not terminated inside its field
    size_t n = 0;
    for (; *s != '\0'; ++s)
        n += (static_cast<unsigned char>(*s) & 0xC0) != 0x80;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view reply(reinterpret_cast<const char *>(data), size);
    InstrumentEntry entry{};
    const bool ours = ParseIdnReply(reply, entry);
    if (ours != (reply.substr(0, 18) == "ZELKORTECH,KSPBASE" && reply.find('\0') >= 18)) {
        std::abort();
    }
    // Invalid bytes count as one character each, so the count may only be lower.
    if (characters(entry.serialNo, sizeof entry.serialNo) > SI_SERIAL_CHARS) std::abort();
    if (characters(entry.idnField4, sizeof entry.idnField4) > SI_FIELD4_CHARS) std::abort();
    char small[5];
    CopyChars(small, sizeof small, reply, 3);
    characters(small, sizeof small);
    return 0;
}
