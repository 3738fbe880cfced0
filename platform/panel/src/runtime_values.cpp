// Controls and their values: new controls, typed values, lists and text boxes.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "panel/kinds.h"
#include "panel/model.h"
#include "runtime_internal.h"
#include "text.h"
#include "userint.h"

using panel::Control;
using panel::DataType;
using panel::Kind;
using namespace panel::rt;

namespace {

int numericValue(const Control &c, double &value, bool &integral) {
    integral = c.type != DataType::Double;
    switch (c.kind) {
        case Kind::Numeric:
        case Kind::CheckBox:
            if (!c.isNumeric()) return UIE_BAD_VALUE;
            value = c.number;
            return 0;
        case Kind::Ring:
        case Kind::ListBox:
            if (c.type == DataType::Text) return UIE_BAD_VALUE;
            if (c.items.empty() || c.index < 0) return UIE_NO_ITEMS;
            value = c.items[static_cast<std::size_t>(c.index)].number;
            return 0;
        case Kind::Tab:
            integral = true;
            value = c.index;
            return 0;
        default:
            return UIE_BAD_VALUE;
    }
}

template <typename T>
int getInteger(int panel, int control, T *out, double lo, double hi) {
    return guarded([&]() -> int {
        if (!out) return UIE_BAD_ARGUMENT;
        const panel::Panel *p = nullptr;
        const Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        double value = 0.0;
        bool integral = false;
        if (int status = numericValue(*c, value, integral)) return status;
        if (!integral || value != std::floor(value) || value < lo || value > hi) {
            return UIE_BAD_VALUE;
        }
        *out = static_cast<T>(value);
        return 0;
    });
}

int setNumber(int panel, int control, double value) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.setNumber(panel, control, value);
    });
}

int insertItem(int panel, int control, int index, const char *label, double number,
               const char *textValue) {
    return guarded([&]() -> int {
        const panel::Panel *p = nullptr;
        const Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (!panel::kindInfo(c->kind).hasItems) return UIE_BAD_CONTROL;
        panel::Item item;
        item.label = label ? label : "";
        if (textValue) {
            if (c->type != DataType::Text) return UIE_BAD_VALUE;
            item.text = textValue;
        } else {
            if (c->type == DataType::Text || std::isnan(number)) return UIE_BAD_VALUE;
            if (number < panel::typeMin(c->type) || number > panel::typeMax(c->type)) {
                return UIE_BAD_VALUE;
            }
            if (c->type != DataType::Double && number != std::floor(number)) return UIE_BAD_VALUE;
            item.number = number;
        }
        return g_runtime->model.insertItem(panel, control, index, std::move(item));
    });
}

// Limits changed: the value follows them, as the operator would see it.

}  // namespace

int NewCtrl(int panel, int kind, const char *label, int top, int left) {
    return guarded([&]() -> int {
        const panel::Panel *p = nullptr;
        if (int status = find(panel, 0, &p, nullptr)) return status;
        const panel::KindInfo *info = panel::kindByApi(kind);
        if (!info || info->newWidth == 0) return UIE_BAD_ARGUMENT;  // tabs come only from resources
        Control c;
        c.kind = info->kind;
        c.type = info->newType;
        c.mode = info->modes == panel::ModeRule::None ? panel::Mode::None : panel::Mode::Hot;
        c.label = label ? label : "";
        c.geometry = {top, left, info->newWidth, info->newHeight};
        if (info->types == panel::TypeRule::Flag) {
            c.min = 0;
            c.max = 1;
        }
        if (c.kind == Kind::TextMessage) {  // its label is the text it shows
            c.text = c.defaultText = c.label;
            c.label.clear();
        }
        return g_runtime->model.addControl(panel, std::move(c));
    });
}

int SetCtrlVal(int panel, int control, int value) {
    return setNumber(panel, control, static_cast<double>(value));
}

int SetCtrlVal(int panel, int control, double value) {
    return setNumber(panel, control, value);
}

int SetCtrlVal(int panel, int control, const char *value) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        if (!value) return UIE_BAD_ARGUMENT;
        return g_runtime->model.setText(panel, control, value);
    });
}

int GetCtrlVal(int panel, int control, int *value) {
    return getInteger(panel, control, value, -2147483648.0, 2147483647.0);
}

int GetCtrlVal(int panel, int control, unsigned short *value) {
    return getInteger(panel, control, value, 0.0, 65535.0);
}

int GetCtrlVal(int panel, int control, short *value) {
    return getInteger(panel, control, value, -32768.0, 32767.0);
}

int GetCtrlVal(int panel, int control, double *value) {
    return guarded([&]() -> int {
        if (!value) return UIE_BAD_ARGUMENT;
        const panel::Panel *p = nullptr;
        const Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        double v = 0.0;
        bool integral = false;
        if (int status = numericValue(*c, v, integral)) return status;
        *value = v;
        return 0;
    });
}

int GetCtrlVal(int panel, int control, char *buffer, size_t size) {
    return guarded([&]() -> int {
        const panel::Panel *p = nullptr;
        const Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        switch (c->kind) {
            case Kind::String:
            case Kind::TextMessage:
                return copyText(c->text, buffer, size);
            case Kind::TextBox:
                return copyText(panel::text::joinLines(c->lines), buffer, size);
            case Kind::Ring:
            case Kind::ListBox:
                if (c->type != DataType::Text) return UIE_BAD_VALUE;
                if (c->items.empty() || c->index < 0) return UIE_NO_ITEMS;
                return copyText(c->items[static_cast<std::size_t>(c->index)].text, buffer, size);
            default:
                return UIE_BAD_VALUE;
        }
    });
}

int DefaultCtrl(int panel, int control) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.resetControl(panel, control);
    });
}

int SetActiveCtrl(int panel, int control) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.setPanelAttribute(panel, ATTR_ACTIVE_CTRL, control);
    });
}

// ---- Lists and text boxes ----------------------------------------------------------------

int ClearListCtrl(int panel, int control) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.clearItems(panel, control);
    });
}

int InsertListItem(int panel, int control, int index, const char *label, int value) {
    return insertItem(panel, control, index, label, static_cast<double>(value), nullptr);
}

int InsertListItem(int panel, int control, int index, const char *label, double value) {
    return insertItem(panel, control, index, label, value, nullptr);
}

int InsertListItem(int panel, int control, int index, const char *label, const char *value) {
    if (!value) return UIE_BAD_ARGUMENT;
    return insertItem(panel, control, index, label, 0.0, value);
}

int GetNumListItems(int panel, int control, int *count) {
    return guarded([&]() -> int {
        if (!count) return UIE_BAD_ARGUMENT;
        const panel::Panel *p = nullptr;
        const Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (!panel::kindInfo(c->kind).hasItems) return UIE_BAD_CONTROL;
        *count = static_cast<int>(c->items.size());
        return 0;
    });
}

int GetCtrlIndex(int panel, int control, int *index) {
    return guarded([&]() -> int {
        if (!index) return UIE_BAD_ARGUMENT;
        const panel::Panel *p = nullptr;
        const Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (!panel::kindInfo(c->kind).hasIndex) return UIE_BAD_CONTROL;
        *index = c->index;
        return 0;
    });
}

int SetCtrlIndex(int panel, int control, int index) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.setIndex(panel, control, index);
    });
}

int InsertTextBoxLine(int panel, int control, int index, const char *text) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        if (!text) return UIE_BAD_ARGUMENT;
        return g_runtime->model.insertLines(panel, control, index, text);
    });
}

int GetNumTextBoxLines(int panel, int control, int *count) {
    return guarded([&]() -> int {
        if (!count) return UIE_BAD_ARGUMENT;
        const panel::Panel *p = nullptr;
        const Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (c->kind != Kind::TextBox) return UIE_BAD_CONTROL;
        *count = static_cast<int>(std::min<std::size_t>(c->lines.size(), 2147483647u));
        return 0;
    });
}

int ResetTextBox(int panel, int control, const char *text) {
    return guarded([&]() -> int {
        const panel::Panel *p = nullptr;
        const Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (c->kind != Kind::TextBox) return UIE_BAD_CONTROL;
        return g_runtime->model.setText(panel, control, text ? text : "");
    });
}
