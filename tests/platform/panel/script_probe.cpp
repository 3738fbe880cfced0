// A tiny program on the panel run-time, run by CTest with operator scripts to check the exit
// statuses of scripted runs. Usage: panel_script_probe RESOURCE [run-time options].
#include <cstdio>

#include "userint.h"

#ifdef _WIN32
#include "panel/win32_view.h"
#endif

namespace {

int g_main = 0;
int g_quit = 0;

int quitCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) g_quit = 1;
    return 0;
}

int askCB(int, int, int event, void *, int, int) {
    if (event == EVENT_COMMIT) MessagePopup("Вопрос", "Первая\nвторая");
    return 0;
}

int fileCB(int panel, int, int event, void *, int, int) {
    if (event != EVENT_COMMIT) return 0;
    char path[512];
    int result = FileSelectPopup("", "*.log", "*.log", "Файл", "OK", 0, 0, 1, 1, path, sizeof path);
    SetCtrlVal(panel, 7, result);
    return 0;
}

const CallbackTableEntry kCallbacks[] = {
    {"quitCB", quitCB, nullptr},
    {"askCB", askCB, nullptr},
    {"fileCB", fileCB, nullptr},
};

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) return 1;
#ifdef _WIN32
    if (InitPanelRuntime(argc, argv, panel::createWin32View) < 0) return -1;
#else
    if (InitPanelRuntime(argc, argv) < 0) return -1;
#endif
    RegisterCallbackTable(kCallbacks, sizeof kCallbacks / sizeof kCallbacks[0]);
    g_main = LoadPanel(0, argv[1], 1);
    if (g_main < 0 || LoadPanel(0, argv[1], 2) < 0) return -1;
    DisplayPanel(g_main);
    while (!g_quit)
        ProcessSystemEvents();
    ClosePanelRuntime();
    return 7;  // the program's own status, distinct from the run-time's 2 and 3
}
