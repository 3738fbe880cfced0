// Verification point checks: the absolute one and the percentage one with its protocol texts.
#include "ksptrl4_math.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace {

constexpr std::size_t kScratch = 32;
constexpr std::size_t kMaxText = 10;  // the caller's buffers hold 11 bytes

// printf's "%W.Pe" as the C locale writes it, whatever locale the process has: these are
// protocol texts, and a comma-decimal desktop must change neither them nor a verdict. (The
// "%d" conversions below need no such care: integers are written alike in every locale.)
void scientific(char *out, std::size_t size, double v, int precision, std::size_t width = 0) {
    char text[kScratch];
    const auto [end, ec] =
        std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, precision);
    const std::size_t length = ec == std::errc() ? static_cast<std::size_t>(end - text) : 0;
    std::size_t n = 0;
    for (std::size_t pad = length; pad < width && n + 1 < size; ++pad)
        out[n++] = ' ';
    for (std::size_t i = 0; i < length && n + 1 < size; ++i)
        out[n++] = text[i];
    out[n] = '\0';
}

// Seven significant digits, by way of the text the protocol would show.
double seven_digits(double v) {
    char text[kScratch];
    scientific(text, sizeof text, v, 6);
    double back = 0.0;
    const char *last = text + std::strlen(text);
    if (std::from_chars(text, last, back, std::chars_format::general).ec != std::errc()) return v;
    return back;
}

// Whatever a format produced, the caller receives at most ten characters and a zero byte.
void deliver(char *out, const char *text) {
    if (out == nullptr) return;
    std::size_t n = 0;
    while (n < kMaxText && text[n] != '\0')
        ++n;
    std::memcpy(out, text, n);
    out[n] = '\0';
}

struct ToleranceDigits {
    int exponent;  // E: the decimal exponent of the tolerance's first digit
    int q;         // Q: two significant digits in units of 10^(E-1)
    bool finite;
};

// Reads "%.2e" as text: the digits before the 'e' with the point dropped (a leading minus
// sign stops the reading, so a negative tolerance gives 0), and the exponent after it.
ToleranceDigits tolerance_digits(double tolerance) {
    ToleranceDigits d{0, 0, std::isfinite(tolerance)};
    if (!d.finite) return d;
    char text[kScratch];
    scientific(text, sizeof text, tolerance, 2);
    int m = 0;
    for (const char *p = text; *p != '\0' && *p != 'e'; ++p) {
        if (*p == '.') continue;
        if (*p < '0' || *p > '9') break;
        if (m < 100000) m = m * 10 + (*p - '0');
    }
    const char *e = std::strrchr(text, 'e');
    int exponent = 0;
    if (e != nullptr) {
        const char *p = e + 1;
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        for (; *p >= '0' && *p <= '9'; ++p)
            if (exponent < 100000) exponent = exponent * 10 + (*p - '0');
        if (negative) exponent = -exponent;
    }
    d.exponent = exponent;
    d.q = (m + 5) / 10;
    return d;
}

void tolerance_text(char *out, std::size_t size, double tolerance, const ToleranceDigits &d) {
    const int hi = d.q / 10;
    const int lo = d.q % 10;
    if (!d.finite) {
        scientific(out, size, tolerance, 1, 3);
        return;
    }
    switch (d.exponent) {
        case -4:
            std::snprintf(out, size, "0.000%d%d", hi, lo);
            break;
        case -3:
            std::snprintf(out, size, "0.00%d%d", hi, lo);
            break;
        case -2:
            std::snprintf(out, size, " 0.0%d%d", hi, lo);
            break;
        case -1:
            std::snprintf(out, size, "  0.%d%d", hi, lo);
            break;
        case 0:
            std::snprintf(out, size, "%4d.%d", hi, lo);
            break;
        case 1:
            std::snprintf(out, size, "%6d", d.q);
            break;
        default:
            scientific(out, size, tolerance, 1, 3);
            break;
    }
}

void deviation_text(char *out, std::size_t size, bool negative, bool overRange, int k, int64_t v,
                    double p) {
    const int hi = static_cast<int>(v / 10);
    const int lo = static_cast<int>(v % 10);
    if (overRange || k > 0) {
        std::snprintf(out, size, "%s", negative ? "> -100.0" : ">100.0");
        return;
    }
    switch (k) {
        case -5:
            std::snprintf(out, size, negative ? "-0.000%d%d" : " 0.000%d%d", hi, lo);
            break;
        case -4:
            std::snprintf(out, size, negative ? "-0.00%d%d" : " 0.00%d%d", hi, lo);
            break;
        case -3:
            std::snprintf(out, size, negative ? " -0.0%d%d" : "  0.0%d%d", hi, lo);
            break;
        case -2:
            std::snprintf(out, size, negative ? "  -0.%d%d" : "   0.%d%d", hi, lo);
            break;
        case -1:
            if (!negative)
                std::snprintf(out, size, " %4d.%d", hi, lo);
            else if (hi == 0)
                std::snprintf(out, size, "%4s.%d", "-0", lo);
            else
                std::snprintf(out, size, "%4d.%d", -hi, lo);
            break;
        case 0:
            std::snprintf(out, size, negative ? "%6d" : " %6d",
                          negative ? -static_cast<int>(v) : static_cast<int>(v));
            break;
        default:
            scientific(out, size, negative ? -p : p, 1, 3);
            break;
    }
}

}  // namespace

extern "C" {

int32_t KSPTRL4_STDCALL ksptrl4_povCheckValueAbs(double nominal, double measured, double tolerance,
                                                 double *deviation) {
    const double d = std::fabs(seven_digits(nominal) - seven_digits(measured));
    if (deviation != nullptr) *deviation = d;
    // Written so that a deviation or tolerance that is not a number fails the point.
    return d <= tolerance * 1.000000001 ? 0 : 1;
}

int32_t KSPTRL4_CDECL ksptrl4_povCheckValueProc(double scale, double nominal, double measured,
                                                double tolerance, char *toleranceText,
                                                char *deviationText) {
    double p = (measured - nominal) * 100.0 / scale;
    const bool negative = p < 0.0;
    if (negative) p = -p;
    const bool differs = !(measured == nominal);

    const ToleranceDigits d = tolerance_digits(tolerance);
    char tolText[kScratch];
    tolerance_text(tolText, sizeof tolText, tolerance, d);

    const int e = d.finite ? d.exponent : 0;
    const double x = p * std::pow(10.0, static_cast<double>(1 - e)) + 0.5;
    // A deviation that cannot be judged (not a number while the values differ) fails.
    const bool overRange = x >= 2147483648.0 || (std::isnan(p) && differs);
    int32_t result = 1;
    int64_t v = 0;
    int k = e - 1;
    if (!overRange) {
        if (x == x) v = static_cast<int64_t>(x);
        if (v == 0 && differs) v = 1;
        result = v > d.q ? 1 : 0;
        while (v >= 100) {
            v = (v + 5) / 10;
            ++k;
        }
    }
    char devText[kScratch];
    deviation_text(devText, sizeof devText, negative, overRange, k, v, p);

    deliver(toleranceText, tolText);
    deliver(deviationText, devText);
    return result;
}

}  // extern "C"
