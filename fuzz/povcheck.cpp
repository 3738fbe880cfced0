// Arbitrary doubles into the verification checks: the texts must end within the 11 bytes
// the caller provides, and nothing may be written past them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ksptrl4_math.h"

namespace {

constexpr std::size_t kText = 11;
constexpr std::size_t kCanary = 8;

double take(const uint8_t *&data, std::size_t &size) {
    double v = 0.0;
    const std::size_t n = size < sizeof v ? size : sizeof v;
    if (n == 0) return v;  // an empty input may come as null
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return v;
}

void check_text(const char *buffer) {
    if (std::memchr(buffer, '\0', kText) == nullptr) std::abort();
    for (std::size_t i = kText; i < kText + kCanary; ++i)
        if (buffer[i] != '\x5A') std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (data == nullptr) return 0;
    const double scale = take(data, size);
    const double nominal = take(data, size);
    const double measured = take(data, size);
    const double tolerance = take(data, size);
    char tol[kText + kCanary];
    char dev[kText + kCanary];
    std::memset(tol, 0x5A, sizeof tol);
    std::memset(dev, 0x5A, sizeof dev);
    const int32_t r = ksptrl4_povCheckValueProc(scale, nominal, measured, tolerance, tol, dev);
    if (r != 0 && r != 1) std::abort();
    check_text(tol);
    check_text(dev);
    double d = 0.0;
    const int32_t a = ksptrl4_povCheckValueAbs(nominal, measured, tolerance, &d);
    if (a != 0 && a != 1) std::abort();
    return 0;
}
