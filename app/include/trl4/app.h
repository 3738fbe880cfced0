// The front panel's shell: entry and life cycle, the driver status line, the coefficients
// on the calibration page.
#ifndef TRL4_APP_H
#define TRL4_APP_H

#include <cstdint>

#include "userint.h"

// Text colours of the status line MP.ERROR_MESSAGE.
inline constexpr int kStatusRed = 0xFF0000;
inline constexpr int kStatusWhite = 0xFFFFFF;

// The generator driver's harmless warning: the EEPROM held no record yet.
inline constexpr int32_t kDriverHarmlessWarning = 0x3FFC0C05;

// The program's version, shown on the About panel.
inline constexpr const char *kSoftwareVersion = "1.3.0";

// Passes a driver status to the operator: 0 and the harmless warning give 0 and leave the
// screen alone; any other status puts the driver's text on the status line in red and is
// returned unchanged, so the caller stops on a negative result.
int32_t CheckDrvStatus(int32_t status);

// The one writer of the status line: text and its colour together.
void ShowStatusLine(const char *text, int colour);

// Puts the working copy of the coefficients on the calibration page.
void ShowCoeffs();

// Loads the six panels of the resource and takes the two tab pages of MP; false when a
// panel cannot be loaded.
bool LoadAppPanels();

// Closes the sessions (generator first; failures go to the status line while MP exists
// and do not stop the shutdown), discards the panels and closes the protocol file.
void ShutDownFrontPanel();

// Start-up, main loop and shutdown; returns the process exit code (0, or -1 when the
// run-time or a panel cannot be loaded). qtFactory: the Qt view, when the program links it.
// --help and --version are answered on standard output instead, with exit code 0.
int RunFrontPanel(int argc, char **argv, PanelViewFactory qtFactory);

#endif
