// Sample-to-code and code-to-value conversions.
//
// Every decision about clipping is taken by comparing doubles, never by converting an
// out-of-range double to an integer: truncation gives n > 8388607 exactly when
// v >= 8388608.0 and n < -8388607 exactly when v <= -8388608.0 (likewise at 32768 for
// 16-bit codes), and a NaN fails every comparison.
#include "ksptrl4_math.h"

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KSPTRL4_VECTOR 1
#include <immintrin.h>
#endif

namespace {

constexpr double kHalf = 0.5;
constexpr double kFactor16 = 0.00390625;
constexpr double kWarnHigh = 10.0;
constexpr double kWarnLow = -10.0;

struct Channel {
    double base;
    double gain;
    bool warn;
};

template <bool Is16>
struct Width;

template <>
struct Width<false> {
    using Code = int32_t;
    static constexpr double kHighBound = 8388608.0;  // v at or above clips high
    static constexpr double kLowBound = -8388608.0;  // v at or below clips low
    static constexpr int32_t kHighCode = 0x007FFFFF;
    static constexpr int32_t kLowCode = 0x00800000;
};

template <>
struct Width<true> {
    using Code = int16_t;
    static constexpr double kHighBound = 32768.0;
    static constexpr double kLowBound = -32768.0;
    static constexpr int32_t kHighCode = 0x7FFF;
    static constexpr int32_t kLowCode = -0x8000;
};

template <bool Is16>
inline double rounded(double x, const Channel &c) {
    double v = (x - c.base) * c.gain;
    if constexpr (Is16) v = v * kFactor16;
    return v + kHalf;
}

// The code of one sample; sets `warned` on a clip beyond +-10.0 on a warning channel.
template <bool Is16>
inline int32_t code_of(double x, const Channel &c, bool &warned) {
    using W = Width<Is16>;
    const double v = rounded<Is16>(x, c);
    if (v >= W::kHighBound) {
        if (c.warn && x > kWarnHigh) warned = true;
        return W::kHighCode;
    }
    if (v <= W::kLowBound) {
        if (c.warn && x < kWarnLow) warned = true;
        return W::kLowCode;
    }
    if (v != v) return 0;  // NaN
    return static_cast<int32_t>(v);
}

template <bool Is16, class Sample>
void convert_scalar(const Sample *samples, std::ptrdiff_t begin, std::ptrdiff_t end,
                    typename Width<Is16>::Code *codes, std::ptrdiff_t step, const Channel *chan,
                    bool two, bool &warned) {
    for (std::ptrdiff_t i = begin; i < end; ++i) {
        const Channel &c = chan[two ? (i & 1) : 0];
        const int32_t code = code_of<Is16>(static_cast<double>(samples[i]), c, warned);
        codes[i * step] = static_cast<typename Width<Is16>::Code>(code);
    }
}

#ifdef KSPTRL4_VECTOR
#define KSPTRL4_AVX2 __attribute__((target("avx2")))

KSPTRL4_AVX2 inline __m256d load4(const double *p) {
    return _mm256_loadu_pd(p);
}
KSPTRL4_AVX2 inline __m256d load4(const float *p) {
    return _mm256_cvtps_pd(_mm_loadu_ps(p));
}

struct Lanes {
    __m256d base;
    __m256d gain;
};

template <bool Is16>
KSPTRL4_AVX2 inline __m256d rounded4(__m256d x, const Lanes &l) {
    __m256d v = _mm256_mul_pd(_mm256_sub_pd(x, l.base), l.gain);
    if constexpr (Is16) v = _mm256_mul_pd(v, _mm256_set1_pd(kFactor16));
    return _mm256_add_pd(v, _mm256_set1_pd(kHalf));
}

// Clamped in double so that the conversion only ever sees in-range values or NaN; a NaN
// passes min/max unchanged (they return their second operand) and the instruction turns
// it into 0x80000000, its defined "indefinite" result, which is then mapped below.
template <bool Is16>
KSPTRL4_AVX2 inline __m128i codes4(__m256d v) {
    using W = Width<Is16>;
    __m256d w = _mm256_min_pd(_mm256_set1_pd(W::kHighBound - 0.5), v);
    w = _mm256_max_pd(_mm256_set1_pd(W::kLowBound), w);
    const __m128i n = _mm256_cvttpd_epi32(w);
    if constexpr (Is16) {
        // Only a NaN gives a value below -32768.
        const __m128i bad = _mm_cmpgt_epi32(_mm_set1_epi32(W::kLowCode), n);
        return _mm_andnot_si128(bad, n);
    } else {
        // Below -8388607 are the low clip (-8388608) and NaN (INT32_MIN): keeping the low
        // 24 bits gives 0x00800000 and 0.
        const __m128i low = _mm_cmpgt_epi32(_mm_set1_epi32(-0x7FFFFF), n);
        return _mm_andnot_si128(_mm_and_si128(low, _mm_set1_epi32(-0x1000000)), n);
    }
}

template <bool Is16>
KSPTRL4_AVX2 inline __m256d clipped4(__m256d v) {
    const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), v);
    return _mm256_cmp_pd(magnitude, _mm256_set1_pd(Width<Is16>::kHighBound), _CMP_GE_OQ);
}

// Converts samples [0, count rounded down to 8) contiguously; returns how many it did.
// Channel lanes alternate (even samples chan[0], odd chan[1]).
template <bool Is16, class Sample>
KSPTRL4_AVX2 std::ptrdiff_t convert_avx2(const Sample *samples, std::ptrdiff_t count,
                                         typename Width<Is16>::Code *codes, const Channel *chan,
                                         bool two, bool &warned) {
    const Channel &c0 = chan[0];
    const Channel &c1 = two ? chan[1] : chan[0];
    const Lanes l{_mm256_setr_pd(c0.base, c1.base, c0.base, c1.base),
                  _mm256_setr_pd(c0.gain, c1.gain, c0.gain, c1.gain)};
    const bool anyWarn = c0.warn || c1.warn;
    const std::ptrdiff_t n8 = count & ~static_cast<std::ptrdiff_t>(7);
    for (std::ptrdiff_t i = 0; i < n8; i += 8) {
        const __m256d va = rounded4<Is16>(load4(samples + i), l);
        const __m256d vb = rounded4<Is16>(load4(samples + i + 4), l);
        const __m128i a = codes4<Is16>(va);
        const __m128i b = codes4<Is16>(vb);
        if constexpr (Is16) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(codes + i), _mm_packs_epi32(a, b));
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(codes + i), a);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(codes + i + 4), b);
        }
        // Clipping is rare: the warning's finer test runs only on a group that clipped.
        if (anyWarn && !warned) {
            const __m256d clip = _mm256_or_pd(clipped4<Is16>(va), clipped4<Is16>(vb));
            if (_mm256_movemask_pd(clip) != 0) {
                for (std::ptrdiff_t k = i; k < i + 8; ++k)
                    (void)code_of<Is16>(static_cast<double>(samples[k]), two ? chan[k & 1] : c0,
                                        warned);
            }
        }
    }
    return n8;
}

bool have_avx2() {
    static const bool yes = __builtin_cpu_supports("avx2") != 0;
    return yes;
}
#endif

template <bool Is16, class Sample>
int32_t convert(const Sample *samples, int32_t count, typename Width<Is16>::Code *codes,
                int32_t step, const Channel *chan, bool two) {
    if (count <= 0) return 0;
    bool warned = false;
    std::ptrdiff_t done = 0;
#ifdef KSPTRL4_VECTOR
    if (step == 1 && have_avx2())
        done = convert_avx2<Is16>(samples, count, codes, chan, two, warned);
#endif
    convert_scalar<Is16>(samples, done, count, codes, step, chan, two, warned);
    return warned ? KSPTRL4_MATH_RANGE_WARNING : 0;
}

template <bool Is16, class Sample>
int32_t one_channel(int32_t mode, double zero, double gain, const Sample *samples, int32_t count,
                    typename Width<Is16>::Code *codes, int32_t step, double shift) {
    if (count <= 0) return 0;
    const Channel chan{zero - shift, gain, mode == KSPTRL4_MATH_WARNING_MODE};
    return convert<Is16>(samples, count, codes, step, &chan, false);
}

template <bool Is16, class Sample>
int32_t two_channels(const int32_t *modes, const double *zeros, const double *gains,
                     const Sample *samples, int32_t count, typename Width<Is16>::Code *codes,
                     const double *shifts) {
    if (count <= 0) return 0;
    const Channel chan[2] = {
        {zeros[0] - shifts[0], gains[0], modes[0] == KSPTRL4_MATH_WARNING_MODE},
        {zeros[1] - shifts[1], gains[1], modes[1] == KSPTRL4_MATH_WARNING_MODE},
    };
    return convert<Is16>(samples, count, codes, 1, chan, true);
}

// The 24-bit pattern in w as a signed number; the negative clip code reads as 0.
double value24(uint32_t w, double zero, double gain) {
    if (w == 0x00800000u) w = 0;
    if ((w & 0x00800000u) != 0) w |= 0xFF000000u;
    return static_cast<double>(static_cast<int32_t>(w)) / gain + zero;
}

}  // namespace

extern "C" {

int32_t KSPTRL4_CDECL ksptrl4Math_double2cod24(int32_t mode, double zero, double gain,
                                               const double *samples, int32_t count, int32_t *codes,
                                               int32_t step, double shift) {
    return one_channel<false>(mode, zero, gain, samples, count, codes, step, shift);
}

int32_t KSPTRL4_CDECL ksptrl4Math_double2cod16(int32_t mode, double zero, double gain,
                                               const double *samples, int32_t count, int16_t *codes,
                                               int32_t step, double shift) {
    return one_channel<true>(mode, zero, gain, samples, count, codes, step, shift);
}

int32_t KSPTRL4_CDECL ksptrl4Math_float2cod24(int32_t mode, double zero, double gain,
                                              const float *samples, int32_t count, int32_t *codes,
                                              int32_t step, double shift) {
    return one_channel<false>(mode, zero, gain, samples, count, codes, step, shift);
}

int32_t KSPTRL4_CDECL ksptrl4Math_float2cod16(int32_t mode, double zero, double gain,
                                              const float *samples, int32_t count, int16_t *codes,
                                              int32_t step, double shift) {
    return one_channel<true>(mode, zero, gain, samples, count, codes, step, shift);
}

int32_t KSPTRL4_CDECL ksptrl4Math_double2cod24_2chans(
    const int32_t *chanModes, const double *chanZeros, const double *chanGains,
    const double *samples, int32_t count, int32_t *codes, int32_t, const double *chanShifts) {
    return two_channels<false>(chanModes, chanZeros, chanGains, samples, count, codes, chanShifts);
}

int32_t KSPTRL4_CDECL ksptrl4Math_double2cod16_2chans(
    const int32_t *chanModes, const double *chanZeros, const double *chanGains,
    const double *samples, int32_t count, int16_t *codes, int32_t, const double *chanShifts) {
    return two_channels<true>(chanModes, chanZeros, chanGains, samples, count, codes, chanShifts);
}

int32_t KSPTRL4_CDECL ksptrl4Math_float2cod24_2chans(const int32_t *chanModes,
                                                     const double *chanZeros,
                                                     const double *chanGains, const float *samples,
                                                     int32_t count, int32_t *codes, int32_t,
                                                     const double *chanShifts) {
    return two_channels<false>(chanModes, chanZeros, chanGains, samples, count, codes, chanShifts);
}

int32_t KSPTRL4_CDECL ksptrl4Math_float2cod16_2chans(const int32_t *chanModes,
                                                     const double *chanZeros,
                                                     const double *chanGains, const float *samples,
                                                     int32_t count, int16_t *codes, int32_t,
                                                     const double *chanShifts) {
    return two_channels<true>(chanModes, chanZeros, chanGains, samples, count, codes, chanShifts);
}

double KSPTRL4_CDECL ksptrl4Math_cod24_2val(double zero, double gain, int32_t code) {
    return value24(static_cast<uint32_t>(code), zero, gain);
}

double KSPTRL4_CDECL ksptrl4Math_cod16_2val(double zero, double gain, int32_t code) {
    return value24(static_cast<uint32_t>(code) << 8, zero, gain);
}

double KSPTRL4_CDECL ksptrl4Math_ADCcod2val(double scale, int32_t code) {
    uint32_t a = static_cast<uint32_t>(code) & 0x3FFFu;
    if ((a & 0x2000u) != 0) a |= 0xFFFFC000u;
    return static_cast<double>(static_cast<int32_t>(a)) * scale;
}

uint16_t KSPTRL4_CDECL ksptrl4Math_attVal2cod(int32_t fullScale, double value) {
    const uint32_t limit = static_cast<uint32_t>(fullScale);
    const double x = static_cast<double>(fullScale) * value + kHalf;
    // Beyond the 32-bit range (and NaN) the truncated product would be meaningless; it
    // counts as too large, as a negative product does.
    if (!(x > -2147483649.0 && x < 2147483648.0)) return static_cast<uint16_t>(limit);
    const uint32_t p = static_cast<uint32_t>(static_cast<int32_t>(x));
    return static_cast<uint16_t>(p > limit ? limit : p);
}

double KSPTRL4_CDECL ksptrl4Math_attCod2val(int32_t fullScale, uint16_t code) {
    return static_cast<double>(code) / static_cast<double>(fullScale);
}

}  // extern "C"
