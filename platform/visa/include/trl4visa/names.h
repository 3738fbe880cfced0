// Resource names compare without regard to ASCII case; this is the form they compare in.
#pragma once

#include <string>
#include <string_view>

namespace trl4visa {

inline std::string lowerName(std::string_view name) {
    std::string out;
    for (char c : name)
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return out;
}

}  // namespace trl4visa
