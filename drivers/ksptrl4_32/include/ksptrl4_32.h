/* Driver of the two-channel generator mezzanine. Every operation returns a status: 0 success,
 * negative error, positive warning. Channel 0 addresses both outputs, 1 and 2 one each. */
#ifndef TRL4_KSPTRL4_32_H
#define TRL4_KSPTRL4_32_H

#include <stdint.h>

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

#define KSPTRL4_ERROR_SESSION ((int32_t)0xBFFC0C01UL)       /* no such session */
#define KSPTRL4_ERROR_PARAMETER ((int32_t)0xBFFC0C02UL)     /* bad argument or null pointer */
#define KSPTRL4_ERROR_NOT_CONNECTED ((int32_t)0xBFFC0C03UL) /* session not connected */
#define KSPTRL4_ERROR_NO_MEZZANINE ((int32_t)0xBFFC0C04UL)  /* no generator at that position */
#define KSPTRL4_ERROR_EEPROM ((int32_t)0xBFFC0C06UL)        /* EEPROM cannot be read/written */
#define KSPTRL4_ERROR_MEMORY ((int32_t)0xBFFC0C07UL)        /* waveform memory exceeded */
#define KSPTRL4_ERROR_ATTRIBUTE ((int32_t)0xBFFC0C08UL)     /* unknown attribute */
#define KSPTRL4_ERROR_SELF_TEST ((int32_t)0xBFFC0C09UL)     /* self-test found a fault */
#define KSPTRL4_ERROR_NOT_SUPPORTED ((int32_t)0xBFFC0C0AUL) /* operation not available */

int32_t ksptrl4_init(const char *rsrcName, uint16_t idQuery, uint16_t reset, uint32_t *session);
int32_t ksptrl4_connect(uint32_t session, uint32_t carrierSession, uint16_t position,
                        uint16_t idQuery, uint16_t reset);
int32_t ksptrl4_alloc(uint32_t session, uint32_t size);
int32_t ksptrl4_displacement(uint32_t session);
int32_t ksptrl4_get_attribute(uint32_t session, uint32_t attribute, void *value);
int32_t ksptrl4_close(uint32_t session);
int32_t ksptrl4_revision_query(uint32_t session, char *driverRev, char *instrRev);
int32_t ksptrl4_error_message(uint32_t session, int32_t status, char *text);
int32_t ksptrl4_self_test(uint32_t session, int16_t *result, char *message);
int32_t ksptrl4_reset(uint32_t session);
int32_t ksptrl4_readFlash(uint32_t session);
int32_t ksptrl4_writeFlash(uint32_t session);
int32_t ksptrl4_resetCoeff(uint32_t session);

/* Generator settings and waveform memory. */
int32_t ksptrl4_setSourceMode(uint32_t session, int32_t channel, int32_t mode);
int32_t ksptrl4_setRange(uint32_t session, int32_t channel, double range);
int32_t ksptrl4_setAmpScale(uint32_t session, int32_t channel, double scale);
int32_t ksptrl4_setRampRate(uint32_t session, int32_t channel, double rate);
int32_t ksptrl4_setSineFreq(uint32_t session, int32_t channel, double frequency);
int32_t ksptrl4_setRepetParams(uint32_t session, int32_t channel, int32_t mode, double value);
/* value receives the parameter; mode and extra may be null. */
int32_t ksptrl4_GetRepetParams(uint32_t session, int32_t channel, int32_t index, double *value,
                               int32_t *mode, double *extra);
int32_t ksptrl4_setSampleRate(uint32_t session, double rate, int32_t clockSource);
int32_t ksptrl4_config(uint32_t session, int32_t what, int32_t option);
int32_t ksptrl4_config_segment(uint32_t session, int32_t segment, int32_t option, uint32_t length);
int32_t ksptrl4_write_form(uint32_t session, int32_t channel, uint32_t count, const double *samples,
                           int32_t append);
int32_t ksptrl4_reset_form(uint32_t session, int32_t segment);
int32_t ksptrl4_start(uint32_t session);
int32_t ksptrl4_stop(uint32_t session);

#ifdef __cplusplus
}
#endif

#endif
