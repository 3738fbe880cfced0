// What every window view of the model works out the same way: which panel's window a panel
// or page lies in, which controls carry a label of their own, and how a text box's lines
// changed since the view last showed them.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "panel/model.h"

namespace panel {

// The top-level panel a panel or page lies in; 0 when the panel is gone.
inline int topLevelPanel(const Model &model, int handle) {
    const Panel *panel = model.panel(handle);
    // Parents come before their pages, so the walk ends.
    while (panel != nullptr && panel->parent != 0) {
        handle = panel->parent;
        panel = model.panel(handle);
    }
    return panel == nullptr ? 0 : handle;
}

// Kinds whose label stands beside the control; the others show it on themselves or not at all.
inline bool hasOwnLabel(Kind kind) {
    switch (kind) {
        case Kind::Numeric:
        case Kind::String:
        case Kind::TextBox:
        case Kind::Ring:
        case Kind::ListBox:
            return true;
        default:
            return false;
    }
}

// Whether `now` is the `shown` lines with more added at the end, so a view appends them
// instead of showing everything again.
inline bool linesOnlyGrew(const std::vector<std::string> &shown,
                          const std::vector<std::string> &now) {
    return !shown.empty() && now.size() >= shown.size() &&
           std::equal(shown.begin(), shown.end(), now.begin());
}

}  // namespace panel
