// Protocol formatting with any doubles (NaN, infinities, 1e308 ...) and any format text: the
// point record must equal the C library's, and every message stays within its bound.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "trl4/protocol_text.h"

using trl4::protocol::Arg;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::array<double, 3> v{};
    const size_t numbers = size < sizeof v ? size : sizeof v;
    if (numbers > 0) std::memcpy(v.data(), data, numbers);  // an empty input may come as null
    const std::string_view format(reinterpret_cast<const char *>(data) + numbers, size - numbers);

    constexpr const char *kPoint = "%-13.6lg               %lg%%\n%-13.6lg %-13.6lg %-13.6lg %s";
    const std::array<Arg, 6> point{v[0],      v[1], v[2], v[0] - v[2], (v[0] - v[2]) / v[0] * 100,
                                   "норма   "};
    char expected[1024];
    std::snprintf(expected, sizeof expected, kPoint, v[0], v[1], v[2], v[0] - v[2],
                  (v[0] - v[2]) / v[0] * 100, "норма   ");
    bool oracle = true;
#ifdef _WIN32
    // mingw's printf drops the sign of a NaN, while the formatter writes glibc's "-nan" on
    // every platform: here the C library is no oracle for NaN.
    for (const double x : {v[0], v[1], v[2], v[0] - v[2], (v[0] - v[2]) / v[0] * 100})
        oracle = oracle && !std::isnan(x);
#endif
    if (oracle && trl4::protocol::formatMessage(kPoint, point) != expected) std::abort();

    const std::string text = trl4::protocol::formatMessage(format, point);
    if (trl4::protocol::utf8Chars(text) > trl4::protocol::kMessageChars) std::abort();
    if (trl4::protocol::toWindows1251(text).size() > 2 * text.size()) std::abort();
    return 0;
}
