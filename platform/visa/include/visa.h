/* The VISA subset the front panel and a generic VISA client use: types, constants and
 * operations with the values the VISA standard publishes, so the program builds unchanged
 * against a real VISA library. */
#ifndef TRL4_VISA_H
#define TRL4_VISA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Calling conventions of the exported operations: on 32-bit Windows the standard fixes
 * __stdcall, and __cdecl for those taking a variable argument list; elsewhere the platform's
 * own. A real library's DLL takes our stand-in's place only if these match. */
#if defined(_WIN32) && !defined(_WIN64)
#define _VI_FUNC __stdcall
#define _VI_FUNCC __cdecl
#else
#define _VI_FUNC
#define _VI_FUNCC
#endif

typedef int32_t ViStatus;
typedef uint32_t ViUInt32;
typedef int32_t ViInt32;
typedef uint16_t ViUInt16;
typedef int16_t ViInt16;
typedef uint8_t ViUInt8;
typedef uint16_t ViBoolean;
typedef char ViChar;
typedef char *ViString;
typedef const char *ViConstString;
typedef char *ViRsrc;
typedef const char *ViConstRsrc;
typedef unsigned char *ViBuf;
typedef const unsigned char *ViConstBuf;
typedef uint32_t ViObject;
typedef uint32_t ViSession;
typedef uint32_t ViFindList;
typedef uint32_t ViAttr;
/* As wide as a pointer: 32 bits on 32-bit Windows, 64 bits on 64-bit platforms. */
#if UINTPTR_MAX > 0xFFFFFFFFu
typedef uint64_t ViAttrState;
#else
typedef uint32_t ViAttrState;
#endif
typedef uint32_t ViAccessMode;
typedef uint32_t ViEventType;
typedef uint32_t ViEvent;
typedef uint32_t ViEventFilter;
typedef uint32_t ViVersion;
typedef char *ViKeyId;
typedef const char *ViConstKeyId;

#define VI_NULL 0
#define VI_TRUE 1
#define VI_FALSE 0
#define VI_SUCCESS 0

/* Search buffers (viFindRsrc, viFindNext) must hold this many bytes. */
#define VI_FIND_BUFLEN 256

#define VI_NO_LOCK 0
#define VI_EXCLUSIVE_LOCK 1
#define VI_SHARED_LOCK 2
#define VI_LOAD_CONFIG 4

#define VI_TMO_IMMEDIATE 0U
#define VI_TMO_INFINITE 0xFFFFFFFFU

#define VI_INTF_GPIB 1
#define VI_INTF_VXI 2
#define VI_INTF_GPIB_VXI 3
#define VI_INTF_ASRL 4
#define VI_INTF_PXI 5
#define VI_INTF_TCPIP 6
#define VI_INTF_USB 7

#define VI_NO_SEC_ADDR 0xFFFF

/* viFlush masks */
#define VI_READ_BUF 1
#define VI_WRITE_BUF 2
#define VI_READ_BUF_DISCARD 4
#define VI_WRITE_BUF_DISCARD 8
#define VI_IO_IN_BUF 16
#define VI_IO_OUT_BUF 32
#define VI_IO_IN_BUF_DISCARD 64
#define VI_IO_OUT_BUF_DISCARD 128

/* viAssertTrigger protocols */
#define VI_TRIG_PROT_DEFAULT 0
#define VI_TRIG_PROT_ON 1
#define VI_TRIG_PROT_OFF 2
#define VI_TRIG_PROT_SYNC 5

/* Event types and mechanisms */
#define VI_EVENT_IO_COMPLETION 0x3FFF2009U
#define VI_EVENT_TRIG 0xBFFF200AU
#define VI_EVENT_SERVICE_REQ 0x3FFF200BU
#define VI_EVENT_CLEAR 0x3FFF200DU
#define VI_EVENT_EXCEPTION 0xBFFF200EU
#define VI_ALL_ENABLED_EVENTS 0x3FFF7FFFU
#define VI_QUEUE 1
#define VI_HNDLR 2
#define VI_SUSPEND_HNDLR 4
#define VI_ALL_MECH 0xFFFF

/* Completion and warning codes */
#define VI_SUCCESS_EVENT_DIS ((ViStatus)0x3FFF0003L)
#define VI_SUCCESS_QUEUE_EMPTY ((ViStatus)0x3FFF0004L)
#define VI_SUCCESS_TERM_CHAR ((ViStatus)0x3FFF0005L)
#define VI_SUCCESS_MAX_CNT ((ViStatus)0x3FFF0006L)
#define VI_WARN_CONFIG_NLOADED ((ViStatus)0x3FFF0077L)
#define VI_SUCCESS_DEV_NPRESENT ((ViStatus)0x3FFF007DL)
#define VI_WARN_NULL_OBJECT ((ViStatus)0x3FFF0082L)
#define VI_WARN_NSUP_ATTR_STATE ((ViStatus)0x3FFF0084L)
#define VI_WARN_UNKNOWN_STATUS ((ViStatus)0x3FFF0085L)
#define VI_SUCCESS_NESTED_SHARED ((ViStatus)0x3FFF0099L)
#define VI_SUCCESS_NESTED_EXCLUSIVE ((ViStatus)0x3FFF009AL)

/* Error codes (negative as ViStatus) */
#define VI_ERROR_SYSTEM_ERROR ((ViStatus)0xBFFF0000UL)
#define VI_ERROR_INV_OBJECT ((ViStatus)0xBFFF000EUL)
#define VI_ERROR_INV_SESSION VI_ERROR_INV_OBJECT
#define VI_ERROR_RSRC_LOCKED ((ViStatus)0xBFFF000FUL)
#define VI_ERROR_INV_EXPR ((ViStatus)0xBFFF0010UL)
#define VI_ERROR_RSRC_NFOUND ((ViStatus)0xBFFF0011UL)
#define VI_ERROR_INV_RSRC_NAME ((ViStatus)0xBFFF0012UL)
#define VI_ERROR_INV_ACC_MODE ((ViStatus)0xBFFF0013UL)
#define VI_ERROR_TMO ((ViStatus)0xBFFF0015UL)
#define VI_ERROR_CLOSING_FAILED ((ViStatus)0xBFFF0016UL)
#define VI_ERROR_NSUP_ATTR ((ViStatus)0xBFFF001DUL)
#define VI_ERROR_NSUP_ATTR_STATE ((ViStatus)0xBFFF001EUL)
#define VI_ERROR_ATTR_READONLY ((ViStatus)0xBFFF001FUL)
#define VI_ERROR_INV_LOCK_TYPE ((ViStatus)0xBFFF0020UL)
#define VI_ERROR_INV_ACCESS_KEY ((ViStatus)0xBFFF0021UL)
#define VI_ERROR_INV_EVENT ((ViStatus)0xBFFF0026UL)
#define VI_ERROR_INV_MECH ((ViStatus)0xBFFF0027UL)
#define VI_ERROR_NENABLED ((ViStatus)0xBFFF002FUL)
#define VI_ERROR_ALLOC ((ViStatus)0xBFFF003CUL)
#define VI_ERROR_INV_MASK ((ViStatus)0xBFFF003DUL)
#define VI_ERROR_IO ((ViStatus)0xBFFF003EUL)
#define VI_ERROR_INV_FMT ((ViStatus)0xBFFF003FUL)
#define VI_ERROR_NSUP_FMT ((ViStatus)0xBFFF0041UL)
#define VI_ERROR_NSUP_OPER ((ViStatus)0xBFFF0067UL)
#define VI_ERROR_USER_BUF ((ViStatus)0xBFFF0071UL)
#define VI_ERROR_RSRC_BUSY ((ViStatus)0xBFFF0072UL)
#define VI_ERROR_INV_PROT ((ViStatus)0xBFFF0079UL)
#define VI_ERROR_INV_LENGTH ((ViStatus)0xBFFF0083UL)
#define VI_ERROR_SESN_NLOCKED ((ViStatus)0xBFFF009CUL)

/* Attributes (type in the comment: what viGetAttribute writes) */
#define VI_ATTR_RSRC_CLASS 0xBFFF0001U          /* text */
#define VI_ATTR_RSRC_NAME 0xBFFF0002U           /* text, at most VI_FIND_BUFLEN bytes */
#define VI_ATTR_RSRC_IMPL_VERSION 0x3FFF0003U   /* ViVersion */
#define VI_ATTR_RSRC_LOCK_STATE 0x3FFF0004U     /* ViAccessMode */
#define VI_ATTR_SEND_END_EN 0x3FFF0016U         /* ViBoolean */
#define VI_ATTR_TERMCHAR 0x3FFF0018U            /* ViUInt8 */
#define VI_ATTR_TMO_VALUE 0x3FFF001AU           /* ViUInt32 */
#define VI_ATTR_TERMCHAR_EN 0x3FFF0038U         /* ViBoolean */
#define VI_ATTR_MANF_NAME 0xBFFF0072U           /* text */
#define VI_ATTR_MODEL_NAME 0xBFFF0077U          /* text */
#define VI_ATTR_MAINFRAME_LA 0x3FFF0070U        /* ViInt16 */
#define VI_ATTR_VXI_LA 0x3FFF00D5U              /* ViInt16 */
#define VI_ATTR_MANF_ID 0x3FFF00D9U             /* ViUInt16 */
#define VI_ATTR_MODEL_CODE 0x3FFF00DFU          /* ViUInt16 */
#define VI_ATTR_SLOT 0x3FFF00E8U                /* ViInt16 */
#define VI_ATTR_RSRC_SPEC_VERSION 0x3FFF0170U   /* ViVersion */
#define VI_ATTR_INTF_TYPE 0x3FFF0171U           /* ViUInt16 */
#define VI_ATTR_GPIB_PRIMARY_ADDR 0x3FFF0172U   /* ViUInt16 */
#define VI_ATTR_GPIB_SECONDARY_ADDR 0x3FFF0173U /* ViUInt16, VI_NO_SEC_ADDR for none */
#define VI_ATTR_RSRC_MANF_NAME 0xBFFF0174U      /* text */
#define VI_ATTR_INTF_NUM 0x3FFF0176U            /* ViUInt16 */
#define VI_ATTR_TCPIP_ADDR 0xBFFF0195U          /* text, at most VI_FIND_BUFLEN bytes */
#define VI_ATTR_TCPIP_PORT 0x3FFF0197U          /* ViUInt16 */
#define VI_ATTR_TCPIP_DEVICE_NAME 0xBFFF0199U   /* text */
#define VI_ATTR_USB_SERIAL_NUM 0xBFFF01A0U      /* text */
#define VI_ATTR_USB_INTFC_NUM 0x3FFF01A1U       /* ViInt16 */

ViStatus _VI_FUNC viOpenDefaultRM(ViSession *rm);
ViStatus _VI_FUNC viFindRsrc(ViSession rm, ViConstString expr, ViFindList *list, ViUInt32 *count,
                             ViChar desc[]);
ViStatus _VI_FUNC viFindNext(ViFindList list, ViChar desc[]);
ViStatus _VI_FUNC viOpen(ViSession rm, ViConstRsrc name, ViAccessMode mode, ViUInt32 timeout,
                         ViSession *vi);
ViStatus _VI_FUNC viClose(ViObject object);
ViStatus _VI_FUNC viGetAttribute(ViObject object, ViAttr attribute, void *value);
ViStatus _VI_FUNC viSetAttribute(ViObject object, ViAttr attribute, ViAttrState value);
ViStatus _VI_FUNC viLock(ViSession vi, ViAccessMode lockType, ViUInt32 timeout,
                         ViConstKeyId requestedKey, ViChar accessKey[]);
ViStatus _VI_FUNC viUnlock(ViSession vi);
ViStatus _VI_FUNC viClear(ViSession vi);
ViStatus _VI_FUNC viWrite(ViSession vi, ViConstBuf buf, ViUInt32 count, ViUInt32 *written);
ViStatus _VI_FUNC viRead(ViSession vi, ViBuf buf, ViUInt32 count, ViUInt32 *got);

/* Any spelling of a resource name: its interface type and board, and (Ex) its class and its
 * expanded name (every default written out); this library knows no aliases. Output pointers
 * may be VI_NULL; text outputs need VI_FIND_BUFLEN bytes. */
ViStatus _VI_FUNC viParseRsrc(ViSession rm, ViConstRsrc name, ViUInt16 *intfType,
                              ViUInt16 *intfNum);
ViStatus _VI_FUNC viParseRsrcEx(ViSession rm, ViConstRsrc name, ViUInt16 *intfType,
                                ViUInt16 *intfNum, ViChar rsrcClass[], ViChar expandedName[],
                                ViChar aliasIfExists[]);
/* The standard's text of a status, at most VI_FIND_BUFLEN bytes with its NUL. */
ViStatus _VI_FUNC viStatusDesc(ViObject object, ViStatus status, ViChar desc[]);
ViStatus _VI_FUNC viReadSTB(ViSession vi, ViUInt16 *status);
ViStatus _VI_FUNC viFlush(ViSession vi, ViUInt16 mask);
ViStatus _VI_FUNC viAssertTrigger(ViSession vi, ViUInt16 protocol);
/* The simulated resources raise no events: every event type is one they do not support. */
ViStatus _VI_FUNC viEnableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism,
                                ViEventFilter context);
ViStatus _VI_FUNC viDisableEvent(ViSession vi, ViEventType eventType, ViUInt16 mechanism);
ViStatus _VI_FUNC viDiscardEvents(ViSession vi, ViEventType eventType, ViUInt16 mechanism);
ViStatus _VI_FUNC viWaitOnEvent(ViSession vi, ViEventType inEventType, ViUInt32 timeout,
                                ViEventType *outEventType, ViEvent *outContext);

/* Formatted query: writes writeFmt, then reads by readFmt. Supported directives: in writeFmt
 * plain text with "%s" and "%d"; in readFmt "%t" (terminated text) and "%#t" (size from the
 * next argument, a ViInt32* holding the buffer size and receiving the length read). Plain "%t"
 * stores at most VI_FIND_BUFLEN - 1 characters and a NUL, so its buffer must hold
 * VI_FIND_BUFLEN bytes. A field width on "%t" ("%256t") is no directive of the standard and a
 * real library does not bound the read by it: it is refused with VI_ERROR_INV_FMT. */
ViStatus _VI_FUNCC viQueryf(ViSession vi, ViConstString writeFmt, ViConstString readFmt, ...);

#ifdef __cplusplus
}
#endif

#endif
