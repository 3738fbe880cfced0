#include "trl4/protocol_text.h"

#include "trl4/utf8.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace trl4::protocol {
namespace {

// Unicode of the Windows-1251 bytes 0x80..0xFF; 0 where the code page has no character.
constexpr std::array<char16_t, 128> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

// Decodes one UTF-8 character at `at`, moving past it; a malformed sequence gives
// 0xFFFFFFFF and moves one byte.
std::uint32_t nextCodePoint(std::string_view text, std::size_t &at) {
    const std::size_t length = trl4::utf8::sequenceLength(text, at);
    if (length == 0) {
        ++at;
        return 0xFFFFFFFF;
    }
    const char32_t cp = trl4::utf8::firstCodePoint(text.substr(at, length));
    at += length;
    return cp;
}

char windows1251Byte(std::uint32_t cp) {
    if (cp < 0x80) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kUpperHalf.size(); ++i) {
        if (kUpperHalf[i] != 0 && kUpperHalf[i] == cp) return static_cast<char>(0x80 + i);
    }
    return '?';
}

// Printf's own bounds for what it can be asked; beyond them the text would only grow.
constexpr int kMaxWidth = static_cast<int>(kMessageChars);
constexpr int kMaxPrecision = 64;

struct Conversion {
    bool left = false;
    int width = 0;
    int precision = -1;
    char conversion = 0;
};

double asDouble(const Arg *arg) {
    if (arg == nullptr) return 0.0;
    if (const auto *d = std::get_if<double>(arg)) return *d;
    if (const auto *n = std::get_if<long long>(arg)) return static_cast<double>(*n);
    return 0.0;
}

long long asInteger(const Arg *arg) {
    if (arg == nullptr) return 0;
    if (const auto *n = std::get_if<long long>(arg)) return *n;
    if (const auto *d = std::get_if<double>(arg)) {
        // Only values an integer can hold are converted; the rest read as 0.
        constexpr double kLimit = 9.2e18;
        return std::isfinite(*d) && std::fabs(*d) < kLimit ? static_cast<long long>(*d) : 0;
    }
    return 0;
}

std::string formatNumber(const Conversion &conv, const Arg *arg) {
    std::array<char, 400> buffer{};
    char *const first = buffer.data();
    char *const last = first + buffer.size();
    std::to_chars_result result{};
    if (conv.conversion == 'd' || conv.conversion == 'i') {
        result = std::to_chars(first, last, asInteger(arg));
    } else {
        const double value = asDouble(arg);
        const int precision = conv.precision < 0 ? 6 : std::min(conv.precision, kMaxPrecision);
        if (std::isnan(value)) {
            // to_chars writes "-nan" for a negative NaN as the C library does.
            result = std::to_chars(first, last, value);
        } else {
            const auto format = conv.conversion == 'e'   ? std::chars_format::scientific
                                : conv.conversion == 'f' ? std::chars_format::fixed
                                                         : std::chars_format::general;
            result = std::to_chars(first, last, value, format, precision);
        }
    }
    if (result.ec != std::errc{}) return "?";
    return std::string(first, result.ptr);
}

std::string truncateChars(std::string text, std::size_t limit) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == limit) {
            text.resize(i);
            break;
        }
    }
    return text;
}

void pad(std::string &out, const Conversion &conv, const std::string &body) {
    const std::size_t chars = utf8Chars(body);
    const std::size_t fill = static_cast<std::size_t>(conv.width) > chars
                                 ? static_cast<std::size_t>(conv.width) - chars
                                 : 0;
    if (!conv.left) out.append(fill, ' ');
    out += body;
    if (conv.left) out.append(fill, ' ');
}

int readNumber(std::string_view format, std::size_t &at, int limit) {
    int value = 0;
    while (at < format.size() && format[at] >= '0' && format[at] <= '9') {
        value = std::min(limit, value * 10 + (format[at] - '0'));
        ++at;
    }
    return value;
}

}  // namespace

std::size_t utf8Chars(std::string_view text) {
    return trl4::utf8::length(text);
}

std::string formatMessage(std::string_view format, std::span<const Arg> args) {
    std::string out;
    std::size_t next = 0;
    std::size_t at = 0;
    // Every step adds a bounded piece, and formatting stops once the limit is passed.
    while (at < format.size() && utf8Chars(out) <= kMessageChars) {
        const std::size_t percent = format.find('%', at);
        if (percent == std::string_view::npos) {
            out += format.substr(at);
            break;
        }
        out += format.substr(at, percent - at);
        at = percent + 1;
        Conversion conv;
        while (at < format.size() && format[at] == '-') {
            conv.left = true;
            ++at;
        }
        conv.width = readNumber(format, at, kMaxWidth);
        if (at < format.size() && format[at] == '.') {
            ++at;
            conv.precision = readNumber(format, at, kMaxPrecision);
        }
        while (at < format.size() && (format[at] == 'l' || format[at] == 'h'))
            ++at;
        if (at >= format.size()) {
            out += format.substr(percent);
            break;
        }
        conv.conversion = format[at++];
        const Arg *arg = nullptr;
        switch (conv.conversion) {
            case '%':
                out += '%';
                continue;
            case 'd':
            case 'i':
            case 'g':
            case 'e':
            case 'f':
                arg = next < args.size() ? &args[next] : nullptr;
                ++next;
                if (arg != nullptr) pad(out, conv, formatNumber(conv, arg));
                continue;
            case 's': {
                arg = next < args.size() ? &args[next] : nullptr;
                ++next;
                if (arg == nullptr) continue;
                const auto *text = std::get_if<const char *>(arg);
                std::string body = text == nullptr || *text == nullptr ? "(null)" : *text;
                if (conv.precision >= 0)
                    body = truncateChars(std::move(body), static_cast<std::size_t>(conv.precision));
                pad(out, conv, body);
                continue;
            }
            default:
                out += format.substr(percent, at - percent);
                continue;
        }
    }
    return truncateChars(std::move(out), kMessageChars);
}

std::string toWindows1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 16);
    for (std::size_t at = 0; at < utf8.size();) {
        const std::uint32_t cp = nextCodePoint(utf8, at);
        if (cp == '\n') {
            out += "\r\n";
        } else {
            out += windows1251Byte(cp);
        }
    }
    return out;
}

}  // namespace trl4::protocol
