// Numbers as the panels show them and as the operator types them.
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include "panel/model.h"
#include "trl4/utf8.h"

namespace panel {
namespace {

// Wide enough for %.15f of the largest double (309 digits before the point).
constexpr std::size_t kBuffer = 400;

// What printf writes for "%.*f", "%.*e" or "%.*g" in the C locale, in any process locale:
// a comma-decimal desktop must not change what a panel shows or an operator script reads.
std::string printed(double value, std::chars_format format, int precision) {
    char buffer[kBuffer];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    if (ec != std::errc()) return {};
    return std::string(buffer, end);
}

// The number at the start of a text this file printed; 0 when there is none.
double readBack(const std::string &text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    return value;
}

std::string nonFinite(double value) {
    if (std::isnan(value)) return "NaN";
    return value < 0 ? "-Inf" : "Inf";
}

int clampPrecision(int precision) {
    return precision < 0 ? 0 : (precision > 15 ? 15 : precision);
}

// "1.500000E+03" -> "1.500000E+3": the panels show the exponent without padding.
std::string exponentForm(double value, int precision) {
    std::string s = printed(value, std::chars_format::scientific, precision);
    std::size_t e = s.find('e');
    if (e == std::string::npos || e + 2 > s.size()) return s;
    std::string mantissa = s.substr(0, e);
    char sign = s[e + 1];
    std::size_t digits = e + 2;
    while (digits + 1 < s.size() && s[digits] == '0')
        ++digits;
    return mantissa + "E" + sign + s.substr(digits);
}

// value / 10^e3 without the power itself under- or overflowing at the ends of the range.
double scaled(double value, int e3) {
    if (e3 < -300) return (value * 1e300) / std::pow(10.0, e3 + 300);
    if (e3 > 300) return (value / 1e300) / std::pow(10.0, e3 - 300);
    return value / std::pow(10.0, e3);
}

std::string engineeringForm(double value, int precision) {
    if (value == 0.0) return printed(0.0, std::chars_format::fixed, precision) + "E+0";
    int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    int e3 = (exponent >= 0 ? exponent / 3 : -((-exponent + 2) / 3)) * 3;
    // Rounding may carry the mantissa to 1000 (or log10 may land a hair low): settle it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        double mantissa = scaled(value, e3);
        std::string text = printed(mantissa, std::chars_format::fixed, precision);
        double shown = std::fabs(readBack(text));
        if (shown >= 1000.0) {
            e3 += 3;
            continue;
        }
        if (shown < 1.0 && e3 > -330) {
            double lower = std::fabs(scaled(value, e3 - 3));
            if (lower < 1000.0 &&
                std::fabs(readBack(printed(lower, std::chars_format::fixed, precision))) < 1000.0) {
                e3 -= 3;
                continue;
            }
        }
        return text + (e3 < 0 ? "E-" : "E+") + std::to_string(e3 < 0 ? -e3 : e3);
    }
    return exponentForm(value, precision);
}

}  // namespace

std::string formatNumber(double value, Format format, int precision) {
    if (!std::isfinite(value)) return nonFinite(value);
    precision = clampPrecision(precision);
    switch (format) {
        case Format::Integer:
            return printed(value, std::chars_format::fixed, 0);
        case Format::Fixed:
            return printed(value, std::chars_format::fixed, precision);
        case Format::Exponent:
            return exponentForm(value, precision);
        case Format::Engineering:
            return engineeringForm(value, precision);
    }
    return printed(value, std::chars_format::general, 6);
}

std::string formatValue(const Control &control) {
    if (control.type == DataType::Text) return control.text;
    if (control.type == DataType::Double) {
        return formatNumber(control.number, control.format, control.precision);
    }
    if (control.type == DataType::None) return {};
    return formatNumber(control.number, Format::Integer, 0);
}

bool parseNumber(std::string_view text, double &value, std::string *error) {
    auto fail = [&](const char *why) {
        if (error) {
            // Appended piecewise: GCC 12 at -O3 warns falsely on the operator+ chain.
            error->assign(1, '\'');
            error->append(text);
            error->append("' ");
            error->append(why);
        }
        return false;
    };
    std::string_view s = text;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    if (s.empty()) return fail("is not a number");
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() ||
        !((s.front() >= '0' && s.front() <= '9') || s.front() == '.' || s.front() == ',')) {
        return fail("is not a number");
    }
    // A decimal comma is what an operator in this locale types; take it as the point.
    std::string digits(s);
    if (digits.find('.') == std::string::npos) {
        auto comma = digits.find(',');
        if (comma != std::string::npos) digits[comma] = '.';
    }
    double parsed = 0.0;
    const char *first = digits.data();
    const char *last = first + digits.size();
    auto [end, ec] = std::from_chars(first, last, parsed, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) return fail("is out of range");
    if (ec != std::errc() || end != last) return fail("is not a number");
    if (!std::isfinite(parsed)) return fail("is out of range");
    value = negative ? -parsed : parsed;
    return true;
}

double typeMin(DataType type) {
    switch (type) {
        case DataType::Int:
            return static_cast<double>(std::numeric_limits<int>::min());
        case DataType::Short:
            return -32768.0;
        case DataType::UShort:
            return 0.0;
        case DataType::Double:
            return -std::numeric_limits<double>::max();
        default:
            return 0.0;
    }
}

double typeMax(DataType type) {
    switch (type) {
        case DataType::Int:
            return static_cast<double>(std::numeric_limits<int>::max());
        case DataType::Short:
            return 32767.0;
        case DataType::UShort:
            return 65535.0;
        case DataType::Double:
            return std::numeric_limits<double>::max();
        default:
            return 0.0;
    }
}

std::size_t utf8Length(std::string_view text) {
    return trl4::utf8::length(text);
}

}  // namespace panel
