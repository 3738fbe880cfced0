/* Carrier driver: opens a mezzanine carrier through VISA and reports what sits in its four
 * mezzanine positions. Every operation returns a status: 0 success, negative error, positive
 * warning. A carrier session is a VISA session, so VISA attributes can be read from it. */
#ifndef TRL4_KSPBASE_H
#define TRL4_KSPBASE_H

#include <stdint.h>

#include "visa.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Carrier name text (out: at least KSPBASE_TEXT_LEN bytes). */
#define KSPBASE_ATTR_CARRIER_NAME 0x3FFF0880U
#define KSPBASE_TEXT_LEN 256

/* Own statuses. VISA statuses of the carrier's resource are passed through unchanged. */
#define KSPBASE_ERROR_PARAMETER ((int32_t)0xBFFC0D01UL)   /* bad argument or null pointer */
#define KSPBASE_ERROR_POSITION ((int32_t)0xBFFC0D02UL)    /* mezzanine position not 1-4 */
#define KSPBASE_ERROR_NOT_CARRIER ((int32_t)0xBFFC0D03UL) /* resource is no carrier of ours */
#define KSPBASE_ERROR_ATTRIBUTE ((int32_t)0xBFFC0D04UL)   /* unknown attribute */

int32_t _VI_FUNC kspbase_init(const char *rsrcName, uint16_t idQuery, uint16_t reset,
                              uint32_t *session);
int32_t _VI_FUNC kspbase_m_type_q(uint32_t session, uint16_t position, uint16_t *present,
                                  uint16_t *typeCode);
int32_t _VI_FUNC kspbase_m_get_attribute(uint32_t session, uint32_t attribute, char *text);
int32_t _VI_FUNC kspbase_mem_q(uint32_t session, uint32_t *memSize);
int32_t _VI_FUNC kspbase_close(uint32_t session);

#ifdef __cplusplus
}
#endif

#endif
