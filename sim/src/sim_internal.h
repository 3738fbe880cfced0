// Helpers shared by the bench's own sources.
#pragma once

#include <string_view>

namespace trl4sim {

constexpr int asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

// True for the name of a VISA operation or a driver operation a fault can apply to.
bool isKnownCall(std::string_view name);

}  // namespace trl4sim
