// The YAML-subset reader: one pass over the text, block structure by indentation.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include "trl4/yaml.h"
#include "utf8.h"

namespace trl4::yaml {

namespace {

struct Failure {
    int line;
    int column;
    std::string message;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isFlowIndicator(char c) {
    return c == ',' || c == '[' || c == ']' || c == '{' || c == '}';
}

std::string shown(char c) {
    return std::string(1, '\'') + c + '\'';
}

// Drops a leading byte-order mark and the CR of every CR LF, and refuses what is not UTF-8
// text. Line and column numbers stay those of the original text.
std::string normalised(std::string_view text) {
    if (text.size() > INT_MAX / 2) throw Failure{1, 1, "the text is too large"};
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::string out;
    out.reserve(text.size());
    int line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int column = static_cast<int>(i - lineStart) + 1;
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        if (c == '\n') {
            ++line;
            lineStart = i + 1;
        } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", c);
            throw Failure{line, column,
                          std::string("control character ") + hex +
                              " in the text (write it as an escape in double quotes)"};
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        const size_t start = i;
        if (decodeUtf8(text, i) < 0) throw Failure{line, column, "the text is not valid UTF-8"};
        out.append(text.substr(start, i - start));
    }
    return out;
}

}  // namespace

class Reader {
  public:
    Reader(std::string_view text, const Limits &limits)
        : text_(normalised(text)), s_(text_), maxDepth_(limits.maxDepth) {}

    Node document() {
        seekContent(true);
        if (indent_ == 0 && marker("---")) {
            pos_ += 3;
            skipBlanks();
            if (!atCommentOrLineEnd()) fail("put the document on the lines after '---'");
            finishLine();
        }
        Node root;
        if (indent_ < 0) return root;
        root = block(1);
        if (indent_ >= 0) stray();
        return root;
    }

  private:
    // --- position ---------------------------------------------------------------------------

    char peek(size_t ahead = 0) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }
    bool atEnd() const { return pos_ >= s_.size(); }
    bool atLineEnd() const { return atEnd() || s_[pos_] == '\n'; }
    int column() const { return static_cast<int>(pos_ - lineStart_) + 1; }
    // A separating blank, a line end or the end of the text at pos_ + ahead.
    bool blankOrEndAt(size_t ahead) const {
        const char c = peek(ahead);
        return c == '\0' || c == '\n' || isBlank(c);
    }

    void newline() {
        ++pos_;
        ++line_;
        lineStart_ = pos_;
    }
    void skipBlanks() {
        while (isBlank(peek()))
            ++pos_;
    }
    void skipComment() {
        while (!atLineEnd())
            ++pos_;
    }
    // After skipBlanks(): the rest of the line is empty or a comment. A '#' starts a comment
    // only at a line start or after a blank.
    bool atCommentOrLineEnd() const { return atLineEnd() || (peek() == '#' && blankBeforePos()); }
    bool blankBeforePos() const { return pos_ == lineStart_ || isBlank(s_[pos_ - 1]); }

    bool marker(std::string_view m) const {
        return s_.substr(pos_, 3) == m && blankOrEndAt(3) && pos_ == lineStart_;
    }

    [[noreturn]] void fail(std::string message) const {
        throw Failure{line_, column(), std::move(message)};
    }
    [[noreturn]] void failAt(int line, int column, std::string message) const {
        throw Failure{line, column, std::move(message)};
    }
    [[noreturn]] void stray() const {
        fail(
            "this line does not continue anything above it (check its indentation; a value "
            "cannot go on over several lines)");
    }
    void checkDepth(int depth) const {
        if (depth > maxDepth_) fail("nested deeper than " + std::to_string(maxDepth_) + " levels");
    }

    // Ends the current line (only a comment may remain), then moves to the next line with
    // content.
    void finishLine() {
        skipBlanks();
        if (!atCommentOrLineEnd()) {
            fail("unexpected " + shown(peek()) + " after the value");
        }
        skipComment();
        if (!atEnd()) newline();
        seekContent(false);
    }

    // From a line start: skips empty and comment lines and stops at the first character of the
    // next line with content; indent_ is its indentation, or -1 at the end of the text.
    void seekContent(bool firstLine) {
        while (!atEnd()) {
            while (peek() == ' ')
                ++pos_;
            if (peek() == '\t') {
                skipBlanks();
                if (!atCommentOrLineEnd()) {
                    fail("a tab in the indentation (indent with spaces)");
                }
            }
            if (peek() == '#') skipComment();
            if (peek() == '\n') {
                newline();
                continue;
            }
            if (atEnd()) break;
            if ((!firstLine && marker("---")) || marker("...")) {
                fail("a document marker after the start: a file holds one document");
            }
            indent_ = column() - 1;
            return;
        }
        indent_ = -1;
    }

    bool sequenceEntry() const { return peek() == '-' && blankOrEndAt(1); }

    // Whether the text at pos_ is "key:" followed by a blank or the line end.
    bool keyAhead() const {
        size_t i = pos_;
        const char first = peek();
        if (first == '"' || first == '\'') {
            for (++i; i < s_.size() && s_[i] != '\n'; ++i) {
                if (first == '"' && s_[i] == '\\') {
                    ++i;
                } else if (s_[i] == first) {
                    if (first == '\'' && i + 1 < s_.size() && s_[i + 1] == '\'') {
                        ++i;
                        continue;
                    }
                    break;
                }
            }
            if (i >= s_.size() || s_[i] != first) return false;
            for (++i; i < s_.size() && isBlank(s_[i]);)
                ++i;
            return i < s_.size() && s_[i] == ':' &&
                   (i + 1 == s_.size() || s_[i + 1] == '\n' || isBlank(s_[i + 1]));
        }
        if (first == '[' || first == '{') return false;
        for (; i < s_.size() && s_[i] != '\n'; ++i) {
            if (s_[i] == ':' && (i + 1 == s_.size() || s_[i + 1] == '\n' || isBlank(s_[i + 1]))) {
                return true;
            }
            if (s_[i] == '#' && i > pos_ && isBlank(s_[i - 1])) return false;
        }
        return false;
    }

    // --- block structure --------------------------------------------------------------------

    // A node starting at pos_ on the current line; returns at the next line with content.
    Node block(int depth) {
        checkDepth(depth);
        const int col = column() - 1;
        if (sequenceEntry()) return blockSequence(col, depth);
        if (keyAhead()) return blockMapping(col, depth);
        Node n = inlineValue(depth);
        finishLine();
        return n;
    }

    Node blockSequence(int col, int depth) {
        Node seq = start(Node::Kind::Sequence);
        for (;;) {
            const int dashLine = line_;
            const int dashColumn = column();
            ++pos_;
            skipBlanks();
            Node item;
            if (atCommentOrLineEnd()) {
                finishLine();
                if (indent_ > col) {
                    item = block(depth + 1);
                } else {
                    item.line_ = dashLine;
                    item.column_ = dashColumn;
                }
            } else {
                item = block(depth + 1);
            }
            seq.children_.push_back(std::move(item));
            if (indent_ != col || !sequenceEntry()) break;
        }
        if (indent_ > col) stray();
        return seq;
    }

    Node blockMapping(int col, int depth) {
        Node map = start(Node::Kind::Mapping);
        for (;;) {
            const int keyLine = line_;
            const int keyColumn = column();
            std::string key = scalarKey();
            skipBlanks();
            ++pos_;  // the ':' keyAhead() found
            skipBlanks();
            Node value;
            if (atCommentOrLineEnd()) {
                finishLine();
                if (indent_ > col) {
                    value = block(depth + 1);
                } else if (indent_ == col && sequenceEntry()) {
                    checkDepth(depth + 1);
                    value = blockSequence(col, depth + 1);
                } else {
                    value.line_ = keyLine;
                    value.column_ = keyColumn;
                }
            } else {
                if (sequenceEntry()) {
                    fail("a list cannot start on the line of its key: put its items below it");
                }
                if (keyAhead()) {
                    fail(
                        "a value holding ': ' must be quoted (a mapping cannot start on the "
                        "line of its key)");
                }
                value = inlineValue(depth + 1);
                finishLine();
            }
            value.key_ = std::move(key);
            value.keyLine_ = keyLine;
            value.keyColumn_ = keyColumn;
            map.children_.push_back(std::move(value));
            if (indent_ != col) break;
            if (!keyAhead()) {
                fail(sequenceEntry() ? "a list item where a key is expected"
                                     : "expected \"key: value\"");
            }
        }
        if (indent_ > col) stray();
        uniqueKeys(map);
        return map;
    }

    std::string scalarKey() {
        const char c = peek();
        if (c == '"') return doubleQuoted();
        if (c == '\'') return singleQuoted();
        checkPlainStart();
        if (c == ':') fail("a key is missing before ':'");
        const size_t begin = pos_;
        while (!(peek() == ':' && blankOrEndAt(1)))
            ++pos_;
        size_t end = pos_;
        while (end > begin && isBlank(s_[end - 1]))
            --end;
        return std::string(s_.substr(begin, end - begin));
    }

    // A scalar or a flow collection within one line (a flow collection may go on over lines).
    Node inlineValue(int depth) {
        const char c = peek();
        if (c == '[' || c == '{') return flow(depth);
        Node n = start(Node::Kind::Scalar);
        if (c == '"' || c == '\'') {
            n.text_ = c == '"' ? doubleQuoted() : singleQuoted();
            n.quoted_ = true;
            return n;
        }
        checkPlainStart();
        const size_t begin = pos_;
        while (!atLineEnd() && !(peek() == '#' && isBlank(s_[pos_ - 1])))
            ++pos_;
        size_t end = pos_;
        while (end > begin && isBlank(s_[end - 1]))
            --end;
        plain(n, s_.substr(begin, end - begin));
        return n;
    }

    static void plain(Node &n, std::string_view text) {
        if (text == "~" || text == "null" || text == "Null" || text == "NULL") {
            n.kind_ = Node::Kind::Null;
        } else {
            n.text_ = std::string(text);
        }
    }

    Node start(Node::Kind kind) const {
        Node n;
        n.kind_ = kind;
        n.line_ = line_;
        n.column_ = column();
        return n;
    }

    void checkPlainStart() const {
        switch (peek()) {
            case '&':
                fail("anchors ('&') are not supported");
            case '*':
                fail("aliases ('*') are not supported");
            case '!':
                fail("tags ('!') are not supported");
            case '|':
            case '>':
                fail(
                    "block scalars ('|' and '>') are not supported: write the value on one line, "
                    "in quotes if needed");
            case '%':
                fail("directives ('%') are not supported");
            case '@':
            case '`':
            case '#':
            case ',':
            case ']':
            case '}':
                fail(shown(peek()) + " cannot start a value (quote the value)");
            case '?':
                if (blankOrEndAt(1)) fail("'?' keys are not supported");
                break;
            default:
                break;
        }
    }

    // Refuses the second of two equal keys, in the order written.
    void uniqueKeys(const Node &map) const {
        const auto &items = map.children_;
        std::vector<size_t> order(items.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return items[a].key_ < items[b].key_; });
        size_t worst = items.size();
        for (size_t i = 1; i < order.size(); ++i) {
            if (items[order[i]].key_ == items[order[i - 1]].key_) {
                worst = std::min(worst, order[i]);
            }
        }
        if (worst == items.size()) return;
        const Node &second = items[worst];
        int firstLine = 0;
        for (const Node &n : items) {
            if (n.key_ == second.key_) {
                firstLine = n.keyLine_;
                break;
            }
        }
        failAt(second.keyLine_, second.keyColumn_,
               "key \"" + second.key_ + "\" appears twice in one mapping (first on line " +
                   std::to_string(firstLine) + ")");
    }

    // --- quoted scalars ---------------------------------------------------------------------

    [[noreturn]] void unclosed(int line, int column, char quote) const {
        failAt(line, column,
               std::string("the quoted value has no closing ") + quote +
                   " on its line (a value cannot go on over several lines)");
    }

    std::string singleQuoted() {
        const int line = line_;
        const int col = column();
        ++pos_;
        std::string out;
        for (;;) {
            if (atLineEnd()) unclosed(line, col, '\'');
            const char c = s_[pos_++];
            if (c == '\'') {
                if (peek() != '\'') return out;
                ++pos_;
            }
            out += c;
        }
    }

    std::string doubleQuoted() {
        const int line = line_;
        const int col = column();
        ++pos_;
        std::string out;
        for (;;) {
            if (atLineEnd()) unclosed(line, col, '"');
            const char c = s_[pos_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (atLineEnd()) unclosed(line, col, '"');
            const char e = s_[pos_++];
            switch (e) {
                case '0':
                    out += '\0';
                    break;
                case 'a':
                    out += '\a';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 't':
                case '\t':
                    out += '\t';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'v':
                    out += '\v';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'e':
                    out += '\x1B';
                    break;
                case ' ':
                case '"':
                case '/':
                case '\\':
                    out += e;
                    break;
                case 'N':
                    appendUtf8(out, 0x85);
                    break;
                case '_':
                    appendUtf8(out, 0xA0);
                    break;
                case 'L':
                    appendUtf8(out, 0x2028);
                    break;
                case 'P':
                    appendUtf8(out, 0x2029);
                    break;
                case 'x':
                    appendUtf8(out, hexEscape(2));
                    break;
                case 'u':
                    appendUtf8(out, hexEscape(4));
                    break;
                case 'U':
                    appendUtf8(out, hexEscape(8));
                    break;
                default:
                    --pos_;
                    fail(std::string("unknown escape \\") + e + " in a double-quoted value");
            }
        }
    }

    char32_t hexEscape(int digits) {
        const int col = column() - 2;
        char32_t value = 0;
        for (int i = 0; i < digits; ++i) {
            const char c = peek();
            int digit = -1;
            if (c >= '0' && c <= '9') digit = c - '0';
            if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            if (digit < 0) {
                failAt(line_, col,
                       "the escape needs " + std::to_string(digits) + " hexadecimal digits");
            }
            value = value * 16 + static_cast<char32_t>(digit);
            ++pos_;
        }
        if ((value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
            failAt(line_, col, "the escape names no Unicode character");
        }
        return value;
    }

    // --- flow collections -------------------------------------------------------------------

    // Skips blanks, line ends and comments inside a flow collection.
    void flowSpace(int openLine, char closer) {
        for (;;) {
            skipBlanks();
            if (peek() == '#' && blankBeforePos()) skipComment();
            if (atEnd()) {
                fail(std::string("the text ends inside the ") +
                     (closer == ']' ? "list" : "mapping") + " opened on line " +
                     std::to_string(openLine) + " (missing " + closer + ")");
            }
            if (peek() != '\n') return;
            newline();
        }
    }

    Node flow(int depth) {
        checkDepth(depth);
        const bool isList = peek() == '[';
        const char closer = isList ? ']' : '}';
        Node n = start(isList ? Node::Kind::Sequence : Node::Kind::Mapping);
        const int openLine = line_;
        ++pos_;
        for (;;) {
            flowSpace(openLine, closer);
            if (peek() == closer) break;
            if (isList) {
                Node item = flowNode(depth + 1);
                flowSpace(openLine, closer);
                if (peek() == ':' && (blankOrEndAt(1) || isFlowIndicator(peek(1)))) {
                    fail("a \"key: value\" pair inside [ ] is not supported: write {key: value}");
                }
                n.children_.push_back(std::move(item));
            } else {
                const int keyLine = line_;
                const int keyColumn = column();
                std::string key = flowKey();
                flowSpace(openLine, closer);
                if (peek() != ':') fail("expected ':' after the key \"" + key + "\"");
                ++pos_;
                flowSpace(openLine, closer);
                Node value;
                if (peek() == ',' || peek() == closer) {
                    value.line_ = keyLine;
                    value.column_ = keyColumn;
                } else {
                    value = flowNode(depth + 1);
                    flowSpace(openLine, closer);
                }
                value.key_ = std::move(key);
                value.keyLine_ = keyLine;
                value.keyColumn_ = keyColumn;
                n.children_.push_back(std::move(value));
            }
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() != closer) {
                fail("expected ',' or '" + std::string(1, closer) + "' in the " +
                     (isList ? "list" : "mapping") + " opened on line " + std::to_string(openLine));
            }
            break;
        }
        ++pos_;
        if (!isList) uniqueKeys(n);
        return n;
    }

    Node flowNode(int depth) {
        const char c = peek();
        if (c == '[' || c == '{') return flow(depth);
        Node n = start(Node::Kind::Scalar);
        if (c == '"' || c == '\'') {
            n.text_ = c == '"' ? doubleQuoted() : singleQuoted();
            n.quoted_ = true;
            return n;
        }
        if (c == '-' && blankOrEndAt(1)) fail("a block list item ('- ') inside [ ] or { }");
        checkPlainStart();
        plain(n, flowPlain());
        return n;
    }

    std::string flowKey() {
        const char c = peek();
        if (c == '"') return doubleQuoted();
        if (c == '\'') return singleQuoted();
        if (c == '[' || c == '{') fail("a key must be a single value");
        checkPlainStart();
        return std::string(flowPlain());
    }

    // A plain scalar inside a flow collection: up to a flow indicator, ": ", a comment or the
    // line end.
    std::string_view flowPlain() {
        const size_t begin = pos_;
        while (!atLineEnd() && !isFlowIndicator(peek()) &&
               !(peek() == ':' && (blankOrEndAt(1) || isFlowIndicator(peek(1)))) &&
               !(peek() == '#' && pos_ > begin && isBlank(s_[pos_ - 1]))) {
            ++pos_;
        }
        size_t end = pos_;
        while (end > begin && isBlank(s_[end - 1]))
            --end;
        if (end == begin) fail("a value is missing");
        return s_.substr(begin, end - begin);
    }

    std::string text_;
    std::string_view s_;
    int maxDepth_;
    size_t pos_ = 0;
    size_t lineStart_ = 0;
    int line_ = 1;
    int indent_ = -1;
};

std::string Error::text() const {
    return "line " + std::to_string(line) + ": " + message;
}

bool parse(std::string_view text, Node &root, Error &error, const Limits &limits) {
    try {
        Reader reader(text, limits);
        Node parsed = reader.document();
        root = std::move(parsed);
        return true;
    } catch (const Failure &f) {
        error = Error{f.line, f.column, f.message};
    } catch (const std::bad_alloc &) {
        error = Error{1, 1, "the text is too large to read"};
    } catch (const std::length_error &) {
        error = Error{1, 1, "the text is too large to read"};
    }
    return false;
}

}  // namespace trl4::yaml
