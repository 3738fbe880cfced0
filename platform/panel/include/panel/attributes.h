// Every attribute of panels and controls in one table: its type, where it applies and whether
// it may be written. The model's getAttribute/setAttribute walk it; nothing else keeps such a
// list.
#pragma once

#include <span>

#include "panel/kinds.h"
#include "panel/model.h"

namespace panel {

enum class Access { ReadWrite, ReadOnly, WriteOnly };

// What one access works on; `control` is null for a panel attribute. A setter that notified
// the views itself (or must not) clears `notify`.
struct AttributeSubject {
    Model &model;
    int handle;
    Panel &panel;
    Control *control;
    bool notify = true;
};

struct AttributeReading {
    const Panel &panel;
    const Control *control;
};

struct AttributeInfo {
    int id;  // ATTR_*
    const char *name;
    AttrType type;
    bool onPanels;
    KindSet kinds;  // the control kinds it applies to
    Access access;
    // A write that is a model operation of its own (SetCtrlIndex ...) answers with that
    // operation's statuses, kind refusals included.
    bool writeIsOperation;
    int (*get)(const AttributeReading &, AttrValue &);
    int (*set)(AttributeSubject &, const AttrValue &);
};

std::span<const AttributeInfo> attributes();
const AttributeInfo *findAttribute(int id);
bool appliesTo(const AttributeInfo &attribute, const Control *control);

}  // namespace panel
