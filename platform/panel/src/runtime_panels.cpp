// Panels and pop-ups: loading, showing, hiding and discarding.
#include <filesystem>
#include <string>
#include <system_error>

#include "panel/model.h"
#include "panel/program_files.h"
#include "runtime_internal.h"
#include "text.h"
#include "userint.h"

using panel::Control;
using panel::Kind;
using namespace panel::rt;

int LoadPanel(int parent, const char *fileName, int resourceId) {
    return guarded([&]() -> int {
        if (!g_runtime) return UIE_NOT_INITIALISED;
        if (!fileName || !*fileName) return UIE_BAD_ARGUMENT;
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::path path = panel::text::pathOf(fileName);
        if (path.is_relative() && !fs::exists(path, ec)) {
            fs::path installed = panel::findProgramFile(path);
            if (!installed.empty()) path = installed;
        }
        std::string key = panel::text::textOf(path.lexically_normal());
        auto cached = g_runtime->resources.find(key);
        if (cached == g_runtime->resources.end()) {
            panel::Resource resource;
            std::string why;
            if (!fs::exists(path, ec)) {
                g_error = std::string(fileName) + ": cannot open the panel resource";
                std::fprintf(stderr, "%s\n", g_error.c_str());
                return UIE_FILE;
            }
            const std::string name = panel::text::textOf(path);
            if (!panel::loadResourceFile(name, resource, why)) {
                g_error = why;
                std::fprintf(stderr, "%s\n", why.c_str());
                return why.rfind(name + ": cannot", 0) == 0 ? UIE_FILE : UIE_RESOURCE;
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
        const panel::Panel *p = nullptr;
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
        const panel::Panel *p = nullptr;
        const Control *c = nullptr;
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
