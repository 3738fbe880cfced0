// The front-panel program: entry and life cycle, and the table of the callbacks the panel
// resource binds.
#ifndef TRL4_APP_H
#define TRL4_APP_H

#include "trl4/status_line.h"
#include "userint.h"

// The program's version, shown on the About panel.
inline constexpr const char *kSoftwareVersion = "1.3.0";

// Hands every callback the panel resource binds (trl4/callbacks.h) to the panel run-time, so
// the resource can bind them by name. Returns the run-time's status.
int RegisterAppCallbacks();

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
