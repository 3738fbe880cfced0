// Fuzzes the operator-script reader and runs what it accepts against a small panel.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "panel/model.h"
#include "panel/resource.h"
#include "panel/script.h"
#include "panel/view.h"

namespace {

constexpr char kPanels[] = R"(uir 1
panel P 1
  title "t"
  geometry 0 0 300 200
  control B 2 button
    label "b"
    geometry 0 0 50 20
  end
  control N 3 numeric
    mode hot
    type short
    min -5
    max 5
    label "n"
    geometry 40 0 50 20
  end
  control S 4 string
    mode hot
    max-length 4
    label "s"
    geometry 80 0 50 20
  end
  control L 5 listbox
    mode hot
    type int
    item "a" 1
    item "b" 2
    geometry 110 0 80 60
  end
end
)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view text(reinterpret_cast<const char *>(data), size);
    panel::Script script;
    std::string error;
    if (!panel::parseScript(text, "fuzz.txt", script, error)) {
        if (error.rfind("fuzz.txt:", 0) != 0) __builtin_trap();
        return 0;
    }
    static std::FILE *sink = std::fopen("/dev/null", "w");
    panel::Resource resource;
    if (!panel::parseResource(kPanels, "p.uir", resource, error)) __builtin_trap();
    panel::Model model;
    panel::HeadlessView view;
    model.setView(&view);
    int handle = panel::buildPanel(model, resource, 1, 0, {}, error);
    model.showPanel(handle, true);
    panel::ScriptRunner runner(model, std::move(script), "", sink ? sink : stdout);
    int guard = 0;
    while (runner.step() != panel::ScriptRunner::Step::Exhausted && guard++ < 10000) {
        model.dispatch();
        std::string path;
        if (guard % 7 == 0) runner.answerFileDialog(path);
    }
    return 0;
}
