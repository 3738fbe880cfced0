/* The generator's math library: sample-to-code and code-to-value conversions and the
 * verification point checks. Every export is a pure function of its arguments. */
#ifndef KSPTRL4_MATH_H
#define KSPTRL4_MATH_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define KSPTRL4_CDECL __cdecl
#define KSPTRL4_STDCALL __stdcall
#else
#define KSPTRL4_CDECL
#define KSPTRL4_STDCALL
#endif

#if defined(KSPTRL4_MATH_BUILD) && !defined(_WIN32)
#define KSPTRL4_API __attribute__((visibility("default")))
#else
#define KSPTRL4_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Returned by the sample-to-code conversions when a sample beyond +-10.0 was clipped on a
 * channel in mode 5. A warning: every code is written all the same. */
#define KSPTRL4_MATH_RANGE_WARNING 0x3FFC0C04

#define KSPTRL4_MATH_WARNING_MODE 5

/* One channel; the code of sample i goes to codes[i * step]. */
KSPTRL4_API int32_t KSPTRL4_CDECL ksptrl4Math_double2cod24(int32_t mode, double zero, double gain,
                                                           const double *samples, int32_t count,
                                                           int32_t *codes, int32_t step,
                                                           double shift);
KSPTRL4_API int32_t KSPTRL4_CDECL ksptrl4Math_double2cod16(int32_t mode, double zero, double gain,
                                                           const double *samples, int32_t count,
                                                           int16_t *codes, int32_t step,
                                                           double shift);
KSPTRL4_API int32_t KSPTRL4_CDECL ksptrl4Math_float2cod24(int32_t mode, double zero, double gain,
                                                          const float *samples, int32_t count,
                                                          int32_t *codes, int32_t step,
                                                          double shift);
KSPTRL4_API int32_t KSPTRL4_CDECL ksptrl4Math_float2cod16(int32_t mode, double zero, double gain,
                                                          const float *samples, int32_t count,
                                                          int16_t *codes, int32_t step,
                                                          double shift);

/* Two interleaved channels (channel 1 first), codes written contiguously; each parameter
 * pointer addresses two entries. The seventh argument is ignored. */
KSPTRL4_API int32_t KSPTRL4_CDECL ksptrl4Math_double2cod24_2chans(
    const int32_t *chanModes, const double *chanZeros, const double *chanGains,
    const double *samples, int32_t count, int32_t *codes, int32_t unused, const double *chanShifts);
KSPTRL4_API int32_t KSPTRL4_CDECL ksptrl4Math_double2cod16_2chans(
    const int32_t *chanModes, const double *chanZeros, const double *chanGains,
    const double *samples, int32_t count, int16_t *codes, int32_t unused, const double *chanShifts);
KSPTRL4_API int32_t KSPTRL4_CDECL ksptrl4Math_float2cod24_2chans(
    const int32_t *chanModes, const double *chanZeros, const double *chanGains,
    const float *samples, int32_t count, int32_t *codes, int32_t unused, const double *chanShifts);
KSPTRL4_API int32_t KSPTRL4_CDECL ksptrl4Math_float2cod16_2chans(
    const int32_t *chanModes, const double *chanZeros, const double *chanGains,
    const float *samples, int32_t count, int16_t *codes, int32_t unused, const double *chanShifts);

KSPTRL4_API double KSPTRL4_CDECL ksptrl4Math_cod24_2val(double zero, double gain, int32_t code);
KSPTRL4_API double KSPTRL4_CDECL ksptrl4Math_cod16_2val(double zero, double gain, int32_t code);
KSPTRL4_API double KSPTRL4_CDECL ksptrl4Math_ADCcod2val(double scale, int32_t code);
KSPTRL4_API uint16_t KSPTRL4_CDECL ksptrl4Math_attVal2cod(int32_t fullScale, double value);
KSPTRL4_API double KSPTRL4_CDECL ksptrl4Math_attCod2val(int32_t fullScale, uint16_t code);

/* 1 when |nominal - measured| (each rounded to seven significant digits) exceeds the
 * tolerance; the deviation is stored when the pointer is not null. */
KSPTRL4_API int32_t KSPTRL4_STDCALL ksptrl4_povCheckValueAbs(double nominal, double measured,
                                                             double tolerance, double *deviation);

/* 1 when the deviation in percent of scale exceeds the tolerance (percent). Each text
 * pointer, when not null, needs room for 11 bytes. */
KSPTRL4_API int32_t KSPTRL4_CDECL ksptrl4_povCheckValueProc(double scale, double nominal,
                                                            double measured, double tolerance,
                                                            char *toleranceText,
                                                            char *deviationText);

#ifdef __cplusplus
}
#endif

#endif
