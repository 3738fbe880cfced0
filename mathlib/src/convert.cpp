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

// The vector instruction, unlike a C++ conversion, is defined for every input: a NaN or a
// value beyond the int32 range gives 0x80000000. Lanes whose result lies outside the
// in-range codes (clips, NaN, overflow) are flagged, and so, where the warning matters, are
// 16-bit lanes at full scale (saturation hides a high clip there); a flagged group is
// redone sample by sample with the comparisons in double. Clipping is rare in a waveform, so the
// common path stays short: each sample is read once and each code written once, and a group
// keeps one running extreme of its codes, tested once at its end.
//
// Converts samples [0, count rounded down to a whole group) contiguously; returns how many it
// did.
// Channel lanes alternate (even samples chan[0], odd chan[1]).
template <bool Is16, bool CheckHigh, class Sample>
KSPTRL4_AVX2 std::ptrdiff_t convert_avx2(const Sample *samples, std::ptrdiff_t count,
                                         typename Width<Is16>::Code *codes, const Channel *chan,
                                         bool two, bool &warned) {
    const Channel &c0 = chan[0];
    const Channel &c1 = two ? chan[1] : chan[0];
    const Lanes l{_mm256_setr_pd(c0.base, c1.base, c0.base, c1.base),
                  _mm256_setr_pd(c0.gain, c1.gain, c0.gain, c1.gain)};
    // A group's vectors are written out (unrolled): kept as a loop of four, 16-bit codes from
    // floats ran a quarter slower out of cache.
    constexpr std::ptrdiff_t kGroup = 32;
    const std::ptrdiff_t whole = count - count % kGroup;
    for (std::ptrdiff_t i = 0; i < whole; i += kGroup) {
        bool flagged;
        if constexpr (Is16) {
            // Saturation gives the clip codes; NaN and overflow give -32768 and are flagged
            // with the low clips. With the high end checked too, n + 1 wraps 0x7FFF to
            // -32768 and takes -32768 to -32767: the group's least n + 1 finds both ends.
            __m128i least = _mm_set1_epi16(0x7FFF);
#pragma GCC unroll 4
            for (std::ptrdiff_t j = i; j < i + kGroup; j += 8) {
                const __m128i a = _mm256_cvttpd_epi32(rounded4<Is16>(load4(samples + j), l));
                const __m128i b = _mm256_cvttpd_epi32(rounded4<Is16>(load4(samples + j + 4), l));
                const __m128i n = _mm_packs_epi32(a, b);
                _mm_storeu_si128(reinterpret_cast<__m128i *>(codes + j), n);
                least = _mm_min_epi16(least, CheckHigh ? _mm_add_epi16(n, _mm_set1_epi16(1)) : n);
            }
            const __m128i bad = CheckHigh ? _mm_cmpgt_epi16(_mm_set1_epi16(-0x7FFE), least)
                                          : _mm_cmpeq_epi16(least, _mm_set1_epi16(-0x8000));
            flagged = _mm_testz_si128(bad, bad) == 0;
        } else {
            // Beyond the in-range codes: a clip of either sign (truncation of v >= 8388608
            // gives at least 8388608 or, past int32, 0x80000000), or NaN. |n| as unsigned is
            // above 0x7FFFFF for all of them (|0x80000000| stays 0x80000000).
            __m256i largest = _mm256_setzero_si256();
#pragma GCC unroll 4
            for (std::ptrdiff_t j = i; j < i + kGroup; j += 8) {
                const __m128i a = _mm256_cvttpd_epi32(rounded4<Is16>(load4(samples + j), l));
                const __m128i b = _mm256_cvttpd_epi32(rounded4<Is16>(load4(samples + j + 4), l));
                const __m256i n = _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
                _mm256_storeu_si256(reinterpret_cast<__m256i *>(codes + j), n);
                largest = _mm256_max_epu32(largest, _mm256_abs_epi32(n));
            }
            flagged = _mm256_testz_si256(largest, _mm256_set1_epi32(~0x7FFFFF)) == 0;
        }
        if (flagged) {
            for (std::ptrdiff_t k = i; k < i + kGroup; ++k) {
                const int32_t code =
                    code_of<Is16>(static_cast<double>(samples[k]), two ? chan[k & 1] : c0, warned);
                codes[k] = static_cast<typename Width<Is16>::Code>(code);
            }
        }
    }
    return whole;
}

// One channel of an interleaved 24-bit buffer: a masked store writes the even elements
// only, so the other channel's codes are never read or rewritten (another thread may be
// filling them). 16-bit codes have no such store and are spread one by one.
template <class Code>
KSPTRL4_AVX2 void spread_every_other(const Code *block, std::ptrdiff_t n, Code *out) {
    if constexpr (sizeof(Code) == 4) {
        const __m256i pairs = _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3);
        const __m256i even = _mm256_setr_epi32(-1, 0, -1, 0, -1, 0, -1, 0);
        for (std::ptrdiff_t k = 0; k < n; k += 4) {
            const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block + k));
            const __m256i spread = _mm256_permutevar8x32_epi32(_mm256_castsi128_si256(four), pairs);
            _mm256_maskstore_epi32(reinterpret_cast<int *>(out + 2 * k), even, spread);
        }
    } else {
        for (std::ptrdiff_t k = 0; k < n; ++k)
            out[2 * k] = block[k];
    }
}

bool have_avx2() {
    static const bool yes = [] {
        __builtin_cpu_init();  // independent of the order of load-time constructors
        return __builtin_cpu_supports("avx2") != 0;
    }();
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
    if (have_avx2()) {
        const bool checkHigh = chan[0].warn || (two && chan[1].warn);
        const auto kernel =
            checkHigh ? convert_avx2<Is16, true, Sample> : convert_avx2<Is16, false, Sample>;
        if (step == 1) {
            done = kernel(samples, count, codes, chan, two, warned);
        } else {
            // Strided output: convert a block contiguously on the stack, then spread it.
            constexpr std::ptrdiff_t kBlock = 256;
            typename Width<Is16>::Code block[kBlock];
            for (; count - done >= kBlock; done += kBlock) {
                kernel(samples + done, kBlock, block, chan, two, warned);
                if (!Is16 && step == 2)
                    spread_every_other(block, kBlock, codes + done * 2);
                else
                    for (std::ptrdiff_t k = 0; k < kBlock; ++k)
                        codes[(done + k) * step] = block[k];
            }
        }
    }
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
