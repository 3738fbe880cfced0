// A small YAML reader and writer for the bench file and the per-user settings.
//
// What it reads: one document (an optional leading "---"), block mappings and block sequences
// by indentation (spaces only; a sequence may sit at its key's indentation; "- key: value"
// starts a mapping inside an item), flow mappings {a: 1, b: [x, y]} and flow sequences that
// may span lines, plain scalars on one line, double-quoted scalars with the YAML escapes,
// single-quoted scalars ('' is a quote), comments ('#' at a line start or after a blank), UTF-8
// text (a leading byte-order mark is skipped), LF or CR LF line ends. An empty value, "~" and
// "null" written plain are null. Keys are scalars.
//
// What it refuses, naming the line and the reason, so that a bad file is never half-used:
// anchors, aliases, tags, block scalars (| and >), "?" keys, directives, several documents, a
// key twice in one mapping, tabs in the indentation, a plain or quoted value that continues on
// the next line, text that is not UTF-8 or holds control characters, nesting deeper than the
// limit. Reading is linear in the text and its recursion is bounded by the depth limit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trl4::yaml {

class Node {
  public:
    enum class Kind : uint8_t { Null, Scalar, Sequence, Mapping };

    Kind kind() const noexcept { return kind_; }
    bool isNull() const noexcept { return kind_ == Kind::Null; }
    bool isScalar() const noexcept { return kind_ == Kind::Scalar; }
    bool isSequence() const noexcept { return kind_ == Kind::Sequence; }
    bool isMapping() const noexcept { return kind_ == Kind::Mapping; }

    // Where the node starts, from 1; a mapping or sequence starts at its first key or '-' (or
    // at its opening bracket), an empty value at its key. Columns count bytes.
    int line() const noexcept { return line_; }
    int column() const noexcept { return column_; }

    // A scalar's text, escapes resolved; empty for other kinds.
    const std::string &text() const noexcept { return text_; }
    // Written in quotes: such a scalar is never null.
    bool quoted() const noexcept { return quoted_; }

    // The items of a sequence, or the values of a mapping in the order written (each knows its
    // key); empty for other kinds.
    const std::vector<Node> &children() const noexcept { return children_; }
    size_t size() const noexcept { return children_.size(); }
    const Node &operator[](size_t i) const { return children_.at(i); }

    // For a value of a mapping: its key and where the key is written.
    const std::string &key() const noexcept { return key_; }
    int keyLine() const noexcept { return keyLine_; }
    int keyColumn() const noexcept { return keyColumn_; }

    // The value of key in a mapping; null when the node is no mapping or lacks the key.
    const Node *find(std::string_view key) const noexcept;

    // A scalar read as a number, whatever the process locale; nothing when it is not one.
    // Integers: optional sign, decimal or 0x-hexadecimal, magnitude at most 2^62.
    std::optional<int64_t> toInteger() const;
    // Reals: optional sign, decimal with optional exponent; finite only.
    std::optional<double> toReal() const;
    // true/yes or false/no.
    std::optional<bool> toBool() const;

  private:
    friend class Reader;

    Kind kind_ = Kind::Null;
    bool quoted_ = false;
    int line_ = 1;
    int column_ = 1;
    int keyLine_ = 0;
    int keyColumn_ = 0;
    std::string text_;
    std::string key_;
    std::vector<Node> children_;
};

struct Error {
    int line = 0;
    int column = 0;
    std::string message;

    // "line N: message"
    std::string text() const;
};

struct Limits {
    int maxDepth = 64;
};

// Reads a whole document. On success root holds it; on failure root is left untouched and
// error names the first fault.
bool parse(std::string_view text, Node &root, Error &error, const Limits &limits = {});

// The scalar as written into a file: plain when parse() reads it back unchanged as a string,
// otherwise double-quoted with escapes.
std::string quote(std::string_view text);

// Writes a mapping of strings and numbers, with at most one level of sections below it, as
// text that parse() reads back to the same values.
class Writer {
  public:
    void text(std::string_view key, std::string_view value);
    void integer(std::string_view key, int64_t value);
    // Shortest form that reads back exactly; .nan, .inf and -.inf for the others.
    void real(std::string_view key, double value);
    void boolean(std::string_view key, bool value);
    // The values written until endSection() form the mapping of key. Sections do not nest.
    void beginSection(std::string_view key);
    void endSection();

    const std::string &result() const noexcept { return out_; }

  private:
    void entry(std::string_view key, std::string_view written);

    std::string out_;
    bool inSection_ = false;
};

}  // namespace trl4::yaml
