// The Qt 6 Widgets view of the panel run-time. The program hands the factory to
// InitPanelRuntime; nothing else of the view is visible to it.
#pragma once

#include "panel/view.h"

namespace panel {

// Creates the Qt view of `model`, and the QApplication when none exists yet (it takes the
// command line's remaining arguments). Returns null, with the reason on standard error,
// when no display can be reached. The caller owns the view.
View *createQtView(Model &model, int &argc, char **argv);

}  // namespace panel
