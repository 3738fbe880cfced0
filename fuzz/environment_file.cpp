// The machine environment file parser, and environment files applied with their references
// expanded, on arbitrary text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "trl4/environment_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    std::string value;
    if (trl4::os::parseEnvironmentPath(text, value)) {
        // The value is a piece of one line of the text, without line ends or zero bytes.
        if (value.size() > size ||
            value.find_first_of(std::string_view("\n\0", 2)) != std::string::npos) {
            std::abort();
        }
    }
    // Applied twice, as two drop-ins: the second one's references take the first one's values.
    trl4::os::EnvironmentBlock block;
    block.apply(text);
    block.apply(text);
    if (const std::string *path = block.value("PATH")) {
        if (path->size() > trl4::os::kMaxEnvironmentValue ||
            path->find_first_of(std::string_view("\n\0", 2)) != std::string::npos) {
            std::abort();
        }
    }
    return 0;
}
