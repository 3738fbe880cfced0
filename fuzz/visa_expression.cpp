// Search expressions reach the VISA layer from callers: any text is translated into a pattern
// that compiles, or refused; matching stays on a short name so the run stays bounded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "trl4visa/expression.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view expr(reinterpret_cast<const char *>(data), size);
    std::string pattern;
    if (!trl4visa::translateExpression(expr, pattern)) return 0;
    bool matched = false;
    // A translated expression that std::regex refuses is reported, never thrown.
    trl4visa::matchesExpression(expr, "VXI0::24::INSTR", matched);
    // Literal text (no special character) must match itself.
    if (expr.find_first_of("?*+[]|()\\") == std::string_view::npos && !expr.empty()) {
        bool self = false;
        if (!trl4visa::matchesExpression(expr, expr, self) || !self) std::abort();
    }
    return 0;
}
