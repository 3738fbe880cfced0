// Events, waits, message boxes and the file dialog.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "panel/model.h"
#include "runtime_internal.h"
#include "userint.h"

using namespace panel::rt;

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
