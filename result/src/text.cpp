#include "text.h"

#include <array>

#include "trl4/protocol_text.h"
#include "trl4/utf8.h"

namespace trl4::result::text {

const char *fault(std::string_view text) {
    if (!utf8::valid(text)) return "текст не в UTF-8";
    for (std::size_t i = 0; i < text.size(); i += utf8::sequenceLength(text, i)) {
        const char32_t c = utf8::firstCodePoint(text.substr(i));
        if ((c < 0x20 && c != '\t') || c == 0x7F) return "управляющий символ в тексте";
        if (c == 0xFFFE || c == 0xFFFF) return "недопустимый символ в тексте";
    }
    return nullptr;
}

std::size_t chars(std::string_view text) {
    return utf8::length(text);
}

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

std::string protocolNumber(double value) {
    const std::array<protocol::Arg, 1> args{protocol::toArg(value)};
    return protocol::formatMessage("%lg", args);
}

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace trl4::result::text
