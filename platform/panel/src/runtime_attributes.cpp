// Panel and control attributes: the typed entry points over the model's attribute table.
#include <optional>
#include <string_view>
#include <variant>

#include "panel/model.h"
#include "runtime_internal.h"
#include "userint.h"

using panel::AttrType;
using panel::AttrValue;
using namespace panel::rt;

namespace {

int setPanel(int panel, int attribute, const AttrValue &value) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.setPanelAttribute(panel, attribute, value);
    });
}

int setControl(int panel, int control, int attribute, const AttrValue &value) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.setControlAttribute(panel, control, attribute, value);
    });
}

// A null text is refused once the panel and control are known to exist.
int nullText(int panel, std::optional<int> control) {
    const panel::Panel *p = nullptr;
    const panel::Control *c = nullptr;
    if (int status = find(panel, control.value_or(0), &p, control ? &c : nullptr)) return status;
    return UIE_BAD_ARGUMENT;
}

// No control: the panel's own attribute.
template <typename T>
int getNumber(int panel, std::optional<int> control, int attribute, AttrType type, T *out) {
    return guarded([&]() -> int {
        if (!out) return UIE_BAD_ARGUMENT;
        if (!g_runtime) return UIE_NOT_INITIALISED;
        AttrValue value;
        const panel::Model &model = g_runtime->model;
        int status = control ? model.getControlAttribute(panel, *control, attribute, type, value)
                             : model.getPanelAttribute(panel, attribute, type, value);
        if (status) return status;
        *out = std::get<T>(value);
        return 0;
    });
}

int getText(int panel, std::optional<int> control, int attribute, char *buffer, size_t size) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        AttrValue value;
        const panel::Model &model = g_runtime->model;
        int status =
            control ? model.getControlAttribute(panel, *control, attribute, AttrType::Text, value)
                    : model.getPanelAttribute(panel, attribute, AttrType::Text, value);
        if (status) return status;
        return copyText(std::get<std::string_view>(value), buffer, size);
    });
}

}  // namespace

int SetPanelAttribute(int panel, int attribute, int value) {
    return setPanel(panel, attribute, value);
}

int SetPanelAttribute(int panel, int attribute, const char *value) {
    if (!value) return guarded([&] { return nullText(panel, std::nullopt); });
    return setPanel(panel, attribute, std::string_view(value));
}

int SetPanelAttribute(int panel, int attribute, void *value) {
    return setPanel(panel, attribute, value);
}

int SetPanelAttribute(int panel, int attribute, PanelCallbackPtr value) {
    return setPanel(panel, attribute, value);
}

int GetPanelAttribute(int panel, int attribute, int *value) {
    return getNumber(panel, std::nullopt, attribute, AttrType::Int, value);
}

int GetPanelAttribute(int panel, int attribute, char *buffer, size_t size) {
    return getText(panel, std::nullopt, attribute, buffer, size);
}

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    return setControl(panel, control, attribute, value);
}

int SetCtrlAttribute(int panel, int control, int attribute, double value) {
    return setControl(panel, control, attribute, value);
}

int SetCtrlAttribute(int panel, int control, int attribute, const char *value) {
    if (!value) return guarded([&] { return nullText(panel, control); });
    return setControl(panel, control, attribute, std::string_view(value));
}

int SetCtrlAttribute(int panel, int control, int attribute, void *value) {
    return setControl(panel, control, attribute, value);
}

int SetCtrlAttribute(int panel, int control, int attribute, CtrlCallbackPtr value) {
    return setControl(panel, control, attribute, value);
}

int GetCtrlAttribute(int panel, int control, int attribute, int *value) {
    return getNumber(panel, control, attribute, AttrType::Int, value);
}

int GetCtrlAttribute(int panel, int control, int attribute, double *value) {
    return getNumber(panel, control, attribute, AttrType::Double, value);
}

int GetCtrlAttribute(int panel, int control, int attribute, char *buffer, size_t size) {
    return getText(panel, control, attribute, buffer, size);
}
