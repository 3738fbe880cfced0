// The standard's texts of the VISA statuses.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace trl4visa {

struct StatusText {
    std::string_view name;  // "VI_ERROR_TMO"
    std::string_view text;  // "Timeout expired before operation completed."
};

// None for a status the standard does not define.
std::optional<StatusText> statusText(int32_t status);

}  // namespace trl4visa
