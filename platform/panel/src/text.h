// Pieces of text handling shared by the resource and script readers.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "trl4/utf8.h"

namespace panel::text {

struct Token {
    bool quoted = false;
    std::string text;
};

inline bool validUtf8(std::string_view s) {
    return trl4::utf8::valid(s);
}

// File names are UTF-8 in the model and in our files, whatever the system's own encoding of
// paths: a Windows program's narrow names are in its ANSI code page.
inline std::filesystem::path pathOf(const std::string &utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string textOf(const std::filesystem::path &path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Splits a line into words and quoted texts; a '#' outside quotes ends it.
inline bool tokenize(std::string_view line, std::vector<Token> &tokens, std::string &why) {
    tokens.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token token{true, {}};
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\') {
                    if (i >= line.size()) break;
                    char e = line[i++];
                    switch (e) {
                        case 'n':
                            token.text += '\n';
                            break;
                        case 't':
                            token.text += '\t';
                            break;
                        case '"':
                            token.text += '"';
                            break;
                        case '\\':
                            token.text += '\\';
                            break;
                        default:
                            why = std::string("unknown escape '\\") + e + "' in text";
                            return false;
                    }
                } else {
                    token.text += d;
                }
            }
            if (!closed) {
                why = "text is not closed by '\"'";
                return false;
            }
            if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                line[i] != '#') {
                why = "text must be followed by a blank";
                return false;
            }
            tokens.push_back(std::move(token));
        } else {
            Token token{false, {}};
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
                   line[i] != '#') {
                if (line[i] == '"') {
                    why = "a quote inside a word";
                    return false;
                }
                token.text += line[i++];
            }
            tokens.push_back(std::move(token));
        }
    }
    return true;
}

inline bool isName(std::string_view s) {
    if (s.empty() || s.size() > 63) return false;
    auto alpha = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    if (!alpha(s[0])) return false;
    for (char c : s) {
        if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
    }
    return true;
}

// A text box's lines as one text, as the value calls and the scripts see it.
inline std::string joinLines(const std::vector<std::string> &lines) {
    std::string all;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) all += '\n';
        all += lines[i];
    }
    return all;
}

// The whole of a regular file, or false with "PATH: cannot open/read the WHAT". A directory or a
// failed read must not pass for an empty file.
inline bool readWholeFile(const std::string &path, const char *what, std::string &text,
                          std::string &error) {
    std::error_code ec;
    std::ifstream in;
    const std::filesystem::path file = pathOf(path);
    if (std::filesystem::is_regular_file(file, ec)) in.open(file, std::ios::binary);
    if (!in.is_open()) {
        error = path + ": cannot open the " + what;
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad()) {
        error = path + ": cannot read the " + what;
        return false;
    }
    text = all.str();
    return true;
}

}  // namespace panel::text
