// Fuzzes the panel resource reader and, for what it accepts, building every panel.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "panel/model.h"
#include "panel/resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view text(reinterpret_cast<const char *>(data), size);
    panel::Resource resource;
    std::string error;
    if (!panel::parseResource(text, "fuzz.uir", resource, error)) {
        // Every refusal names the file and a line.
        if (error.rfind("fuzz.uir:", 0) != 0) __builtin_trap();
        return 0;
    }
    panel::Model model;
    auto anyCallback = [](const std::string &name, CtrlCallbackPtr *, PanelCallbackPtr *) {
        return name.empty();  // every name unknown: the build must refuse cleanly
    };
    for (const auto &def : resource.panels) {
        std::string why;
        int handle = panel::buildPanel(model, resource, def.resourceId, 0, anyCallback, why);
        if (handle > 0) model.discardPanel(handle);
    }
    return 0;
}
