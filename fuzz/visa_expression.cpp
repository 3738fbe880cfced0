// Search expressions reach the VISA layer from callers: any text compiles or is refused, and
// matching a long name stays linear, so the run stays bounded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "trl4visa/expression.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view expr(reinterpret_cast<const char *>(data), size);
    const auto pattern = trl4visa::Expression::compile(expr);
    if (!pattern) return 0;
    const std::string name = "VXI0::24::INSTR::" + std::string(expr) + std::string(200, 'A');
    pattern->matches(name);
    // Literal text (no special character) matches itself and nothing longer.
    if (expr.find_first_of("?*+[]|()\\") == std::string_view::npos) {
        if (!pattern->matches(expr) || pattern->matches(std::string(expr) + "x")) std::abort();
    }
    return 0;
}
