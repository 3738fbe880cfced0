// What the run-time's parts share: the one global run-time and the helpers every C entry
// point uses. Internal to the run-time.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "panel/model.h"
#include "panel/resource.h"
#include "panel/script.h"
#include "panel/view.h"
#include "userint.h"

namespace panel::rt {

using Clock = std::chrono::steady_clock;

// How long an idle wait blocks at most when no input comes: briefly just after activity, so a
// caller's own time checks stay timely, then longer the longer nothing happens.
constexpr std::chrono::milliseconds kFirstIdleWait{2};
constexpr std::chrono::milliseconds kLongestIdleWait{50};

struct Runtime {
    Model model;  // first: destroyed last
    std::unique_ptr<View> view;
    std::unique_ptr<ScriptRunner> script;
    std::string shots;
    std::vector<std::string> args;
    std::vector<char *> argv;
    int argc = 0;
    std::map<std::string, Resource> resources;
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

extern std::unique_ptr<Runtime> g_runtime;
extern std::string g_error;

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

[[noreturn]] void endScriptedRun(int status, const std::string &why);
// Copies into a caller's buffer, cut at a character boundary when it does not fit.
int copyText(std::string_view text, char *buffer, std::size_t size);
// Resolves the panel and control of a call for reading; returns 0 or the status to report.
int find(int panel, int control, const Panel **p, const Control **c);
bool lookupCallback(const std::string &name, CtrlCallbackPtr *control, PanelCallbackPtr *panelCb);

}  // namespace panel::rt
