// Protocol text: printf-style formatting that no process locale can change, and the
// conversion of the UTF-8 text held in memory to the protocol file's Windows-1251 with CR LF.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

namespace trl4::protocol {

// One argument of a message: every integer is widened, every text is zero-terminated UTF-8.
using Arg = std::variant<long long, double, const char *>;

template <class T>
Arg toArg(const T &value) {
    if constexpr (std::is_floating_point_v<T>) {
        return static_cast<double>(value);
    } else if constexpr (std::is_integral_v<T>) {
        return static_cast<long long>(value);
    } else {
        return static_cast<const char *>(value);
    }
}

// The longest message in characters: what the single-byte message buffer of 1024 bytes held.
inline constexpr std::size_t kMessageChars = 1023;

// Formats as printf does in the "C" locale, for the conversions d, i, g, e, f, s and %%
// with the flag '-', a width and a precision (length modifiers are accepted and ignored).
// Widths and text precisions count characters. A missing argument prints nothing; an
// argument of another kind is converted; a conversion it does not know is copied as it stands.
// The result holds at most kMessageChars characters.
std::string formatMessage(std::string_view format, std::span<const Arg> args);

// UTF-8 to Windows-1251, each line break written as CR LF. A character the code page lacks,
// or a byte that is not UTF-8, becomes '?'.
std::string toWindows1251(std::string_view utf8);

// Number of characters (not bytes) of UTF-8 text.
std::size_t utf8Chars(std::string_view text);

}  // namespace trl4::protocol
