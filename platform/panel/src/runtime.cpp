// The C-style run-time over the model: one global run-time on the user-interface thread.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "panel/model.h"
#include "panel/program_files.h"
#include "panel/resource.h"
#include "panel/script.h"
#include "panel/view.h"
#include "text.h"
#include "userint.h"

using panel::Control;
using panel::ControlChange;
using panel::DataType;
using panel::Kind;
using panel::PanelChange;

namespace {

using Clock = std::chrono::steady_clock;

// How long an idle wait blocks at most when no input comes: briefly just after activity, so a
// caller's own time checks stay timely, then longer the longer nothing happens.
constexpr std::chrono::milliseconds kFirstIdleWait{2};
constexpr std::chrono::milliseconds kLongestIdleWait{50};

struct Runtime {
    panel::Model model;  // first: destroyed last
    std::unique_ptr<panel::View> view;
    std::unique_ptr<panel::ScriptRunner> script;
    std::string shots;
    std::vector<std::string> args;
    std::vector<char *> argv;
    int argc = 0;
    std::map<std::string, panel::Resource> resources;
    bool haveLast = false;
    Clock::time_point lastReturn;
    std::chrono::milliseconds idleWait = kFirstIdleWait;
    std::optional<Clock::time_point> exhaustedSince;

    ~Runtime() {
        model.setView(nullptr);
        script.reset();
        view.reset();
    }
};

std::unique_ptr<Runtime> g_runtime;
std::string g_error;

std::map<std::string, CallbackTableEntry, std::less<>> &callbackTable() {
    static std::map<std::string, CallbackTableEntry, std::less<>> table;
    return table;
}

// Runs an API body; nothing thrown leaves the C interface.
template <typename F>
int guarded(F &&body) {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return UIE_OUT_OF_MEMORY;
    } catch (...) {
        return UIE_BAD_ARGUMENT;
    }
}

[[noreturn]] void endScriptedRun(int status, const std::string &why) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", why.c_str());
    std::fflush(stderr);
    std::_Exit(status);
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

int copyText(const std::string &text, char *buffer, std::size_t size) {
    if (!buffer || size == 0) return UIE_BAD_ARGUMENT;
    if (text.size() < size) {
        std::memcpy(buffer, text.data(), text.size());
        buffer[text.size()] = '\0';
        return 0;
    }
    // Cut at a character boundary so the reader never gets half a character.
    std::size_t n = size - 1;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return UIE_BUFFER_TOO_SMALL;
}

// Resolves the panel and control of a call; returns 0 or the status to report.
int find(int panel, int control, panel::Panel **p, Control **c) {
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

// The interactive view this platform's programs link: the factory the program passes.
#ifdef _WIN32
constexpr const char *kWindowView = "win32";
#else
constexpr const char *kWindowView = "qt";
#endif

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

int kindToApi(Kind kind) {
    switch (kind) {
        case Kind::Button:
            return CTRL_COMMAND_BUTTON;
        case Kind::Numeric:
            return CTRL_NUMERIC;
        case Kind::String:
            return CTRL_STRING;
        case Kind::TextMessage:
            return CTRL_TEXT_MSG;
        case Kind::TextBox:
            return CTRL_TEXT_BOX;
        case Kind::Ring:
            return CTRL_RING;
        case Kind::ListBox:
            return CTRL_LIST_BOX;
        case Kind::Tab:
            return CTRL_TAB;
        case Kind::Picture:
            return CTRL_PICTURE;
        case Kind::Decoration:
            return CTRL_DECORATION;
        case Kind::Splitter:
            return CTRL_SPLITTER;
    }
    return 0;
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

int formatToApi(panel::Format format) {
    switch (format) {
        case panel::Format::Integer:
            return VAL_DECIMAL_FORMAT;
        case panel::Format::Fixed:
            return VAL_FLOATING_PT_FORMAT;
        case panel::Format::Exponent:
            return VAL_SCIENTIFIC_FORMAT;
        case panel::Format::Engineering:
            return VAL_ENGINEERING_FORMAT;
    }
    return VAL_FLOATING_PT_FORMAT;
}

bool isColour(int value) {
    return value >= 0 && value <= 0xFFFFFF;
}

bool isDoubleAttribute(int attribute) {
    return attribute == ATTR_MIN_VALUE || attribute == ATTR_MAX_VALUE ||
           attribute == ATTR_INCR_VALUE;
}

// Geometry, colours and callbacks mean the same on panels and controls, so both attribute
// families go through these.
int setGeometry(panel::Geometry &g, int attribute, int value) {
    switch (attribute) {
        case ATTR_TOP:
            g.top = value;
            return 0;
        case ATTR_LEFT:
            g.left = value;
            return 0;
        case ATTR_WIDTH:
            if (value < 1) return UIE_BAD_VALUE;
            g.width = value;
            return 0;
        case ATTR_HEIGHT:
            if (value < 1) return UIE_BAD_VALUE;
            g.height = value;
            return 0;
        default:
            return UIE_BAD_ATTRIBUTE;
    }
}

int geometryValue(const panel::Geometry &g, int attribute) {
    switch (attribute) {
        case ATTR_TOP:
            return g.top;
        case ATTR_LEFT:
            return g.left;
        case ATTR_WIDTH:
            return g.width;
        default:  // ATTR_HEIGHT
            return g.height;
    }
}

int setColour(std::uint32_t &colour, int value) {
    if (!isColour(value)) return UIE_BAD_VALUE;
    colour = static_cast<std::uint32_t>(value);
    return 0;
}

std::uint32_t &controlColour(Control &c, int attribute) {
    return attribute == ATTR_TEXT_COLOR     ? c.textColor
           : attribute == ATTR_TEXT_BGCOLOR ? c.textBackground
                                            : c.background;
}

// An empty name removes the callback; otherwise the name must be registered with a callback of
// the owner's kind.
template <typename Owner>
int setCallbackName(Owner &owner, const char *name) {
    if (!*name) {
        owner.callback = nullptr;
        owner.callbackName.clear();
        return 0;
    }
    CtrlCallbackPtr control = nullptr;
    PanelCallbackPtr panelCb = nullptr;
    if (!lookupCallback(name, &control, &panelCb)) return UIE_CALLBACK;
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

template <typename Owner, typename Callback>
int setCallbackPointer(Owner &owner, int attribute, Callback value) {
    if (attribute != ATTR_CALLBACK_FUNCTION_POINTER) return UIE_BAD_ATTRIBUTE;
    owner.callback = value;
    owner.callbackName.clear();
    return 0;
}

// The numeric value a control holds, for GetCtrlVal.
int numericValue(const Control &c, double &value, bool &integral) {
    integral = c.type != DataType::Double;
    switch (c.kind) {
        case Kind::Numeric:
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
        panel::Panel *p = nullptr;
        Control *c = nullptr;
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
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (c->kind != Kind::Ring && c->kind != Kind::ListBox) return UIE_BAD_CONTROL;
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
void reclamp(int panel, Control &c) {
    if (c.kind == Kind::Numeric && c.isNumeric() && c.min <= c.max) {
        g_runtime->model.setNumber(panel, c.id, c.number);
    }
}

}  // namespace

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
        if (viewName.empty()) viewName = displayAvailable() && qtFactory ? kWindowView : "headless";
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

// ---- Panels --------------------------------------------------------------------------------

int LoadPanel(int parent, const char *fileName, int resourceId) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        if (!fileName || !*fileName) return UIE_BAD_ARGUMENT;
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::path path(fileName);
        if (path.is_relative() && !fs::exists(path, ec)) {
            fs::path installed = panel::findProgramFile(path);
            if (!installed.empty()) path = installed;
        }
        std::string key = path.lexically_normal().string();
        auto cached = g_runtime->resources.find(key);
        if (cached == g_runtime->resources.end()) {
            panel::Resource resource;
            std::string why;
            if (!fs::exists(path, ec)) {
                g_error = std::string(fileName) + ": cannot open the panel resource";
                std::fprintf(stderr, "%s\n", g_error.c_str());
                return UIE_FILE;
            }
            if (!panel::loadResourceFile(path.string(), resource, why)) {
                g_error = why;
                std::fprintf(stderr, "%s\n", why.c_str());
                return why.rfind(path.string() + ": cannot", 0) == 0 ? UIE_FILE : UIE_RESOURCE;
            }
            cached = g_runtime->resources.emplace(key, std::move(resource)).first;
        }
        std::string why;
        int handle = panel::buildPanel(g_runtime->model, cached->second, resourceId, parent,
                                       lookupCallback, why);
        if (handle < 0) {
            g_error = why;
            std::fprintf(stderr, "%s\n", why.c_str());
        }
        return handle;
    });
}

int NewPanel(int parent, const char *title, int top, int left, int height, int width) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        if (height < 1 || width < 1) return UIE_BAD_ARGUMENT;
        if (parent != 0 && !g_runtime->model.panel(parent)) return UIE_BAD_PANEL;
        panel::Panel p;
        p.parent = parent;
        p.title = title ? title : "";
        p.geometry = {top, left, width, height};
        return g_runtime->model.addPanel(std::move(p));
    });
}

int DiscardPanel(int panel) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        if (int status = find(panel, 0, &p, nullptr)) return status;
        if (p->pageIndex >= 0) return UIE_BAD_ARGUMENT;  // pages go with their panel
        return g_runtime->model.discardPanel(panel);
    });
}

int DisplayPanel(int panel) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.showPanel(panel, true);
    });
}

int HidePanel(int panel) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.showPanel(panel, false);
    });
}

int GetPanelHandleFromTabPage(int panel, int tabControl, int pageIndex, int *pageHandle) {
    return guarded([&]() -> int {
        if (!pageHandle) return UIE_BAD_ARGUMENT;
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, tabControl, &p, &c)) return status;
        if (c->kind != Kind::Tab) return UIE_BAD_CONTROL;
        if (pageIndex < 0 || pageIndex >= static_cast<int>(c->pages.size())) return UIE_INDEX;
        *pageHandle = c->pages[static_cast<std::size_t>(pageIndex)];
        return 0;
    });
}

int InstallPopup(int panel) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.installPopup(panel);
    });
}

int RemovePopup(int) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.removePopup();
    });
}

int DefaultPanel(int panel) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        return g_runtime->model.resetPanel(panel);
    });
}

int SetPanelAttribute(int panel, int attribute, int value) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        if (int status = find(panel, 0, &p, nullptr)) return status;
        auto &model = g_runtime->model;
        switch (attribute) {
            case ATTR_TOP:
            case ATTR_LEFT:
            case ATTR_WIDTH:
            case ATTR_HEIGHT:
                if (int status = setGeometry(p->geometry, attribute, value)) return status;
                break;
            case ATTR_VISIBLE:
                return model.showPanel(panel, value != 0);
            case ATTR_BACKCOLOR:
                if (int status = setColour(p->background, value)) return status;
                break;
            case ATTR_CLOSE_CTRL:
                if (value != 0 && !p->control(value)) return UIE_BAD_CONTROL;
                p->closeControl = value;
                break;
            case ATTR_CENTER: {
                if (value == 0) return 0;
                if (p->parent != 0) return UIE_BAD_ATTRIBUTE;
                panel::ScreenSize screen = g_runtime->view->screen();
                p->geometry.top = std::max(0, (screen.height - p->geometry.height) / 2);
                p->geometry.left = std::max(0, (screen.width - p->geometry.width) / 2);
                break;
            }
            case ATTR_ACTIVE_CTRL:
                if (!p->control(value)) return UIE_BAD_CONTROL;
                p->activeControl = value;
                break;
            default:
                return UIE_BAD_ATTRIBUTE;
        }
        model.notifyPanel(panel, PanelChange::Attributes);
        return 0;
    });
}

int SetPanelAttribute(int panel, int attribute, const char *value) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        if (int status = find(panel, 0, &p, nullptr)) return status;
        if (!value) return UIE_BAD_ARGUMENT;
        switch (attribute) {
            case ATTR_TITLE:
                p->title = value;
                break;
            case ATTR_CONSTANT_NAME:
                if (!panel::text::isName(value)) return UIE_BAD_VALUE;
                p->constant = value;
                break;
            case ATTR_CALLBACK_NAME:
                if (int status = setCallbackName(*p, value)) return status;
                break;
            default:
                return UIE_BAD_ATTRIBUTE;
        }
        g_runtime->model.notifyPanel(panel, PanelChange::Attributes);
        return 0;
    });
}

int SetPanelAttribute(int panel, int attribute, void *value) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        if (int status = find(panel, 0, &p, nullptr)) return status;
        if (attribute != ATTR_CALLBACK_DATA) return UIE_BAD_ATTRIBUTE;
        p->callbackData = value;
        return 0;
    });
}

int SetPanelAttribute(int panel, int attribute, PanelCallbackPtr value) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        if (int status = find(panel, 0, &p, nullptr)) return status;
        return setCallbackPointer(*p, attribute, value);
    });
}

int GetPanelAttribute(int panel, int attribute, int *value) {
    return guarded([&]() -> int {
        if (!value) return UIE_BAD_ARGUMENT;
        panel::Panel *p = nullptr;
        if (int status = find(panel, 0, &p, nullptr)) return status;
        switch (attribute) {
            case ATTR_TOP:
            case ATTR_LEFT:
            case ATTR_WIDTH:
            case ATTR_HEIGHT:
                *value = geometryValue(p->geometry, attribute);
                return 0;
            case ATTR_VISIBLE:
                *value = p->pageIndex >= 0 ? 1 : (p->visible ? 1 : 0);
                return 0;
            case ATTR_BACKCOLOR:
                *value = static_cast<int>(p->background);
                return 0;
            case ATTR_CLOSE_CTRL:
                *value = p->closeControl;
                return 0;
            case ATTR_CENTER:
                *value = 0;
                return 0;
            case ATTR_ACTIVE_CTRL:
                *value = p->activeControl;
                return 0;
            case ATTR_RESOURCE_ID:
                *value = p->resourceId;
                return 0;
            case ATTR_PANEL_PARENT:
                *value = p->parent;
                return 0;
            default:
                return UIE_BAD_ATTRIBUTE;
        }
    });
}

int GetPanelAttribute(int panel, int attribute, char *buffer, size_t size) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        if (int status = find(panel, 0, &p, nullptr)) return status;
        switch (attribute) {
            case ATTR_TITLE:
                return copyText(p->title, buffer, size);
            case ATTR_CONSTANT_NAME:
                return copyText(p->constant, buffer, size);
            case ATTR_CALLBACK_NAME:
                return copyText(p->callbackName, buffer, size);
            default:
                return UIE_BAD_ATTRIBUTE;
        }
    });
}

// ---- Controls ------------------------------------------------------------------------------

int NewCtrl(int panel, int kind, const char *label, int top, int left) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        if (int status = find(panel, 0, &p, nullptr)) return status;
        Control c;
        c.label = label ? label : "";
        c.mode = panel::Mode::Hot;
        c.geometry = {top, left, 100, 20};
        switch (kind) {
            case CTRL_COMMAND_BUTTON:
                c.kind = Kind::Button;
                c.geometry.height = 25;
                break;
            case CTRL_NUMERIC:
                c.kind = Kind::Numeric;
                c.type = DataType::Double;
                break;
            case CTRL_STRING:
                c.kind = Kind::String;
                c.type = DataType::Text;
                c.geometry.width = 150;
                break;
            case CTRL_TEXT_MSG:
                c.kind = Kind::TextMessage;
                c.type = DataType::Text;
                c.mode = panel::Mode::None;
                c.text = c.defaultText = c.label;
                c.label.clear();
                break;
            case CTRL_TEXT_BOX:
                c.kind = Kind::TextBox;
                c.type = DataType::Text;
                c.geometry = {top, left, 200, 100};
                break;
            case CTRL_RING:
                c.kind = Kind::Ring;
                c.type = DataType::Int;
                break;
            case CTRL_LIST_BOX:
                c.kind = Kind::ListBox;
                c.type = DataType::Int;
                c.geometry = {top, left, 200, 150};
                break;
            case CTRL_PICTURE:
                c.kind = Kind::Picture;
                c.mode = panel::Mode::None;
                c.geometry = {top, left, 100, 100};
                break;
            case CTRL_DECORATION:
                c.kind = Kind::Decoration;
                c.mode = panel::Mode::None;
                c.geometry = {top, left, 100, 100};
                break;
            case CTRL_SPLITTER:
                c.kind = Kind::Splitter;
                c.mode = panel::Mode::None;
                c.geometry = {top, left, 100, 2};
                break;
            default:
                return UIE_BAD_ARGUMENT;  // tabs come only from resources
        }
        int id = 1;
        for (const auto &other : p->controls)
            id = std::max(id, other.id);
        c.id = id + 1;
        p->controls.push_back(std::move(c));
        g_runtime->model.notifyControl(panel, id + 1, ControlChange::Created);
        return id + 1;
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
        panel::Panel *p = nullptr;
        Control *c = nullptr;
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
        panel::Panel *p = nullptr;
        Control *c = nullptr;
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
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        p->activeControl = control;
        g_runtime->model.notifyPanel(panel, PanelChange::Attributes);
        return 0;
    });
}

int SetCtrlAttribute(int panel, int control, int attribute, double value) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (!isDoubleAttribute(attribute)) {
            if (!(value >= -2147483648.0 && value <= 2147483647.0) || value != std::floor(value)) {
                return UIE_BAD_VALUE;
            }
            return SetCtrlAttribute(panel, control, attribute, static_cast<int>(value));
        }
        if (c->kind != Kind::Numeric || !c->isNumeric()) return UIE_BAD_ATTRIBUTE;
        if (std::isnan(value)) return UIE_BAD_VALUE;
        switch (attribute) {
            case ATTR_MIN_VALUE:
                c->min = std::max(value, panel::typeMin(c->type));
                break;
            case ATTR_MAX_VALUE:
                c->max = std::min(value, panel::typeMax(c->type));
                break;
            default:  // ATTR_INCR_VALUE
                if (!(value > 0) || !std::isfinite(value)) return UIE_BAD_VALUE;
                c->step = value;
                break;
        }
        g_runtime->model.notifyControl(panel, control, ControlChange::Attributes);
        reclamp(panel, *c);
        return 0;
    });
}

int SetCtrlAttribute(int panel, int control, int attribute, int value) {
    return guarded([&]() -> int {
        if (isDoubleAttribute(attribute)) {
            return SetCtrlAttribute(panel, control, attribute, static_cast<double>(value));
        }
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        auto &model = g_runtime->model;
        switch (attribute) {
            case ATTR_TOP:
            case ATTR_LEFT:
            case ATTR_WIDTH:
            case ATTR_HEIGHT:
                if (int status = setGeometry(c->geometry, attribute, value)) return status;
                break;
            case ATTR_VISIBLE:
                c->visible = value != 0;
                break;
            case ATTR_DIMMED:
                c->dimmed = value != 0;
                break;
            case ATTR_TEXT_COLOR:
            case ATTR_TEXT_BGCOLOR:
            case ATTR_BACKCOLOR:
                if (int status = setColour(controlColour(*c, attribute), value)) return status;
                break;
            case ATTR_FORMAT:
                if (c->kind != Kind::Numeric) return UIE_BAD_ATTRIBUTE;
                switch (value) {
                    case VAL_DECIMAL_FORMAT:
                        c->format = panel::Format::Integer;
                        break;
                    case VAL_FLOATING_PT_FORMAT:
                        c->format = panel::Format::Fixed;
                        break;
                    case VAL_SCIENTIFIC_FORMAT:
                        c->format = panel::Format::Exponent;
                        break;
                    case VAL_ENGINEERING_FORMAT:
                        c->format = panel::Format::Engineering;
                        break;
                    default:
                        return UIE_BAD_VALUE;
                }
                break;
            case ATTR_PRECISION:
                if (c->kind != Kind::Numeric) return UIE_BAD_ATTRIBUTE;
                if (value < 0 || value > 15) return UIE_BAD_VALUE;
                c->precision = value;
                break;
            case ATTR_CTRL_MODE:
                if (c->mode == panel::Mode::None || c->kind == Kind::Button) {
                    return UIE_BAD_ATTRIBUTE;
                }
                if (value != VAL_HOT && value != VAL_INDICATOR) return UIE_BAD_VALUE;
                c->mode = value == VAL_HOT ? panel::Mode::Hot : panel::Mode::Indicator;
                break;
            case ATTR_FIRST_VISIBLE_LINE:
                return model.setFirstVisibleLine(panel, control, value);
            case ATTR_MAX_ENTRY_LENGTH:
                if (c->kind != Kind::String) return UIE_BAD_ATTRIBUTE;
                if (value < 0) return UIE_BAD_VALUE;
                c->maxLength = value;
                break;
            case ATTR_CTRL_INDEX:
                return model.setIndex(panel, control, value);
            default:
                return UIE_BAD_ATTRIBUTE;
        }
        model.notifyControl(panel, control, ControlChange::Attributes);
        return 0;
    });
}

int SetCtrlAttribute(int panel, int control, int attribute, const char *value) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (!value) return UIE_BAD_ARGUMENT;
        switch (attribute) {
            case ATTR_LABEL_TEXT:
                c->label = value;
                break;
            case ATTR_CONSTANT_NAME:
                if (!panel::text::isName(value)) return UIE_BAD_VALUE;
                for (const auto &other : p->controls) {
                    if (other.id != control && other.constant == value) return UIE_BAD_VALUE;
                }
                c->constant = value;
                break;
            case ATTR_CALLBACK_NAME:
                if (int status = setCallbackName(*c, value)) return status;
                break;
            case ATTR_TEXT_FONT:
                if (!*value) return UIE_BAD_VALUE;
                c->font = value;
                break;
            default:
                return UIE_BAD_ATTRIBUTE;
        }
        g_runtime->model.notifyControl(panel, control, ControlChange::Attributes);
        return 0;
    });
}

int SetCtrlAttribute(int panel, int control, int attribute, void *value) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (attribute != ATTR_CALLBACK_DATA) return UIE_BAD_ATTRIBUTE;
        c->callbackData = value;
        return 0;
    });
}

int SetCtrlAttribute(int panel, int control, int attribute, CtrlCallbackPtr value) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        return setCallbackPointer(*c, attribute, value);
    });
}

int GetCtrlAttribute(int panel, int control, int attribute, int *value) {
    return guarded([&]() -> int {
        if (!value) return UIE_BAD_ARGUMENT;
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        switch (attribute) {
            case ATTR_TOP:
            case ATTR_LEFT:
            case ATTR_WIDTH:
            case ATTR_HEIGHT:
                *value = geometryValue(c->geometry, attribute);
                return 0;
            case ATTR_VISIBLE:
                *value = c->visible ? 1 : 0;
                return 0;
            case ATTR_DIMMED:
                *value = c->dimmed ? 1 : 0;
                return 0;
            case ATTR_TEXT_COLOR:
            case ATTR_TEXT_BGCOLOR:
            case ATTR_BACKCOLOR:
                *value = static_cast<int>(controlColour(*c, attribute));
                return 0;
            case ATTR_FORMAT:
                if (c->kind != Kind::Numeric) return UIE_BAD_ATTRIBUTE;
                *value = formatToApi(c->format);
                return 0;
            case ATTR_PRECISION:
                if (c->kind != Kind::Numeric) return UIE_BAD_ATTRIBUTE;
                *value = c->precision;
                return 0;
            case ATTR_CTRL_MODE:
                *value = c->mode == panel::Mode::Hot         ? VAL_HOT
                         : c->mode == panel::Mode::Indicator ? VAL_INDICATOR
                                                             : 0;
                return 0;
            case ATTR_DATA_TYPE:
                *value = typeToApi(c->type);
                return 0;
            case ATTR_CTRL_KIND:
                *value = kindToApi(c->kind);
                return 0;
            case ATTR_FIRST_VISIBLE_LINE:
                if (c->kind != Kind::TextBox) return UIE_BAD_ATTRIBUTE;
                *value = c->firstVisibleLine;
                return 0;
            case ATTR_VISIBLE_LINES:
                if (c->kind != Kind::TextBox) return UIE_BAD_ATTRIBUTE;
                *value = panel::Model::visibleLines(*c);
                return 0;
            case ATTR_MAX_ENTRY_LENGTH:
                if (c->kind != Kind::String) return UIE_BAD_ATTRIBUTE;
                *value = c->maxLength;
                return 0;
            case ATTR_CTRL_INDEX:
                if (c->kind != Kind::Ring && c->kind != Kind::ListBox && c->kind != Kind::Tab) {
                    return UIE_BAD_ATTRIBUTE;
                }
                *value = c->index;
                return 0;
            default:
                return UIE_BAD_ATTRIBUTE;
        }
    });
}

int GetCtrlAttribute(int panel, int control, int attribute, double *value) {
    return guarded([&]() -> int {
        if (!value) return UIE_BAD_ARGUMENT;
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (c->kind != Kind::Numeric) return UIE_BAD_ATTRIBUTE;
        switch (attribute) {
            case ATTR_MIN_VALUE:
                *value = c->min;
                return 0;
            case ATTR_MAX_VALUE:
                *value = c->max;
                return 0;
            case ATTR_INCR_VALUE:
                *value = c->step;
                return 0;
            default:
                return UIE_BAD_ATTRIBUTE;
        }
    });
}

int GetCtrlAttribute(int panel, int control, int attribute, char *buffer, size_t size) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        switch (attribute) {
            case ATTR_LABEL_TEXT:
                return copyText(c->label, buffer, size);
            case ATTR_CONSTANT_NAME:
                return copyText(c->constant, buffer, size);
            case ATTR_CALLBACK_NAME:
                return copyText(c->callbackName, buffer, size);
            case ATTR_TEXT_FONT:
                return copyText(c->font, buffer, size);
            default:
                return UIE_BAD_ATTRIBUTE;
        }
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
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (c->kind != Kind::Ring && c->kind != Kind::ListBox) return UIE_BAD_CONTROL;
        *count = static_cast<int>(c->items.size());
        return 0;
    });
}

int GetCtrlIndex(int panel, int control, int *index) {
    return guarded([&]() -> int {
        if (!index) return UIE_BAD_ARGUMENT;
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (c->kind != Kind::Ring && c->kind != Kind::ListBox && c->kind != Kind::Tab) {
            return UIE_BAD_CONTROL;
        }
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
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (c->kind != Kind::TextBox) return UIE_BAD_CONTROL;
        *count = static_cast<int>(std::min<std::size_t>(c->lines.size(), 2147483647u));
        return 0;
    });
}

int ResetTextBox(int panel, int control, const char *text) {
    return guarded([&]() -> int {
        panel::Panel *p = nullptr;
        Control *c = nullptr;
        if (int status = find(panel, control, &p, &c)) return status;
        if (c->kind != Kind::TextBox) return UIE_BAD_CONTROL;
        return g_runtime->model.setText(panel, control, text ? text : "");
    });
}

// ---- Events and dialogs --------------------------------------------------------------------

int ProcessSystemEvents() {
    return guarded([&]() -> int {
        Runtime *rt = g_runtime.get();
        if (!rt) return UIE_NOT_INITIALISED;
        // A caller polling back-to-back with nothing queued is waiting for the operator: the
        // view blocks until input arrives. A script action ready to take never waits.
        const bool backToBack =
            rt->haveLast && Clock::now() - rt->lastReturn < std::chrono::microseconds(20);
        const bool scriptReady = rt->script && !rt->script->exhausted();
        const bool idle = backToBack && !scriptReady && !rt->model.pending();
        if (idle) {
            rt->view->waitAndPump(rt->idleWait);
        } else {
            rt->view->pump();
        }
        const int ran = rt->model.dispatch();
        if (g_runtime.get() != rt) return 0;
        rt->idleWait =
            ran > 0 || !idle ? kFirstIdleWait : std::min(rt->idleWait * 2, kLongestIdleWait);
        if (rt->script) {
            switch (rt->script->step()) {
                case panel::ScriptRunner::Step::Failed:
                    endScriptedRun(2, rt->script->error());
                case panel::ScriptRunner::Step::Exhausted:
                    if (!rt->exhaustedSince) {
                        rt->exhaustedSince = Clock::now();
                    } else if (Clock::now() - *rt->exhaustedSince >=
                               std::chrono::milliseconds(500)) {
                        endScriptedRun(3, rt->script->name() +
                                              ": the script has ended but the program still "
                                              "waits for the operator");
                    }
                    break;
                case panel::ScriptRunner::Step::Taken:
                    break;
            }
            rt->model.dispatch();
            if (g_runtime.get() != rt) return 0;
        }
        rt->haveLast = true;
        rt->lastReturn = Clock::now();
        return 0;
    });
}

int MessagePopup(const char *title, const char *message) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        std::string t = title ? title : "";
        std::string m = message ? message : "";
        if (g_runtime->script) {
            g_runtime->script->messageShown(t, m);
        } else if (g_runtime->view->interactive()) {
            g_runtime->view->showMessage(t, m);
        } else {
            std::printf("message %s %s\n", panel::quoteText(t).c_str(),
                        panel::quoteText(m).c_str());
            std::fflush(stdout);
        }
        return 0;
    });
}

int FileSelectPopup(const char *startDirectory, const char *defaultFileSpec,
                    const char *fileTypeList, const char *title, const char *buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char *pathBuffer, size_t size) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        if (!pathBuffer || size == 0) return UIE_BAD_ARGUMENT;
        pathBuffer[0] = '\0';
        std::string path;
        int result = VAL_NO_FILE_SELECTED;
        if (g_runtime->script) {
            result = g_runtime->script->answerFileDialog(path);
            if (result < 0) endScriptedRun(2, g_runtime->script->error());
        } else if (g_runtime->view->interactive()) {
            panel::FileRequest request;
            request.startDirectory = startDirectory ? startDirectory : "";
            request.defaultFileSpec = defaultFileSpec ? defaultFileSpec : "";
            request.fileTypeList = fileTypeList ? fileTypeList : "";
            request.title = title ? title : "";
            request.buttonLabel = buttonLabel ? buttonLabel : "";
            request.restrictDirectory = restrictDirectory != 0;
            request.restrictExtension = restrictExtension != 0;
            request.allowCancel = allowCancel != 0;
            request.allowMakeDirectory = allowMakeDirectory != 0;
            result = g_runtime->view->selectFile(request, path);
        } else {
            std::fprintf(stderr,
                         "file dialog \"%s\": no operator to answer it in the headless "
                         "view; taken as cancelled\n",
                         title ? title : "");
        }
        if (result == VAL_NO_FILE_SELECTED) return result;
        if (path.size() >= size) return UIE_BUFFER_TOO_SMALL;
        copyText(path, pathBuffer, size);
        return result;
    });
}

int ProcessDrawEvents() {
    return guarded([&]() -> int {
        Runtime *rt = g_runtime.get();
        if (!rt) return UIE_NOT_INITIALISED;
        rt->view->pump();
        return 0;
    });
}

int Delay(double seconds) {
    if (!(seconds > 0)) return 0;
    // Nobody waits in the headless view or in a scripted run: the script takes its next
    // action only when the program processes events, so skipping the wait changes nothing
    // it can see but the time it takes.
    if (g_runtime && (g_runtime->script || !g_runtime->view->interactive())) return 0;
    seconds = std::min(seconds, 86400.0);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return 0;
}
