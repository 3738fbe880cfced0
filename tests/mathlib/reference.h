// A plain reading of the conversion rules, kept deliberately naive (truncate first, then
// compare the integer), to check the library's fast paths against.
#pragma once

#include <cmath>
#include <cstdint>

namespace ref {

struct Result {
    int32_t code;
    bool warned;
};

inline Result code(double x, double zero, double shift, double gain, int32_t mode, bool is16) {
    const double base = zero - shift;
    double v = (x - base) * gain;
    if (is16) v = v * 0.00390625;
    v = v + 0.5;
    if (std::isnan(v)) return {0, false};
    const double t = std::trunc(v);
    const double limit = is16 ? 32767.0 : 8388607.0;
    if (t > limit) return {is16 ? 0x7FFF : 0x007FFFFF, mode == 5 && x > 10.0};
    if (t < -limit) return {is16 ? -0x8000 : 0x00800000, mode == 5 && x < -10.0};
    return {static_cast<int32_t>(t), false};
}

}  // namespace ref
