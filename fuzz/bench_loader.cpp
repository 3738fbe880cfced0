// Bench files come from users: any text is either loaded whole or refused with a line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "trl4sim/bench.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    trl4sim::Bench bench;
    std::string error;
    const bool ok = trl4sim::parseBench(text, "fuzz", bench, error);
    // Exactly one of: a bench, or a message naming the source.
    if (ok) {
        if (!error.empty() || bench.source != "fuzz") std::abort();
    } else if (error.rfind("fuzz:", 0) != 0) {
        std::abort();
    }
    return 0;
}
