// The main panel's status line, which every procedure reports to, and the coefficients on the
// calibration page.
#ifndef TRL4_STATUS_LINE_H
#define TRL4_STATUS_LINE_H

#include <cstdint>

// Text colours of the status line MP.ERROR_MESSAGE.
inline constexpr int kStatusRed = 0xFF0000;
inline constexpr int kStatusWhite = 0xFFFFFF;

// The generator driver's harmless warning: the EEPROM held no record yet.
inline constexpr int32_t kDriverHarmlessWarning = 0x3FFC0C05;

// Passes a driver status to the operator: 0 and the harmless warning give 0 and leave the
// screen alone; any other status puts the driver's text on the status line in red and is
// returned unchanged, so the caller stops on a negative result.
int32_t CheckDrvStatus(int32_t status);

// The one writer of the status line: text and its colour together.
void ShowStatusLine(const char *text, int colour);

// Puts the working copy of the coefficients on the calibration page.
void ShowCoeffs();

#endif
