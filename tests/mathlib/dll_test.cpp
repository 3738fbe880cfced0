// Loads the DLL as the driver does: by name, each export through GetProcAddress and a
// pointer of the export's calling convention. A wrong convention or a decorated name shows
// up as a missing export or a corrupted stack (wrong results after the call).
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "check.h"
#include "comma_locale.h"

namespace {

using D2C24 = int32_t(__cdecl *)(int32_t, double, double, const double *, int32_t, int32_t *,
                                 int32_t, double);
using D2C16 = int32_t(__cdecl *)(int32_t, double, double, const double *, int32_t, int16_t *,
                                 int32_t, double);
using F2C24 = int32_t(__cdecl *)(int32_t, double, double, const float *, int32_t, int32_t *,
                                 int32_t, double);
using F2C16 = int32_t(__cdecl *)(int32_t, double, double, const float *, int32_t, int16_t *,
                                 int32_t, double);
using D2C24x2 = int32_t(__cdecl *)(const int32_t *, const double *, const double *, const double *,
                                   int32_t, int32_t *, int32_t, const double *);
using D2C16x2 = int32_t(__cdecl *)(const int32_t *, const double *, const double *, const double *,
                                   int32_t, int16_t *, int32_t, const double *);
using F2C24x2 = int32_t(__cdecl *)(const int32_t *, const double *, const double *, const float *,
                                   int32_t, int32_t *, int32_t, const double *);
using F2C16x2 = int32_t(__cdecl *)(const int32_t *, const double *, const double *, const float *,
                                   int32_t, int16_t *, int32_t, const double *);
using Cod2Val = double(__cdecl *)(double, double, int32_t);
using Adc2Val = double(__cdecl *)(double, int32_t);
using AttVal2Cod = uint16_t(__cdecl *)(int32_t, double);
using AttCod2Val = double(__cdecl *)(int32_t, uint16_t);
using CheckAbs = int32_t(__stdcall *)(double, double, double, double *);
using CheckProc = int32_t(__cdecl *)(double, double, double, double, char *, char *);

constexpr int32_t kWarn = 0x3FFC0C04;

template <class Fn>
Fn resolve(HMODULE lib, const char *name) {
    FARPROC p = GetProcAddress(lib, name);
    if (p == nullptr) std::fprintf(stderr, "missing export %s\n", name);
    Fn fn = nullptr;
    static_assert(sizeof fn == sizeof p, "function pointer size");
    std::memcpy(&fn, &p, sizeof fn);
    return fn;
}

void conversions(HMODULE lib) {
    const auto d24 = resolve<D2C24>(lib, "ksptrl4Math_double2cod24");
    const auto d16 = resolve<D2C16>(lib, "ksptrl4Math_double2cod16");
    const auto f24 = resolve<F2C24>(lib, "ksptrl4Math_float2cod24");
    const auto f16 = resolve<F2C16>(lib, "ksptrl4Math_float2cod16");
    const auto d24x2 = resolve<D2C24x2>(lib, "ksptrl4Math_double2cod24_2chans");
    const auto d16x2 = resolve<D2C16x2>(lib, "ksptrl4Math_double2cod16_2chans");
    const auto f24x2 = resolve<F2C24x2>(lib, "ksptrl4Math_float2cod24_2chans");
    const auto f16x2 = resolve<F2C16x2>(lib, "ksptrl4Math_float2cod16_2chans");
    CHECK(d24 && d16 && f24 && f16 && d24x2 && d16x2 && f24x2 && f16x2);
    if (!(d24 && d16 && f24 && f16 && d24x2 && d16x2 && f24x2 && f16x2)) return;

    const double x[5] = {8.0, 9.0, 10.5, -10.5, std::numeric_limits<double>::quiet_NaN()};
    const float xf[5] = {8.0f, 9.0f, 10.5f, -10.5f, std::numeric_limits<float>::quiet_NaN()};
    int32_t c24[10] = {};
    int16_t c16[5] = {};
    CHECK(d24(5, 0.0, 1000000.0, x, 2, c24, 1, 0.0) == 0);
    CHECK(c24[0] == 8000000 && c24[1] == 0x007FFFFF);
    CHECK(d24(5, 0.0, 1000000.0, x, 5, c24, 2, 0.0) == kWarn);
    CHECK(c24[4] == 0x007FFFFF && c24[6] == 0x00800000 && c24[8] == 0 && c24[1] == 0x007FFFFF);
    CHECK(d24(1, 0.0, 1000000.0, x, 5, c24, 1, 0.0) == 0);
    CHECK(f24(5, 0.0, 1000000.0, xf, 5, c24, 1, 0.0) == kWarn);
    CHECK(c24[0] == 8000000 && c24[3] == 0x00800000 && c24[4] == 0);
    CHECK(d16(5, 0.0, 256.0, x, 5, c16, 1, 0.0) == 0);
    CHECK(c16[0] == 8 && c16[2] == 11 && c16[3] == -10);  // -10.5 + 0.5 truncates to -10
    CHECK(f16(5, 0.0, 1e6, xf, 5, c16, 1, 0.0) == kWarn);
    CHECK(c16[2] == 0x7FFF && c16[3] == -0x8000 && c16[4] == 0);

    const int32_t modes[2] = {5, 1};
    const double zeros[2] = {0.0, 1.0}, gains[2] = {1000.0, 10.0}, shifts[2] = {0.5, 0.0};
    const double three[3] = {1.0, 2.0, 3.0};
    const float threef[3] = {1.0f, 2.0f, 3.0f};
    CHECK(d24x2(modes, zeros, gains, three, 3, c24, 99, shifts) == 0);
    CHECK(c24[0] == 1500 && c24[1] == 10 && c24[2] == 3500);
    CHECK(f24x2(modes, zeros, gains, threef, 3, c24, 99, shifts) == 0);
    CHECK(c24[0] == 1500 && c24[1] == 10 && c24[2] == 3500);
    const double wide[2] = {-1e5, 1e5};
    const float widef[2] = {-1e5f, 1e5f};
    CHECK(d16x2(modes, zeros, gains, wide, 2, c16, 0, shifts) == kWarn);
    CHECK(c16[0] == -0x8000 && c16[1] == 3906);
    CHECK(f16x2(modes, zeros, gains, widef, 2, c16, 0, shifts) == kWarn);
    CHECK(static_cast<uint16_t>(c16[0]) == 0x8000u);
}

void values(HMODULE lib) {
    const auto c24 = resolve<Cod2Val>(lib, "ksptrl4Math_cod24_2val");
    const auto c16 = resolve<Cod2Val>(lib, "ksptrl4Math_cod16_2val");
    const auto adc = resolve<Adc2Val>(lib, "ksptrl4Math_ADCcod2val");
    const auto v2c = resolve<AttVal2Cod>(lib, "ksptrl4Math_attVal2cod");
    const auto c2v = resolve<AttCod2Val>(lib, "ksptrl4Math_attCod2val");
    CHECK(c24 && c16 && adc && v2c && c2v);
    if (!(c24 && c16 && adc && v2c && c2v)) return;
    CHECK(c24(1.5, 2.0, 4) == 3.5);
    CHECK(c24(0.0, 1.0, 0x00800000) == 0.0);
    CHECK(c24(0.0, 1.0, static_cast<int32_t>(0xFF800000u)) == -8388608.0);
    CHECK(c16(0.0, 256.0, 0x0000FFFF) == -1.0);
    CHECK(c16(0.0, 256.0, static_cast<int32_t>(0xFFFF8000u)) == -32768.0);
    CHECK(c16(0.0, 256.0, 0x00008000) == 0.0);
    CHECK_NEAR(adc(0.001, 0x1FFF), 8.191, 1e-12);
    CHECK_NEAR(adc(0.001, 0x2000), -8.192, 1e-12);
    CHECK_NEAR(adc(0.001, 0xC001), 0.001, 1e-15);
    CHECK(v2c(1000, 0.5) == 500);
    CHECK(v2c(1000, 0.9996) == 1000);
    CHECK(v2c(1000, -0.001) == 0);
    CHECK(v2c(1000, -0.002) == 1000);
    CHECK(v2c(1000, 1e12) == 1000);
    CHECK(c2v(1000, 500) == 0.5);
    CHECK_NEAR(c2v(1000, 65535), 65.535, 1e-12);
}

void checks(HMODULE lib) {
    const auto abs = resolve<CheckAbs>(lib, "ksptrl4_povCheckValueAbs");
    const auto proc = resolve<CheckProc>(lib, "ksptrl4_povCheckValueProc");
    CHECK(abs && proc);
    if (!(abs && proc)) return;
    double d = -1.0;
    // Several calls in a row: a callee that did not clean its 28 bytes would unbalance the
    // stack and the values below would come out wrong.
    CHECK(abs(1.0, 1.1, 0.1, &d) == 0);
    CHECK_NEAR(d, 0.1, 1e-12);
    CHECK(abs(1.0, 1.100001, 0.1, nullptr) == 1);
    CHECK(abs(1.0, 1.1000004, 0.1, nullptr) == 0);
    CHECK(abs(1.00000004, 1.0, 0.0, &d) == 0);
    CHECK(d == 0.0);
    char tol[11], dev[11];
    CHECK(proc(10, 10, 10.05, 1.0, tol, dev) == 0);
    CHECK_EQ_STR(tol, "   1.0");
    CHECK_EQ_STR(dev, "    0.5");
    CHECK(proc(10, 10, 9.95, 1.0, tol, dev) == 0);
    CHECK_EQ_STR(dev, "  -0.5");
    CHECK(proc(100, 100, 100.0004, 0.00002, tol, dev) == 1);
    CHECK_EQ_STR(tol, "2.0e-05");
    CHECK_EQ_STR(dev, " 0.00040");
    CHECK(proc(0, 10, 9.5, 1.0, tol, dev) == 1);
    CHECK_EQ_STR(dev, "> -100.0");
    CHECK(proc(10, 10, 9.85, 1.0, nullptr, nullptr) == 1);

    // A comma-decimal locale changes neither the verdict nor the texts.
    const trl4::test::CommaLocale locale;
    CHECK(locale.active || !trl4::test::CommaLocale::required());
    CHECK(proc(10, 10, 10.012, 0.5, tol, dev) == 0);
    CHECK_EQ_STR(tol, "  0.50");
}

void version() {
    char path[MAX_PATH];
    DWORD handle = 0;
    const DWORD n = GetModuleFileNameA(GetModuleHandleA("ksptrl4_math.dll"), path, sizeof path);
    CHECK(n > 0 && n < sizeof path);
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    CHECK(size > 0);
    if (size == 0) return;
    static char data[8192];
    CHECK(size <= sizeof data);
    if (size > sizeof data) return;
    CHECK(GetFileVersionInfoA(path, 0, size, data) != 0);
    struct Translation {
        WORD language;
        WORD codePage;
    } *tr = nullptr;
    UINT len = 0;
    CHECK(VerQueryValueA(data, "\\VarFileInfo\\Translation", reinterpret_cast<void **>(&tr),
                         &len) != 0);
    CHECK(tr != nullptr && len >= sizeof(Translation));
    if (tr == nullptr) return;
    CHECK(tr->language == 0x0409 && tr->codePage == 0x04B0);
    char query[64];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\FileVersion", tr->language,
                  tr->codePage);
    char *text = nullptr;
    CHECK(VerQueryValueA(data, query, reinterpret_cast<void **>(&text), &len) != 0);
    CHECK(text != nullptr);
    if (text != nullptr) CHECK_EQ_STR(text, "1.0");
}

}  // namespace

int main() {
    HMODULE lib = LoadLibraryA("ksptrl4_math.dll");
    CHECK(lib != nullptr);
    if (lib == nullptr) return check::finish();
    conversions(lib);
    values(lib);
    checks(lib);
    version();
    CHECK(FreeLibrary(lib) != 0);
    return check::finish();
}
