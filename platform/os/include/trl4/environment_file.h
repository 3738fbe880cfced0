// Reading machine environment files: /etc/environment and the environment.d drop-ins.
//
// Rules: lines end with LF (a CR before it is dropped); blanks before a line are skipped;
// empty lines and lines starting with '#' are ignored; an optional leading "export " is
// allowed; then a name (letters, digits and '_', not starting with a digit; blanks around it
// are allowed) and '='. The value is either quoted with " or ' (taken up to the matching
// quote, no escapes; what follows the closing quote is ignored; an unclosed quote makes the
// line invalid) or unquoted (the rest of the line, trailing blanks removed; '#' is an
// ordinary character there). A value holding a zero byte makes the line invalid. When
// several lines set a name, the last valid one wins.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace trl4::os {

inline constexpr std::size_t kMaxEnvironmentValue = 1 << 20;

// True and the value when the text sets PATH; false when it does not. Nothing is expanded.
bool parseEnvironmentPath(std::string_view text, std::string &value);

// Environment files applied in order, as systemd's environment generator applies its
// drop-ins: in each value, ${NAME}, $NAME, ${NAME:-default} (the default when NAME is unset
// or empty) and ${NAME:+alternate} (the alternate when NAME is set and not empty) take what
// earlier assignments set, "$$" is a '$'; a name nothing set yet is empty. The process's own
// environment is never consulted. An assignment whose value would grow beyond
// kMaxEnvironmentValue bytes, or nest defaults deeper than 16, is not made.
class EnvironmentBlock {
  public:
    // Applies every valid assignment of the text, line by line.
    void apply(std::string_view text);
    // The value set for `name`, or null when nothing set it.
    const std::string *value(std::string_view name) const;

  private:
    bool expand(std::string_view text, int depth, std::string &out) const;
    std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace trl4::os
