// What each control kind is and may do, in one table: the resource reader, the run-time, the
// operator scripts and the views all ask here instead of keeping lists of their own.
//
// A new kind is its Kind (appended), its CTRL_ code and its row in kinds.cpp; what it holds
// follows from the row everywhere but in the model's value rules, and each view's widget
// switch refuses to compile until it draws it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "panel/model.h"

namespace panel {

// Which modes a kind takes: none (static), hot only (a button is always hot), or hot or
// indicator, which a resource must then say.
enum class ModeRule { None, HotOnly, HotOrIndicator };
// Which data types a kind holds: none, text only (implied), numbers only or any (both must be
// given in a resource), or a flag (an int 0 or 1, implied).
enum class TypeRule { None, Text, Number, Any, Flag };

struct KindInfo {
    Kind kind;
    int api;              // CTRL_* of the run-time's interface
    const char *keyword;  // in resources and operator-script dumps
    ModeRule modes;
    TypeRule types;
    bool operable;       // takes operator input at all
    bool holdsValue;     // has a value the program and scripts read
    bool valueLine;      // a resource may give its initial value
    bool hasLabel;       // a resource may give its label
    bool labelBeside;    // views draw the label beside the control, not on it
    bool takesCallback;  // a resource may name its callback
    bool hasItems;       // ring and list box: items, one highlighted
    bool hasIndex;       // highlighted item or shown page
    // What NewCtrl makes: 0 width when it cannot (tabs come only from resources).
    DataType newType;
    int newWidth;
    int newHeight;
};

std::span<const KindInfo> kinds();
const KindInfo &kindInfo(Kind kind);
const KindInfo *kindByKeyword(std::string_view keyword);
const KindInfo *kindByApi(int api);

// Sets of kinds, for the attributes that apply to some only.
using KindSet = std::uint32_t;
constexpr KindSet kindBit(Kind kind) {
    return KindSet{1} << static_cast<unsigned>(kind);
}
inline constexpr KindSet kEveryKind = ~KindSet{0};

}  // namespace panel
