// VISA resource expressions as ECMAScript patterns (what viFindRsrc matches with).
#pragma once

#include <regex>
#include <string>
#include <string_view>

namespace trl4visa {

inline constexpr size_t kMaxExpressionBytes = 256;

// Translates a VISA expression ("?", "*", "+", "[list]", "[^list]", "|", "(...)", "\c") into
// an ECMAScript pattern to be matched on the whole name. Returns false for a malformed
// expression (dangling quantifier or escape, unbalanced brackets, empty list, too long).
bool translateExpression(std::string_view expression, std::string &pattern);

// Compiles an expression for whole-name matching, ignoring case. Matching runs in polynomial
// time whatever the expression (nested repeats such as "(?*)+" would make a backtracking
// matcher take exponential time on a name that does not match). Returns false for a
// malformed expression.
bool compileExpression(std::string_view expression, std::regex &re);

// Matches a whole resource name, ignoring case. Returns false for a malformed expression.
bool matchesExpression(std::string_view expression, std::string_view name, bool &matched);

}  // namespace trl4visa
