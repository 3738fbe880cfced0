// Text checks and number formats the result files share.
#pragma once

#include <string>
#include <string_view>

namespace trl4::result::text {

// Why text may not go into a result file: not UTF-8, a control character, or a character
// XML does not allow; null when it may.
const char *fault(std::string_view text);

// Characters of UTF-8 text.
std::size_t chars(std::string_view text);

// Only blanks, or nothing.
bool blank(std::string_view text);

// A number as the protocol file writes it (%lg in the "C" locale).
std::string protocolNumber(double value);

// Text for XML content and attribute values, and so for HTML.
std::string escaped(std::string_view text);

}  // namespace trl4::result::text
