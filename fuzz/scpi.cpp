// Whatever a program writes to a simulated meter, the parser answers with units, each either
// a command or an error code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "trl4sim/scpi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view line(reinterpret_cast<const char *>(data), size);
    for (const trl4sim::scpi::Unit &u : trl4sim::scpi::parse(line)) {
        if (u.error > 0 || u.channel < 0 || u.channel > trl4sim::scpi::kMaxChannel) std::abort();
        if (u.error != 0 && trl4sim::scpi::errorText(u.error) == "Unknown error") std::abort();
    }
    return 0;
}
