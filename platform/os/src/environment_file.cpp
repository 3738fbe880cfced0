#include "trl4/environment_file.h"

#include <optional>

namespace trl4::os {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The value of one line when it sets PATH.
std::optional<std::string_view> pathOfLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = trimLeft(line);
    if (line.empty() || line.front() == '#') return std::nullopt;
    constexpr std::string_view kExport = "export";
    if (line.size() > kExport.size() && line.substr(0, kExport.size()) == kExport &&
        isBlank(line[kExport.size()])) {
        line = trimLeft(line.substr(kExport.size()));
    }
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    if (trimRight(line.substr(0, eq)) != "PATH") return std::nullopt;
    std::string_view value = trimLeft(line.substr(eq + 1));
    if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
        const auto close = value.find(value.front(), 1);
        if (close == std::string_view::npos) return std::nullopt;
        value = value.substr(1, close - 1);
    } else {
        value = trimRight(value);
    }
    if (value.find('\0') != std::string_view::npos) return std::nullopt;
    return value;
}

}  // namespace

bool parseEnvironmentPath(std::string_view text, std::string &value) {
    bool found = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (const auto path = pathOfLine(line)) {
            value.assign(path->data(), path->size());
            found = true;
        }
    }
    return found;
}

}  // namespace trl4::os
