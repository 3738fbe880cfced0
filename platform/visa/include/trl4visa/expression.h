// VISA resource expressions, matched on whole resource names ignoring case, in time linear in
// the name whatever the expression: the expression is compiled into a small automaton whose
// states are all followed at once, so no input can make matching backtrack.
#pragma once

#include <bitset>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace trl4visa {

inline constexpr size_t kMaxExpressionBytes = 256;

class Expression {
  public:
    // "?" any character, "*" and "+" repeat the previous character, list or group, "[list]"
    // and "[^list]" (ranges "a-z"), "|" alternatives, "(...)" groups, "\c" the character c.
    // None for a malformed expression (dangling quantifier or escape, unbalanced brackets,
    // empty list, reversed range, longer than kMaxExpressionBytes).
    static std::optional<Expression> compile(std::string_view expression);

    bool matches(std::string_view name) const;

    // One step of the automaton: a character test, a fork, a jump, or the end of a match.
    struct Step {
        enum Kind { Test, Fork, Jump, Accept } kind = Accept;
        size_t set = 0;       // Test: index into the character sets
        size_t a = 0, b = 0;  // Fork: both targets; Jump: a
    };

  private:
    friend class ExpressionCompiler;
    std::vector<Step> steps_;
    std::vector<std::bitset<256>> sets_;
};

// Matches a whole resource name, ignoring case. Returns false for a malformed expression.
bool matchesExpression(std::string_view expression, std::string_view name, bool &matched);

}  // namespace trl4visa
