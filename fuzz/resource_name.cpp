// Resource names reach the VISA layer from any client: every text parses or is refused, and a
// parsed name's expanded form parses again to itself, names the same resource, and keeps the
// interface, board and class.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "trl4/resource_name.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view name(reinterpret_cast<const char *>(data), size);
    const auto parsed = trl4::visa::parseResourceName(name);
    const std::string key = trl4::visa::resourceKey(name);
    if (!parsed) return 0;
    if (parsed->expanded.size() > trl4::visa::kMaxResourceNameBytes + 32) std::abort();
    const auto again = trl4::visa::parseResourceName(parsed->expanded);
    // The expanded form may outgrow the length limit only by the defaults it writes out.
    if (!again) {
        if (parsed->expanded.size() <= trl4::visa::kMaxResourceNameBytes) std::abort();
        return 0;
    }
    if (again->expanded != parsed->expanded || again->interfaceType != parsed->interfaceType ||
        again->board != parsed->board || again->resourceClass != parsed->resourceClass ||
        again->address != parsed->address || trl4::visa::resourceKey(parsed->expanded) != key) {
        std::abort();
    }
    return 0;
}
