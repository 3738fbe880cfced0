#include "panel/kinds.h"

#include <algorithm>

namespace panel {
namespace {

using enum ModeRule;
using TR = TypeRule;
using DT = DataType;

// clang-format off
constexpr KindInfo kKinds[] = {
//   kind              api                  keyword       modes           types       oper   value  vline  label  beside cb     items  index  newType     w    h
    {Kind::Button,     CTRL_COMMAND_BUTTON, "button",     HotOnly,        TR::None,   true,  false, false, true,  false, true,  false, false, DT::None,   100, 25},
    {Kind::Numeric,    CTRL_NUMERIC,        "numeric",    HotOrIndicator, TR::Number, true,  true,  true,  true,  true,  true,  false, false, DT::Double, 100, 20},
    {Kind::String,     CTRL_STRING,         "string",     HotOrIndicator, TR::Text,   true,  true,  true,  true,  true,  true,  false, false, DT::Text,   150, 20},
    {Kind::TextMessage,CTRL_TEXT_MSG,       "textmsg",    None,           TR::Text,   false, true,  true,  true,  false, false, false, false, DT::Text,   100, 20},
    {Kind::TextBox,    CTRL_TEXT_BOX,       "textbox",    HotOrIndicator, TR::Text,   true,  true,  true,  true,  true,  true,  false, false, DT::Text,   200, 100},
    {Kind::Ring,       CTRL_RING,           "ring",       HotOrIndicator, TR::Any,    true,  true,  false, true,  true,  true,  true,  true,  DT::Int,    100, 20},
    {Kind::ListBox,    CTRL_LIST_BOX,       "listbox",    HotOrIndicator, TR::Any,    true,  true,  false, true,  true,  true,  true,  true,  DT::Int,    200, 150},
    {Kind::Tab,        CTRL_TAB,            "tab",        HotOrIndicator, TR::None,   true,  true,  false, true,  false, true,  false, true,  DT::None,   0,   0},
    {Kind::Picture,    CTRL_PICTURE,        "picture",    None,           TR::None,   false, false, false, false, false, false, false, false, DT::None,   100, 100},
    {Kind::Decoration, CTRL_DECORATION,     "decoration", None,           TR::None,   false, false, false, false, false, false, false, false, DT::None,   100, 100},
    {Kind::Splitter,   CTRL_SPLITTER,       "splitter",   None,           TR::None,   false, false, false, false, false, false, false, false, DT::None,   100, 2},
    {Kind::CheckBox,   CTRL_CHECK_BOX,      "checkbox",   HotOrIndicator, TR::Flag,   true,  true,  true,  true,  false, true,  false, false, DT::Int,    100, 20},
};
// clang-format on

// Rows in the order of the enumeration, so kindInfo is an index.
constexpr bool inEnumOrder() {
    for (std::size_t i = 0; i < std::size(kKinds); ++i) {
        if (static_cast<std::size_t>(kKinds[i].kind) != i) return false;
    }
    return true;
}
static_assert(inEnumOrder(), "one row per kind, in the order of Kind");
// Name the last kind here: a kind appended without a row fails to compile.
static_assert(std::size(kKinds) == static_cast<std::size_t>(Kind::CheckBox) + 1,
              "every kind has its row");

}  // namespace

std::span<const KindInfo> kinds() {
    return kKinds;
}

const KindInfo &kindInfo(Kind kind) {
    return kKinds[static_cast<std::size_t>(kind)];
}

const KindInfo *kindByKeyword(std::string_view keyword) {
    auto it = std::find_if(std::begin(kKinds), std::end(kKinds),
                           [&](const KindInfo &k) { return keyword == k.keyword; });
    return it == std::end(kKinds) ? nullptr : &*it;
}

const KindInfo *kindByApi(int api) {
    auto it = std::find_if(std::begin(kKinds), std::end(kKinds),
                           [&](const KindInfo &k) { return k.api == api; });
    return it == std::end(kKinds) ? nullptr : &*it;
}

}  // namespace panel
