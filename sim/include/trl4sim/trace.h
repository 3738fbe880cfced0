// The driver trace's line format, shared by the VISA and driver stand-ins:
// name(args) -> 0xSTATUS [outputs], written when the call returns.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace trl4sim {

// True when TRL4_DRIVER_TRACE names a file: callers skip building lines otherwise.
bool tracing();

// Appends one line to the driver trace when TRL4_DRIVER_TRACE names a file.
void trace(std::string_view line);

inline std::string traceArg(uint32_t v) {
    return std::to_string(v);
}
inline std::string traceArg(int32_t v) {
    return std::to_string(v);
}
inline std::string traceArg(uint16_t v) {
    return std::to_string(v);
}
inline std::string traceArg(int16_t v) {
    return std::to_string(v);
}
inline std::string traceArg(uint64_t v) {
    return std::to_string(v);
}
inline std::string traceArg(double v) {
    // As "%.15g" writes it under the C locale, whatever the process locale.
    char text[40];
    return std::string(
        text, std::to_chars(text, text + sizeof text, v, std::chars_format::general, 15).ptr);
}
// Text in double quotes, with quotes, backslashes and control characters escaped.
inline std::string traceArg(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}
inline std::string traceArg(const char *s) {
    return s == nullptr ? "NULL" : traceArg(std::string_view(s));
}
inline std::string traceArg(const void *p) {
    return p == nullptr ? "NULL" : "ptr";
}

template <typename... Args>
std::string traceArgs(const Args &...args) {
    std::string out;
    ((out += (out.empty() ? "" : ", ") + traceArg(args)), ...);
    return out;
}

// One call's line; outputs, when any, begin with a blank.
inline void traceCall(std::string_view name, std::string_view args, int32_t status,
                      std::string_view outputs) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<uint32_t>(status));
    std::string line(name);
    line += '(';
    line += args;
    line += ") -> ";
    line += code;
    line += outputs;
    trace(line);
}

}  // namespace trl4sim
