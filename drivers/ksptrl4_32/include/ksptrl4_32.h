/* Driver of the two-channel generator mezzanine. Every operation returns a status: 0 success,
 * negative error, positive warning. Channel 0 addresses both outputs, 1 and 2 one each. */
#ifndef TRL4_KSPTRL4_32_H
#define TRL4_KSPTRL4_32_H

#include <stdint.h>

#include "visa.h"

#ifdef __cplusplus
extern "C" {
#endif

#define KSPTRL4_TEXT_LEN 256 /* every text out-argument holds this many bytes */
#define KSPTRL4_COEFF_COUNT 6

/* ksptrl4_get_attribute: the out pointer receives the attribute's value.
 * COEFF_BLOCK: a double* to the session's six calibration doubles (valid until close);
 * OFFSET_CH1/OFFSET_CH2: a double, the measured output offset in volts. */
#define KSPTRL4_ATTR_COEFF_BLOCK 0x3FFF0902U
#define KSPTRL4_ATTR_OFFSET_CH1 0x3FFF0913U
#define KSPTRL4_ATTR_OFFSET_CH2 0x3FFF0914U

/* The EEPROM holds no record yet: the driver's defaults are in use. Harmless. */
#define KSPTRL4_WARN_EEPROM_DEFAULTS ((int32_t)0x3FFC0C05L)
/* ksptrl4_write_form: a sample beyond +-10 V on a channel in mode 5 was clipped; the whole
 * form is loaded all the same (the math library's range warning, passed on). */
#define KSPTRL4_WARN_FORM_CLIPPED ((int32_t)0x3FFC0C04L)

#define KSPTRL4_ERROR_SESSION ((int32_t)0xBFFC0C01UL)       /* no such session */
#define KSPTRL4_ERROR_PARAMETER ((int32_t)0xBFFC0C02UL)     /* bad argument or null pointer */
#define KSPTRL4_ERROR_NOT_CONNECTED ((int32_t)0xBFFC0C03UL) /* session not connected */
#define KSPTRL4_ERROR_NO_MEZZANINE ((int32_t)0xBFFC0C04UL)  /* no generator at that position */
#define KSPTRL4_ERROR_EEPROM ((int32_t)0xBFFC0C06UL)        /* EEPROM cannot be read/written */
#define KSPTRL4_ERROR_MEMORY ((int32_t)0xBFFC0C07UL)        /* waveform memory exceeded */
#define KSPTRL4_ERROR_ATTRIBUTE ((int32_t)0xBFFC0C08UL)     /* unknown attribute */
#define KSPTRL4_ERROR_SELF_TEST ((int32_t)0xBFFC0C09UL)     /* self-test found a fault */
#define KSPTRL4_ERROR_NOT_SUPPORTED ((int32_t)0xBFFC0C0AUL) /* operation not available */
#define KSPTRL4_ERROR_CHANNEL ((int32_t)0xBFFC0C0BUL)       /* channel not 0-2 (1-2 where one) */
#define KSPTRL4_ERROR_RANGE ((int32_t)0xBFFC0C0CUL)         /* range not above 0 V and up to 10 V */
#define KSPTRL4_ERROR_FREQUENCY ((int32_t)0xBFFC0C0DUL)     /* sine not 0.001 Hz to 10 MHz */
#define KSPTRL4_ERROR_SAMPLE_RATE ((int32_t)0xBFFC0C0EUL)   /* not 1 Hz to 100 MHz, or clock */
#define KSPTRL4_ERROR_MODE ((int32_t)0xBFFC0C0FUL)          /* source or repetition mode */
#define KSPTRL4_ERROR_VALUE ((int32_t)0xBFFC0C10UL)         /* scale, ramp or repetition value */
#define KSPTRL4_ERROR_NOT_CONFIGURED ((int32_t)0xBFFC0C11UL) /* start before ksptrl4_config */
#define KSPTRL4_ERROR_SEGMENT ((int32_t)0xBFFC0C12UL)        /* no such segment (only 0 exists) */
#define KSPTRL4_ERROR_MATH_LIBRARY ((int32_t)0xBFFC0C13UL)   /* ksptrl4_math cannot be loaded */
#define KSPTRL4_ERROR_COEFFICIENTS ((int32_t)0xBFFC0C14UL)   /* calibration block unusable */

int32_t _VI_FUNC ksptrl4_init(const char *rsrcName, uint16_t idQuery, uint16_t reset,
                              uint32_t *session);
int32_t _VI_FUNC ksptrl4_connect(uint32_t session, uint32_t carrierSession, uint16_t position,
                                 uint16_t idQuery, uint16_t reset);
int32_t _VI_FUNC ksptrl4_alloc(uint32_t session, uint32_t size);
int32_t _VI_FUNC ksptrl4_displacement(uint32_t session);
int32_t _VI_FUNC ksptrl4_get_attribute(uint32_t session, uint32_t attribute, void *value);
int32_t _VI_FUNC ksptrl4_close(uint32_t session);
int32_t _VI_FUNC ksptrl4_revision_query(uint32_t session, char *driverRev, char *instrRev);
int32_t _VI_FUNC ksptrl4_error_message(uint32_t session, int32_t status, char *text);
int32_t _VI_FUNC ksptrl4_self_test(uint32_t session, int16_t *result, char *message);
int32_t _VI_FUNC ksptrl4_reset(uint32_t session);
int32_t _VI_FUNC ksptrl4_readFlash(uint32_t session);
int32_t _VI_FUNC ksptrl4_writeFlash(uint32_t session);
int32_t _VI_FUNC ksptrl4_resetCoeff(uint32_t session);

/* Generator settings and waveform memory. Settings are kept by the set calls and take effect
 * at ksptrl4_config; ksptrl4_start needs a config since connect or reset.
 * Source modes: 0 output off, 1 sine source, 5 the form written to waveform memory.
 * Limits: range above 0 V up to 10 V (peak); amplitude scale 0-1; ramp rate 0-1e6 V/s;
 * sine 0.001 Hz to 10 MHz; repetition mode 0-8 with a value of 0-100; sample rate 1 Hz to
 * 100 MHz from clock source 0 (internal). The sine source is a 40-bit phase accumulator at a
 * 100 MHz reference: it makes word * 100 MHz / 2^40, word = round(f * 2^40 / (100 MHz * k5)),
 * k5 being element 5 of the calibration block (true reference / nominal). Element 1 and 2 are
 * the DAC codes of 10 V on channel 1 and 2. Waveform memory: segment 0 only, its length in
 * samples per channel, 4 bytes a sample and both channels within ksptrl4_alloc's size.
 * ksptrl4_write_form converts the samples (volts) through ksptrl4_math loaded at run time;
 * channel 0 takes them interleaved, channel 1 first; append 0 replaces the channel's form,
 * 1 appends to it. ksptrl4_GetRepetParams index 0: the sine frequency set up (Hz); index 1:
 * the repetition value; mode receives the repetition mode, extra the requested frequency. */
int32_t _VI_FUNC ksptrl4_setSourceMode(uint32_t session, int32_t channel, int32_t mode);
int32_t _VI_FUNC ksptrl4_setRange(uint32_t session, int32_t channel, double range);
int32_t _VI_FUNC ksptrl4_setAmpScale(uint32_t session, int32_t channel, double scale);
int32_t _VI_FUNC ksptrl4_setRampRate(uint32_t session, int32_t channel, double rate);
int32_t _VI_FUNC ksptrl4_setSineFreq(uint32_t session, int32_t channel, double frequency);
int32_t _VI_FUNC ksptrl4_setRepetParams(uint32_t session, int32_t channel, int32_t mode,
                                        double value);
/* value receives the parameter; mode and extra may be null. */
int32_t _VI_FUNC ksptrl4_GetRepetParams(uint32_t session, int32_t channel, int32_t index,
                                        double *value, int32_t *mode, double *extra);
int32_t _VI_FUNC ksptrl4_setSampleRate(uint32_t session, double rate, int32_t clockSource);
int32_t _VI_FUNC ksptrl4_config(uint32_t session, int32_t what, int32_t option);
int32_t _VI_FUNC ksptrl4_config_segment(uint32_t session, int32_t segment, int32_t option,
                                        uint32_t length);
int32_t _VI_FUNC ksptrl4_write_form(uint32_t session, int32_t channel, uint32_t count,
                                    const double *samples, int32_t append);
int32_t _VI_FUNC ksptrl4_reset_form(uint32_t session, int32_t segment);
int32_t _VI_FUNC ksptrl4_start(uint32_t session);
int32_t _VI_FUNC ksptrl4_stop(uint32_t session);

#ifdef __cplusplus
}
#endif

#endif
