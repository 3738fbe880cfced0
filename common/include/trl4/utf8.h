// UTF-8 as every part of the program handles it: validation, counting characters (limits on
// operator-visible texts count characters, not bytes), cutting at character boundaries and
// encoding code points.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace trl4::utf8 {

inline bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Bytes of the well-formed character at s[i] (1 to 4), or 0 when none starts there: stray
// continuation bytes, overlong forms, surrogates and code points above U+10FFFF are refused.
inline std::size_t sequenceLength(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = b(i);
    if (lead < 0x80) return 1;
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + n > s.size() || b(i + 1) < lo || b(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < n; ++k) {
        if (!isContinuation(s[i + k])) return 0;
    }
    return n;
}

inline bool valid(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = sequenceLength(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

// Characters of a text: every byte that is not a continuation byte starts one.
inline std::size_t length(std::string_view s) {
    std::size_t count = 0;
    for (char c : s)
        if (!isContinuation(c)) ++count;
    return count;
}

// Bytes of the first `chars` characters (all of the text when it has fewer).
inline std::size_t prefixBytes(std::string_view s, std::size_t chars) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!isContinuation(s[i]) && seen++ == chars) return i;
    }
    return s.size();
}

// The longest prefix of at most `bytes` bytes that ends on a character boundary, so a reader
// of a cut text never gets half a character.
inline std::size_t fitBytes(std::string_view s, std::size_t bytes) {
    if (bytes >= s.size()) return s.size();
    while (bytes > 0 && isContinuation(s[bytes]))
        --bytes;
    return bytes;
}

// The code point of the first character; 0 for an empty or malformed start.
inline char32_t firstCodePoint(std::string_view s) {
    if (s.empty()) return 0;
    const std::size_t n = sequenceLength(s, 0);
    if (n == 0) return 0;
    static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t code = static_cast<unsigned char>(s[0]) & kLeadMask[n];
    for (std::size_t k = 1; k < n; ++k)
        code = (code << 6) | (static_cast<unsigned char>(s[k]) & 0x3Fu);
    return code;
}

inline void append(std::string &out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | c >> 6));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | c >> 12));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | c >> 18));
        out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace trl4::utf8
