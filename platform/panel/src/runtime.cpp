// The C-style run-time over the model: one global run-time on the user-interface thread. This
// part starts and ends it and keeps the callback table; the others live beside it by concern.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "panel/model.h"
#include "runtime_internal.h"
#include "trl4/utf8.h"
#include "userint.h"

using panel::Control;
using namespace panel::rt;

namespace panel::rt {

std::unique_ptr<Runtime> g_runtime;
std::string g_error;

namespace {

std::map<std::string, CallbackTableEntry, std::less<>> &callbackTable() {
    static std::map<std::string, CallbackTableEntry, std::less<>> table;
    return table;
}

void checkScriptLeftOver() {
    if (!g_runtime || !g_runtime->script || g_runtime->script->exhausted()) return;
    const panel::Action *next = g_runtime->script->nextAction();
    endScriptedRun(2, g_runtime->script->name() + ":" + std::to_string(next->line) +
                          ": the program ended before this action");
}

void atExit() {
    checkScriptLeftOver();
    g_runtime.reset();
}

bool displayAvailable() {
#ifdef _WIN32
    return true;  // a Windows program always has its desktop
#endif
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char *value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

[[noreturn]] void endScriptedRun(int status, const std::string &why) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", why.c_str());
    std::fflush(stderr);
    std::_Exit(status);
}

int copyText(std::string_view text, char *buffer, std::size_t size) {
    if (!buffer || size == 0) return UIE_BAD_ARGUMENT;
    if (text.size() < size) {
        std::memcpy(buffer, text.data(), text.size());
        buffer[text.size()] = '\0';
        return 0;
    }
    const std::size_t n = trl4::utf8::fitBytes(text, size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return UIE_BUFFER_TOO_SMALL;
}

int find(int panel, int control, const Panel **p, const Control **c) {
    if (!g_runtime) return UIE_NOT_INITIALISED;
    *p = g_runtime->model.panel(panel);
    if (!*p) return UIE_BAD_PANEL;
    if (c) {
        *c = (*p)->control(control);
        if (!*c) return UIE_BAD_CONTROL;
    }
    return 0;
}

bool lookupCallback(const std::string &name, CtrlCallbackPtr *control, PanelCallbackPtr *panelCb) {
    auto &table = callbackTable();
    auto it = table.find(name);
    if (it == table.end()) return false;
    *control = it->second.control;
    *panelCb = it->second.panel;
    return true;
}

}  // namespace panel::rt

// ---- Statuses ------------------------------------------------------------------------------

const char *GetPanelStatusText(int status) {
    switch (status) {
        case UIE_NO_ERROR:
            return "no error";
        case UIE_NOT_INITIALISED:
            return "the panel run-time is not initialised";
        case UIE_BAD_PANEL:
            return "no such panel";
        case UIE_BAD_CONTROL:
            return "no such control, or not one of this kind";
        case UIE_BAD_ATTRIBUTE:
            return "attribute not valid here";
        case UIE_BAD_VALUE:
            return "value not valid for the control";
        case UIE_BAD_ARGUMENT:
            return "bad argument";
        case UIE_FILE:
            return "panel resource file missing or unreadable";
        case UIE_RESOURCE:
            return "panel resource file invalid";
        case UIE_NO_SUCH_RESOURCE:
            return "no panel with that resource id";
        case UIE_CALLBACK:
            return "callback not registered, or of the wrong kind";
        case UIE_INDEX:
            return "index out of range";
        case UIE_BUFFER_TOO_SMALL:
            return "buffer too small; text truncated";
        case UIE_POPUP:
            return "pop-up cannot be installed or removed";
        case UIE_NO_ITEMS:
            return "the list has no items";
        case UIE_BUSY:
            return "the panel is being discarded";
        case UIE_SCRIPT:
            return "operator script failed";
        case UIE_VIEW:
            return "view not available";
        case UIE_OUT_OF_MEMORY:
            return "out of memory";
        default:
            return "unknown status";
    }
}

const char *GetPanelErrorText() {
    return g_error.c_str();
}

int RegisterCallbackTable(const CallbackTableEntry *entries, size_t count) {
    return guarded([&]() -> int {
        if (!entries && count > 0) return UIE_BAD_ARGUMENT;
        for (size_t i = 0; i < count; ++i) {
            const CallbackTableEntry &e = entries[i];
            if (!e.name || !*e.name || (e.control == nullptr) == (e.panel == nullptr)) {
                return UIE_BAD_ARGUMENT;
            }
        }
        for (size_t i = 0; i < count; ++i)
            callbackTable()[entries[i].name] = entries[i];
        return 0;
    });
}

// ---- Start and end -------------------------------------------------------------------------

int InitPanelRuntime(int argc, char **argv, PanelViewFactory qtFactory) {
    return guarded([&]() -> int {
        if (g_runtime) ClosePanelRuntime();
        if (argc < 0 || (argc > 0 && !argv)) return UIE_BAD_ARGUMENT;
        auto rt = std::make_unique<Runtime>();
        std::string viewName;
        std::string scriptFile;
        auto fail = [&](int status, const std::string &why) {
            g_error = why;
            std::fprintf(stderr, "%s\n", why.c_str());
            return status;
        };
        rt->args.emplace_back(argc > 0 && argv[0] ? argv[0] : "p_trl4");
        for (int i = 1; i < argc; ++i) {
            std::string arg = argv[i] ? argv[i] : "";
            std::string *target = nullptr;
            std::string option;
            for (const char *name : {"--script", "--view", "--shots"}) {
                std::string n(name);
                if (arg == n || arg.rfind(n + "=", 0) == 0) option = n;
            }
            if (option.empty()) {
                rt->args.push_back(arg);
                continue;
            }
            target = option == "--script" ? &scriptFile
                     : option == "--view" ? &viewName
                                          : &rt->shots;
            if (arg.size() > option.size()) {
                *target = arg.substr(option.size() + 1);
            } else if (i + 1 < argc && argv[i + 1]) {
                *target = argv[++i];
            } else {
                return fail(UIE_BAD_ARGUMENT, option + " needs a value");
            }
            if (target->empty()) return fail(UIE_BAD_ARGUMENT, option + " needs a value");
        }
        for (auto &arg : rt->args)
            rt->argv.push_back(arg.data());
        rt->argc = static_cast<int>(rt->args.size());
        rt->argv.push_back(nullptr);

        if (!viewName.empty() && viewName != "qt" && viewName != "win32" &&
            viewName != "headless") {
            return fail(UIE_BAD_ARGUMENT, "--view takes headless, qt or win32, not " + viewName);
        }
        bool explicitView = !viewName.empty();
        if (viewName.empty())
            viewName = displayAvailable() && qtFactory ? panel::windowViewName() : "headless";
        if (viewName != "headless") {
            const std::string title = viewName == "qt" ? "Qt" : "Win32";
            if (!qtFactory)
                return fail(UIE_VIEW, "the " + title + " view is not part of this program");
            std::unique_ptr<panel::View> view(qtFactory(rt->model, rt->argc, rt->argv.data()));
            const std::string made = view ? view->name() : "";
            if ((made == "qt" || made == "win32") && made != viewName) {
                return fail(UIE_VIEW, "the " + title + " view is not part of this program");
            }
            if (view) {
                rt->view = std::move(view);
            } else if (explicitView) {
                return fail(UIE_VIEW, "the " + title + " view cannot start (no display?)");
            } else {
                std::fprintf(stderr, "the %s view cannot start; running without a display\n",
                             title.c_str());
            }
        }
        if (!rt->view) rt->view = std::make_unique<panel::HeadlessView>();
        rt->model.setView(rt->view.get());
        rt->model.setCallbackLookup(lookupCallback);

        if (!scriptFile.empty()) {
            panel::Script script;
            std::string why;
            if (!panel::loadScriptFile(scriptFile, script, why)) endScriptedRun(2, why);
            rt->script =
                std::make_unique<panel::ScriptRunner>(rt->model, std::move(script), rt->shots);
        }
        static bool registered = false;
        if (!registered) {
            std::atexit(atExit);
            registered = true;
        }
        g_runtime = std::move(rt);
        return 0;
    });
}

int ClosePanelRuntime() {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        checkScriptLeftOver();
        for (int handle : g_runtime->model.panelHandles()) {
            const panel::Panel *p = g_runtime->model.panel(handle);
            if (p && p->parent == 0) g_runtime->model.discardPanel(handle);
        }
        g_runtime.reset();
        return 0;
    });
}
