// VISA expression translation. The expression language is small, so it is translated token by
// token; everything that is special in ECMAScript but literal in VISA is escaped.
#include "trl4visa/expression.h"

#include <regex>

namespace trl4visa {
namespace {

bool isAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

void appendLiteral(std::string &out, char c) {
    // Letters and digits stay bare: "\d" or "\w" would change their meaning.
    if (!isAlnum(c) && static_cast<unsigned char>(c) < 0x80) out += '\\';
    out += c;
}

}  // namespace

bool translateExpression(std::string_view expr, std::string &pattern) {
    if (expr.empty() || expr.size() > kMaxExpressionBytes) return false;
    std::string out;
    int depth = 0;
    bool atom = false;  // the last token can take a quantifier
    for (size_t i = 0; i < expr.size(); ++i) {
        const char c = expr[i];
        switch (c) {
            case '\\':
                if (++i == expr.size()) return false;
                appendLiteral(out, expr[i]);
                atom = true;
                break;
            case '?':
                out += '.';
                atom = true;
                break;
            case '*':
            case '+':
                if (!atom) return false;
                out += c;
                atom = false;
                break;
            case '(':
                out += "(?:";
                ++depth;
                atom = false;
                break;
            case ')':
                if (--depth < 0) return false;
                out += ')';
                atom = true;
                break;
            case '|':
                out += '|';
                atom = false;
                break;
            case '[': {
                out += '[';
                ++i;
                if (i < expr.size() && expr[i] == '^') {
                    out += '^';
                    ++i;
                }
                size_t members = 0;
                for (; i < expr.size() && expr[i] != ']'; ++i, ++members) {
                    char m = expr[i];
                    if (m == '\\') {
                        if (++i == expr.size()) return false;
                        m = expr[i];
                        appendLiteral(out, m);
                    } else if (m == '-' && members > 0 && i + 1 < expr.size() &&
                               expr[i + 1] != ']') {
                        // A range between two members; ECMAScript checks its order.
                        out += '-';
                    } else {
                        appendLiteral(out, m);
                    }
                }
                if (i == expr.size() || members == 0) return false;
                out += ']';
                atom = true;
                break;
            }
            default:
                appendLiteral(out, c);
                atom = true;
                break;
        }
    }
    if (depth != 0) return false;
    pattern = std::move(out);
    return true;
}

bool compileExpression(std::string_view expression, std::regex &re) {
    std::string pattern;
    if (!translateExpression(expression, pattern)) return false;
    try {
        // The breadth-first matcher of the standard library: no back-references (the
        // translation makes none), and no exponential backtracking.
        re.assign(pattern,
                  std::regex::ECMAScript | std::regex::icase | std::regex_constants::__polynomial);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

bool matchesExpression(std::string_view expression, std::string_view name, bool &matched) {
    std::regex re;
    if (!compileExpression(expression, re)) return false;
    try {
        matched = std::regex_match(name.begin(), name.end(), re);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

}  // namespace trl4visa
