// The application state of the front panel: globals that live for the whole run, start
// zeroed, and are touched only on the user-interface thread (inside callbacks).
#ifndef TRL4_APP_STATE_H
#define TRL4_APP_STATE_H

#include <cstdint>

struct InstrumentEntry;

// Panel handles: loaded panels, and the two pages of MP.TAB (CP page 0, PP page 1).
extern int ST, ABOUT, EXIT_POPUP, VP, MP, CHLP, CP, PP;
// The dialog of the outside meters, and the dialog of the verification result.
extern int MI;
extern int RES;

// Driver sessions; 0 = none (demo mode while generatorSession is 0).
extern uint32_t generatorSession;
extern uint32_t carrierSession;

// The carrier the operator chose in the selection dialog; null = none.
extern InstrumentEntry *currentInstrument;

// The exit question: (exitRequested, quitConfirmed), each 0 or 1.
extern int16_t exitRequested;
extern int16_t quitConfirmed;

// Crate, slot and mezzanine of the open session (0 until one is chosen), and the type
// code of each mezzanine position 1-4.
extern uint16_t crateAddr, slotNum, mezNum;
extern int32_t mezTypes[4];

// Calibration: the driver's record (null while no session), the output offsets, and the
// working copy shown on the calibration page.
inline constexpr int kCoeffCount = 6;
extern double *coeffRec;
extern double zeroU1, zeroU2;
extern double coeffWork[kCoeffCount];
// Whose coefficients the working copy holds: each driver record a session opening takes gets
// the next serial, and the working copy carries the serial of the record it was copied from.
// Only a working copy of the open session's record may be stored in its EEPROM.
extern uint32_t coeffRecSerial;
extern uint32_t coeffWorkSerial;

// The pending measuring point and who asked for it. pointSerial: the driver record serial of
// the session the point was set up for (0: set up without a session); its readings are that
// session's only.
extern int32_t measKind;  // 0 amplitude, 1 frequency
extern uint32_t pointSerial;
extern double refFreq;      // Hz
extern int32_t calibrMode;  // 1 calibration, 0 verification
extern double povNominal;
extern int32_t vpResult;  // 0 waiting, 1 accepted, -1 cancelled

// The protocol file: handle (0 = none open, negative = its opening failed), its remembered
// name (UTF-8: at most 259 characters, room for four bytes each), the section last written.
inline constexpr int kLogFileNameChars = 259;
inline constexpr int kLogFileNameSize = 4 * kLogFileNameChars + 1;
extern int logFile;
extern char logFileName[kLogFileNameSize];
extern int32_t logSection;

// The chosen carrier's name as its driver gives it, and the math library's version and
// checksum as checked at start-up (empty when it was not found): the machine-readable record
// names them.
inline constexpr int kInfoTextSize = 256;
extern char carrierName[kInfoTextSize];
extern char mathLibraryVersion[kInfoTextSize];
extern char mathLibraryCrc[kInfoTextSize];

// The outside meters assigned to the four readings, by role: amplitude of channel 1 and 2,
// frequency of channel 1 and 2 (role = 2 * measKind + channel - 1). An empty resource name:
// none assigned, the operator types that reading. meterMissing: the assigned meter did not
// answer when last asked who it is.
inline constexpr int kMeterRoles = 4;
inline constexpr int kMeterTextSize = 256;
extern char meterRsrc[kMeterRoles][kMeterTextSize];
extern char meterIdn[kMeterRoles][kMeterTextSize];
extern int meterMissing[kMeterRoles];

inline int MeterRole(int kind, int channel) {
    return 2 * kind + channel - 1;
}

#endif
