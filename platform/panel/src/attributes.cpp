// The attribute table and the model's generic access through it.
#include "panel/attributes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <type_traits>

#include "panel/view.h"
#include "text.h"

namespace panel {
namespace {

using S = AttributeSubject;
using R = AttributeReading;
using V = AttrValue;

// ---- Shared by panels and controls ----

Geometry &geometryOf(const S &s) {
    return s.control ? s.control->geometry : s.panel.geometry;
}
const Geometry &geometryOf(const R &s) {
    return s.control ? s.control->geometry : s.panel.geometry;
}

std::uint32_t &backgroundOf(const S &s) {
    return s.control ? s.control->background : s.panel.background;
}
std::uint32_t backgroundOf(const R &s) {
    return s.control ? s.control->background : s.panel.background;
}

int setGeometry(int &field, const V &v, bool positive) {
    int value = std::get<int>(v);
    if (positive && value < 1) return UIE_BAD_VALUE;
    field = value;
    return 0;
}

int setColour(std::uint32_t &colour, const V &v) {
    int value = std::get<int>(v);
    if (value < 0 || value > 0xFFFFFF) return UIE_BAD_VALUE;
    colour = static_cast<std::uint32_t>(value);
    return 0;
}

int getColour(std::uint32_t colour, V &v) {
    v = static_cast<int>(colour);
    return 0;
}

// An empty name removes the callback; otherwise the name must be registered with a callback of
// the owner's kind.
template <typename Owner>
int setCallbackName(const S &s, Owner &owner, std::string_view name) {
    if (name.empty()) {
        owner.callback = nullptr;
        owner.callbackName.clear();
        return 0;
    }
    CtrlCallbackPtr control = nullptr;
    PanelCallbackPtr panelCb = nullptr;
    const CallbackLookup &lookup = s.model.callbackLookup();
    if (!lookup || !lookup(std::string(name), &control, &panelCb)) return UIE_CALLBACK;
    if constexpr (std::is_same_v<decltype(owner.callback), PanelCallbackPtr>) {
        if (!panelCb) return UIE_CALLBACK;
        owner.callback = panelCb;
    } else {
        if (!control) return UIE_CALLBACK;
        owner.callback = control;
    }
    owner.callbackName = name;
    return 0;
}

template <typename Owner>
int setCallbackPointer(S &s, Owner &owner, const V &v) {
    using Pointer = decltype(owner.callback);
    if (!std::holds_alternative<Pointer>(v)) return UIE_BAD_ATTRIBUTE;
    owner.callback = std::get<Pointer>(v);
    owner.callbackName.clear();
    s.notify = false;
    return 0;
}

int setFormat(Control &c, int value) {
    switch (value) {
        case VAL_DECIMAL_FORMAT:
            c.format = Format::Integer;
            return 0;
        case VAL_FLOATING_PT_FORMAT:
            c.format = Format::Fixed;
            return 0;
        case VAL_SCIENTIFIC_FORMAT:
            c.format = Format::Exponent;
            return 0;
        case VAL_ENGINEERING_FORMAT:
            c.format = Format::Engineering;
            return 0;
        default:
            return UIE_BAD_VALUE;
    }
}

int formatToApi(Format format) {
    switch (format) {
        case Format::Integer:
            return VAL_DECIMAL_FORMAT;
        case Format::Fixed:
            return VAL_FLOATING_PT_FORMAT;
        case Format::Exponent:
            return VAL_SCIENTIFIC_FORMAT;
        case Format::Engineering:
            return VAL_ENGINEERING_FORMAT;
    }
    return VAL_FLOATING_PT_FORMAT;
}

int typeToApi(DataType type) {
    switch (type) {
        case DataType::Double:
            return VAL_DOUBLE;
        case DataType::Int:
            return VAL_INTEGER;
        case DataType::Short:
            return VAL_SHORT_INTEGER;
        case DataType::UShort:
            return VAL_UNSIGNED_SHORT_INTEGER;
        case DataType::Text:
            return VAL_STRING;
        default:
            return VAL_NO_TYPE;
    }
}

// Limits: kept within the type, and the value follows them as the operator would see it.
int setLimit(S &s, const V &v, double Control::*field) {
    Control &c = *s.control;
    if (!c.isNumeric()) return UIE_BAD_ATTRIBUTE;
    double value = std::get<double>(v);
    if (std::isnan(value)) return UIE_BAD_VALUE;
    if (field == &Control::step) {
        if (!(value > 0) || !std::isfinite(value)) return UIE_BAD_VALUE;
    } else if (field == &Control::min) {
        value = std::max(value, typeMin(c.type));
    } else {
        value = std::min(value, typeMax(c.type));
    }
    c.*field = value;
    s.model.notifyControl(s.handle, c.id, ControlChange::Attributes);
    s.notify = false;
    if (c.min <= c.max) s.model.setNumber(s.handle, c.id, c.number);
    return 0;
}

constexpr KindSet kNumeric = kindBit(Kind::Numeric);
constexpr KindSet kNone = 0;

using enum AttrType;
using enum Access;

// clang-format off
constexpr AttributeInfo kAttributes[] = {
    {ATTR_TOP, "top", Int, true, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int { v = geometryOf(s).top; return 0; },
     [](S &s, const V &v) -> int { return setGeometry(geometryOf(s).top, v, false); }},
    {ATTR_LEFT, "left", Int, true, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int { v = geometryOf(s).left; return 0; },
     [](S &s, const V &v) -> int { return setGeometry(geometryOf(s).left, v, false); }},
    {ATTR_WIDTH, "width", Int, true, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int { v = geometryOf(s).width; return 0; },
     [](S &s, const V &v) -> int { return setGeometry(geometryOf(s).width, v, true); }},
    {ATTR_HEIGHT, "height", Int, true, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int { v = geometryOf(s).height; return 0; },
     [](S &s, const V &v) -> int { return setGeometry(geometryOf(s).height, v, true); }},
    {ATTR_VISIBLE, "visible", Int, true, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int {
         // A tab page counts as visible: whether it shows is its tab control's business.
         bool shown = s.control ? s.control->visible : s.panel.pageIndex >= 0 || s.panel.visible;
         v = shown ? 1 : 0;
         return 0;
     },
     [](S &s, const V &v) -> int {
         bool shown = std::get<int>(v) != 0;
         if (s.control) {
             s.control->visible = shown;
             return 0;
         }
         s.notify = false;
         return s.model.showPanel(s.handle, shown);
     }},
    {ATTR_BACKCOLOR, "background", Int, true, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int { return getColour(backgroundOf(s), v); },
     [](S &s, const V &v) -> int { return setColour(backgroundOf(s), v); }},
    {ATTR_CONSTANT_NAME, "constant name", Text, true, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int {
         v = s.control ? s.control->constant : s.panel.constant;
         return 0;
     },
     [](S &s, const V &v) -> int {
         std::string_view name = std::get<std::string_view>(v);
         if (!text::isName(name)) return UIE_BAD_VALUE;
         if (!s.control) {
             s.panel.constant = name;
             return 0;
         }
         for (const auto &other : s.panel.controls) {
             if (other.id != s.control->id && other.constant == name) return UIE_BAD_VALUE;
         }
         s.control->constant = name;
         return 0;
     }},
    {ATTR_CALLBACK_NAME, "callback name", Text, true, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int {
         v = s.control ? s.control->callbackName : s.panel.callbackName;
         return 0;
     },
     [](S &s, const V &v) -> int {
         std::string_view name = std::get<std::string_view>(v);
         return s.control ? setCallbackName(s, *s.control, name)
                          : setCallbackName(s, s.panel, name);
     }},
    {ATTR_CALLBACK_FUNCTION_POINTER, "callback", Callback, true, kEveryKind, WriteOnly, false,
     nullptr,
     [](S &s, const V &v) -> int {
         return s.control ? setCallbackPointer(s, *s.control, v)
                          : setCallbackPointer(s, s.panel, v);
     }},
    {ATTR_CALLBACK_DATA, "callback data", Data, true, kEveryKind, WriteOnly, false,
     nullptr,
     [](S &s, const V &v) -> int {
         (s.control ? s.control->callbackData : s.panel.callbackData) = std::get<void *>(v);
         s.notify = false;
         return 0;
     }},

    // ---- Panels ----
    {ATTR_TITLE, "title", Text, true, kNone, ReadWrite, false,
     [](const R &s, V &v) -> int { v = s.panel.title; return 0; },
     [](S &s, const V &v) -> int { s.panel.title = std::get<std::string_view>(v); return 0; }},
    {ATTR_CLOSE_CTRL, "close control", Int, true, kNone, ReadWrite, false,
     [](const R &s, V &v) -> int { v = s.panel.closeControl; return 0; },
     [](S &s, const V &v) -> int {
         int id = std::get<int>(v);
         if (id != 0 && !s.panel.control(id)) return UIE_BAD_CONTROL;
         s.panel.closeControl = id;
         return 0;
     }},
    {ATTR_CENTER, "centre", Int, true, kNone, ReadWrite, false,
     [](const R &, V &v) -> int { v = 0; return 0; },
     [](S &s, const V &v) -> int {
         if (std::get<int>(v) == 0) {
             s.notify = false;
             return 0;
         }
         if (s.panel.parent != 0) return UIE_BAD_ATTRIBUTE;
         ScreenSize screen = s.model.view() ? s.model.view()->screen() : ScreenSize{};
         Geometry &g = s.panel.geometry;
         g.top = std::max(0, (screen.height - g.height) / 2);
         g.left = std::max(0, (screen.width - g.width) / 2);
         return 0;
     }},
    {ATTR_ACTIVE_CTRL, "active control", Int, true, kNone, ReadWrite, false,
     [](const R &s, V &v) -> int { v = s.panel.activeControl; return 0; },
     [](S &s, const V &v) -> int {
         int id = std::get<int>(v);
         if (!s.panel.control(id)) return UIE_BAD_CONTROL;
         s.panel.activeControl = id;
         return 0;
     }},
    {ATTR_RESOURCE_ID, "resource id", Int, true, kNone, ReadOnly, false,
     [](const R &s, V &v) -> int { v = s.panel.resourceId; return 0; }, nullptr},
    {ATTR_PANEL_PARENT, "parent panel", Int, true, kNone, ReadOnly, false,
     [](const R &s, V &v) -> int { v = s.panel.parent; return 0; }, nullptr},

    // ---- Controls ----
    {ATTR_TEXT_COLOR, "text colour", Int, false, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int { return getColour(s.control->textColor, v); },
     [](S &s, const V &v) -> int { return setColour(s.control->textColor, v); }},
    {ATTR_TEXT_BGCOLOR, "text background", Int, false, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int { return getColour(s.control->textBackground, v); },
     [](S &s, const V &v) -> int { return setColour(s.control->textBackground, v); }},
    {ATTR_DIMMED, "dimmed", Int, false, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int { v = int{s.control->dimmed}; return 0; },
     [](S &s, const V &v) -> int { s.control->dimmed = std::get<int>(v) != 0; return 0; }},
    {ATTR_LABEL_TEXT, "label", Text, false, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int { v = s.control->label; return 0; },
     [](S &s, const V &v) -> int { s.control->label = std::get<std::string_view>(v); return 0; }},
    {ATTR_MIN_VALUE, "min", Double, false, kNumeric, ReadWrite, false,
     [](const R &s, V &v) -> int { v = s.control->min; return 0; },
     [](S &s, const V &v) -> int { return setLimit(s, v, &Control::min); }},
    {ATTR_MAX_VALUE, "max", Double, false, kNumeric, ReadWrite, false,
     [](const R &s, V &v) -> int { v = s.control->max; return 0; },
     [](S &s, const V &v) -> int { return setLimit(s, v, &Control::max); }},
    {ATTR_CHECK_RANGE, "range check", Int, false, kNumeric, ReadWrite, false,
     [](const R &s, V &v) -> int {
         v = s.control->keepOutOfRange ? VAL_IGNORE : VAL_COERCE;
         return 0;
     },
     [](S &s, const V &v) -> int {
         const int value = std::get<int>(v);
         if (value != VAL_COERCE && value != VAL_IGNORE) return UIE_BAD_VALUE;
         if (!s.control->isNumeric()) return UIE_BAD_ATTRIBUTE;
         s.control->keepOutOfRange = value == VAL_IGNORE;
         // Coercing from now on applies to the value held too.
         s.model.setNumber(s.handle, s.control->id, s.control->number);
         return 0;
     }},
    {ATTR_INCR_VALUE, "step", Double, false, kNumeric, ReadWrite, false,
     [](const R &s, V &v) -> int { v = s.control->step; return 0; },
     [](S &s, const V &v) -> int { return setLimit(s, v, &Control::step); }},
    {ATTR_FORMAT, "format", Int, false, kNumeric, ReadWrite, false,
     [](const R &s, V &v) -> int { v = formatToApi(s.control->format); return 0; },
     [](S &s, const V &v) -> int { return setFormat(*s.control, std::get<int>(v)); }},
    {ATTR_PRECISION, "precision", Int, false, kNumeric, ReadWrite, false,
     [](const R &s, V &v) -> int { v = s.control->precision; return 0; },
     [](S &s, const V &v) -> int {
         int value = std::get<int>(v);
         if (value < 0 || value > 15) return UIE_BAD_VALUE;
         s.control->precision = value;
         return 0;
     }},
    {ATTR_CTRL_MODE, "mode", Int, false, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int {
         Mode mode = s.control->mode;
         v = mode == Mode::Hot ? VAL_HOT : mode == Mode::Indicator ? VAL_INDICATOR : 0;
         return 0;
     },
     [](S &s, const V &v) -> int {
         Control &c = *s.control;
         if (c.mode == Mode::None || kindInfo(c.kind).modes != ModeRule::HotOrIndicator) {
             return UIE_BAD_ATTRIBUTE;
         }
         int value = std::get<int>(v);
         if (value != VAL_HOT && value != VAL_INDICATOR) return UIE_BAD_VALUE;
         c.mode = value == VAL_HOT ? Mode::Hot : Mode::Indicator;
         return 0;
     }},
    {ATTR_DATA_TYPE, "data type", Int, false, kEveryKind, ReadOnly, false,
     [](const R &s, V &v) -> int { v = typeToApi(s.control->type); return 0; }, nullptr},
    {ATTR_CTRL_KIND, "kind", Int, false, kEveryKind, ReadOnly, false,
     [](const R &s, V &v) -> int { v = kindInfo(s.control->kind).api; return 0; }, nullptr},
    {ATTR_FIRST_VISIBLE_LINE, "first visible line", Int, false, kindBit(Kind::TextBox), ReadWrite,
     true,
     [](const R &s, V &v) -> int { v = s.control->firstVisibleLine; return 0; },
     [](S &s, const V &v) -> int {
         s.notify = false;
         return s.model.setFirstVisibleLine(s.handle, s.control->id, std::get<int>(v));
     }},
    {ATTR_VISIBLE_LINES, "visible lines", Int, false, kindBit(Kind::TextBox), ReadOnly, false,
     [](const R &s, V &v) -> int { v = Model::visibleLines(*s.control); return 0; }, nullptr},
    {ATTR_MAX_ENTRY_LENGTH, "max length", Int, false, kindBit(Kind::String), ReadWrite, false,
     [](const R &s, V &v) -> int { v = s.control->maxLength; return 0; },
     [](S &s, const V &v) -> int {
         int value = std::get<int>(v);
         if (value < 0) return UIE_BAD_VALUE;
         s.control->maxLength = value;
         return 0;
     }},
    {ATTR_TEXT_FONT, "font", Text, false, kEveryKind, ReadWrite, false,
     [](const R &s, V &v) -> int { v = s.control->font; return 0; },
     [](S &s, const V &v) -> int {
         std::string_view font = std::get<std::string_view>(v);
         if (font.empty()) return UIE_BAD_VALUE;
         s.control->font = font;
         return 0;
     }},
    {ATTR_CTRL_INDEX, "index", Int, false,
     kindBit(Kind::Ring) | kindBit(Kind::ListBox) | kindBit(Kind::Tab), ReadWrite, true,
     [](const R &s, V &v) -> int { v = s.control->index; return 0; },
     [](S &s, const V &v) -> int {
         s.notify = false;
         return s.model.setIndex(s.handle, s.control->id, std::get<int>(v));
     }},
};
// clang-format on

constexpr int kIdLimit = 64;
static_assert(std::all_of(std::begin(kAttributes), std::end(kAttributes),
                          [](const AttributeInfo &a) { return a.id > 0 && a.id < kIdLimit; }));

AttrType typeOf(const AttrValue &value) {
    switch (value.index()) {
        case 0:
            return AttrType::Int;
        case 1:
            return AttrType::Double;
        case 2:
            return AttrType::Text;
        case 3:
            return AttrType::Data;
        default:
            return AttrType::Callback;
    }
}

}  // namespace

std::span<const AttributeInfo> attributes() {
    return kAttributes;
}

const AttributeInfo *findAttribute(int id) {
    // The program sets attributes in its loops: a row is found by index, not by a search.
    static const auto byId = [] {
        std::array<const AttributeInfo *, kIdLimit> rows{};
        for (const auto &a : kAttributes)
            rows[static_cast<std::size_t>(a.id)] = &a;
        return rows;
    }();
    return id > 0 && id < kIdLimit ? byId[static_cast<std::size_t>(id)] : nullptr;
}

bool appliesTo(const AttributeInfo &attribute, const Control *control) {
    return control ? (attribute.kinds & kindBit(control->kind)) != 0 : attribute.onPanels;
}

int Model::setPanelAttribute(int handle, int attribute, const AttrValue &value) {
    return writeAttribute(handle, std::nullopt, attribute, value);
}

int Model::setControlAttribute(int handle, int id, int attribute, const AttrValue &value) {
    return writeAttribute(handle, id, attribute, value);
}

int Model::getPanelAttribute(int handle, int attribute, AttrType type, AttrValue &value) const {
    return readAttribute(handle, std::nullopt, attribute, type, value);
}

int Model::getControlAttribute(int handle, int id, int attribute, AttrType type,
                               AttrValue &value) const {
    return readAttribute(handle, id, attribute, type, value);
}

int Model::writeAttribute(int handle, std::optional<int> id, int attribute,
                          const AttrValue &given) {
    Panel *p = panel(handle);
    if (!p) return UIE_BAD_PANEL;
    Control *c = nullptr;
    if (id) {
        c = p->control(*id);
        if (!c) return UIE_BAD_CONTROL;
    }
    const AttributeInfo *a = findAttribute(attribute);
    AttrValue converted;
    const AttrValue *value = &given;
    if (const double *d = std::get_if<double>(&given); d && (!a || a->type != AttrType::Double)) {
        // Any attribute but a double one takes a double only when it is a whole int.
        if (!(*d >= -2147483648.0 && *d <= 2147483647.0) || *d != std::floor(*d)) {
            return UIE_BAD_VALUE;
        }
        converted = static_cast<int>(*d);
        value = &converted;
    } else if (const int *i = std::get_if<int>(&given); i && a && a->type == AttrType::Double) {
        converted = static_cast<double>(*i);
        value = &converted;
    }
    if (!a || !a->set || a->type != typeOf(*value)) return UIE_BAD_ATTRIBUTE;
    if (!appliesTo(*a, c) && !(c && a->writeIsOperation)) return UIE_BAD_ATTRIBUTE;
    AttributeSubject subject{*this, handle, *p, c};
    if (int status = a->set(subject, *value)) return status;
    if (subject.notify) {
        if (c) {
            notifyControl(handle, c->id, ControlChange::Attributes);
        } else {
            notifyPanel(handle, PanelChange::Attributes);
        }
    }
    return 0;
}

int Model::readAttribute(int handle, std::optional<int> id, int attribute, AttrType type,
                         AttrValue &value) const {
    const Panel *p = panel(handle);
    if (!p) return UIE_BAD_PANEL;
    const Control *c = nullptr;
    if (id) {
        c = p->control(*id);
        if (!c) return UIE_BAD_CONTROL;
    }
    const AttributeInfo *a = findAttribute(attribute);
    if (!a || !a->get || a->type != type || !appliesTo(*a, c)) return UIE_BAD_ATTRIBUTE;
    return a->get(AttributeReading{*p, c}, value);
}

}  // namespace panel
