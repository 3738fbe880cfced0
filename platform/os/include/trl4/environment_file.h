// Reading the PATH entry of a machine environment file (/etc/environment style).
//
// Rules: lines end with LF (a CR before it is dropped); blanks before a line are skipped;
// empty lines and lines starting with '#' are ignored; an optional leading "export " is
// allowed; the name is PATH exactly (blanks around it are allowed), then '='. The value is
// either quoted with " or ' (taken up to the matching quote, no escapes; what follows the
// closing quote is ignored; an unclosed quote makes the line invalid) or unquoted (the
// rest of the line, trailing blanks removed; '#' is an ordinary character there). A value
// holding a zero byte makes the line invalid. When several lines set PATH, the last valid
// one wins.
#pragma once

#include <string>
#include <string_view>

namespace trl4::os {

// True and the value when the text sets PATH; false when it does not.
bool parseEnvironmentPath(std::string_view text, std::string &value);

}  // namespace trl4::os
