// The native Windows view of the panel run-time (user32, common controls 6, the wide API).
// The program hands the factory to InitPanelRuntime; nothing else of the view is visible to
// it. Common controls 6 come through the program's manifest: see trl4_win32_manifest().
#pragma once

#include "panel/view.h"

namespace panel {

// Creates the Win32 view of `model`. Returns null, with the reason on standard error, when
// the window system refuses. The caller owns the view. The arguments are not used.
View *createWin32View(Model &model, int &argc, char **argv);

}  // namespace panel
