// Writing settings back: what quote() leaves plain, the reader takes back as the same text.
#include <charconv>
#include <cmath>
#include <cstdio>

#include "trl4/yaml.h"
#include "utf8.h"

namespace trl4::yaml {

namespace {

bool plainSafe(std::string_view text) {
    if (text.empty() || text == "~" || text == "null" || text == "Null" || text == "NULL") {
        return false;
    }
    const auto first = static_cast<unsigned char>(text.front());
    const bool goodStart = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') ||
                           (first >= '0' && first <= '9') || first >= 0x80 || first == '_' ||
                           first == '.' || first == '/' || first == '(' || first == '+';
    if (!goodStart || text.back() == ' ' || text.back() == ':') return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F || c == '#' || c == ',' || c == '[' || c == ']' || c == '{' ||
            c == '}' || c == '"' || c == '\'') {
            return false;
        }
        if (c == ':' && i + 1 < text.size() && text[i + 1] == ' ') return false;
        if (c >= 0x80) {
            size_t at = i;
            if (decodeUtf8(text, at) < 0) return false;
            i = at - 1;
        }
    }
    return true;
}

}  // namespace

std::string quote(std::string_view text) {
    if (plainSafe(text)) return std::string(text);
    std::string out(1, '"');
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t start = i;
            // Bytes that are no UTF-8 cannot be written into a UTF-8 file: each becomes U+FFFD.
            if (decodeUtf8(text, i) < 0) {
                appendUtf8(out, 0xFFFD);
            } else {
                out.append(text.substr(start, i - start));
            }
            continue;
        }
        ++i;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\x%02X", c);
                    out += escape;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}

void Writer::entry(std::string_view key, std::string_view written) {
    if (inSection_) out_ += "  ";
    out_ += quote(key);
    out_ += ": ";
    out_ += written;
    out_ += '\n';
}

void Writer::text(std::string_view key, std::string_view value) {
    entry(key, quote(value));
}

void Writer::integer(std::string_view key, int64_t value) {
    char buffer[24];
    entry(key, std::string_view(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr));
}

void Writer::real(std::string_view key, double value) {
    if (std::isnan(value)) return entry(key, ".nan");
    if (std::isinf(value)) return entry(key, value > 0 ? ".inf" : "-.inf");
    char buffer[32];
    entry(key, std::string_view(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr));
}

void Writer::boolean(std::string_view key, bool value) {
    entry(key, value ? "true" : "false");
}

void Writer::beginSection(std::string_view key) {
    inSection_ = false;
    out_ += quote(key);
    out_ += ":\n";
    inSection_ = true;
}

void Writer::endSection() {
    inSection_ = false;
}

}  // namespace trl4::yaml
