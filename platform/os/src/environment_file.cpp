#include "trl4/environment_file.h"

#include <optional>

namespace trl4::os {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool isName(std::string_view s) {
    if (s.empty() || (s.front() >= '0' && s.front() <= '9')) return false;
    for (const char c : s)
        if (!isNameChar(c)) return false;
    return true;
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

struct Assignment {
    std::string_view name;
    std::string_view value;
};

// The assignment one line makes, if it is a valid one.
std::optional<Assignment> assignmentOfLine(std::string_view line) {
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
    const std::string_view name = trimRight(line.substr(0, eq));
    if (!isName(name)) return std::nullopt;
    std::string_view value = trimLeft(line.substr(eq + 1));
    if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
        const auto close = value.find(value.front(), 1);
        if (close == std::string_view::npos) return std::nullopt;
        value = value.substr(1, close - 1);
    } else {
        value = trimRight(value);
    }
    if (value.find('\0') != std::string_view::npos) return std::nullopt;
    return Assignment{name, value};
}

template <class Fn>
void forEachAssignment(std::string_view text, Fn fn) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (const auto a = assignmentOfLine(line)) fn(*a);
    }
}

// The end of a "${" reference starting at `open` (the index of its '{'): the index of its
// matching '}', braces nested inside counted; npos when it is never closed.
std::size_t closingBrace(std::string_view text, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < text.size(); ++i) {
        if (text[i] == '{') ++depth;
        if (text[i] == '}' && --depth == 0) return i;
    }
    return std::string_view::npos;
}

}  // namespace

bool parseEnvironmentPath(std::string_view text, std::string &value) {
    bool found = false;
    forEachAssignment(text, [&](const Assignment &a) {
        if (a.name != "PATH") return;
        value.assign(a.value.data(), a.value.size());
        found = true;
    });
    return found;
}

void EnvironmentBlock::apply(std::string_view text) {
    forEachAssignment(text, [&](const Assignment &a) {
        // Expanded before it is stored, so PATH=/x:$PATH takes the PATH set so far.
        std::string expanded;
        if (expand(a.value, 0, expanded)) {
            values_.insert_or_assign(std::string(a.name), std::move(expanded));
        }
    });
}

const std::string *EnvironmentBlock::value(std::string_view name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? nullptr : &it->second;
}

bool EnvironmentBlock::expand(std::string_view text, int depth, std::string &out) const {
    // Defaults inside defaults nest no deeper than this, and no value grows beyond the
    // limit: lines like A=$A$A would otherwise double it each time.
    constexpr int kMaxDepth = 16;
    if (depth > kMaxDepth) return false;
    std::size_t i = 0;
    while (i < text.size()) {
        if (out.size() > kMaxEnvironmentValue) return false;
        const char c = text[i];
        if (c != '$' || i + 1 == text.size()) {
            out += c;
            ++i;
            continue;
        }
        const char next = text[i + 1];
        if (next == '$') {
            out += '$';
            i += 2;
        } else if (next == '{') {
            const std::size_t close = closingBrace(text, i + 1);
            // An unclosed reference stays as it is written.
            if (close == std::string_view::npos) {
                out.append(text.substr(i));
                break;
            }
            const std::string_view inner = text.substr(i + 2, close - i - 2);
            const auto colon = inner.find(':');
            const std::string *set = value(inner.substr(0, colon));
            const bool filled = set != nullptr && !set->empty();
            if (colon == std::string_view::npos) {
                if (set != nullptr) out += *set;
            } else if (colon + 1 < inner.size() && inner[colon + 1] == '-') {
                if (filled) {
                    out += *set;
                } else if (!expand(inner.substr(colon + 2), depth + 1, out)) {
                    return false;
                }
            } else if (colon + 1 < inner.size() && inner[colon + 1] == '+') {
                if (filled && !expand(inner.substr(colon + 2), depth + 1, out)) return false;
            } else {
                // No other form is known: the text is kept.
                out.append(text.substr(i, close + 1 - i));
            }
            i = close + 1;
        } else if (isNameChar(next)) {
            std::size_t end = i + 1;
            while (end < text.size() && isNameChar(text[end]))
                ++end;
            if (const std::string *set = value(text.substr(i + 1, end - i - 1))) out += *set;
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out.size() <= kMaxEnvironmentValue;
}

}  // namespace trl4::os
