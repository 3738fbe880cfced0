#include "trl4/app.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#ifdef TRL4_WIN32_VIEW
#include <string_view>
#include <vector>

#include "panel/win32_view.h"
#endif
#else
#include "panel/qt_view.h"
#endif

#ifdef _WIN32
namespace {

bool handleMissing(DWORD which) {
    const HANDLE h = GetStdHandle(which);
    return h == nullptr || h == INVALID_HANDLE_VALUE;
}

// A GUI-subsystem program has no console of its own. Output redirected by the caller (a
// file, a pipe, wine's own handles) is used as it is; otherwise the caller's console, if
// there is one, takes the operator script's messages and errors. Either way the bytes are the
// Linux program's: UTF-8, one line feed a line.
void reachTheCaller() {
    const bool outMissing = handleMissing(STD_OUTPUT_HANDLE);
    const bool errMissing = handleMissing(STD_ERROR_HANDLE);
    if ((outMissing || errMissing) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        SetConsoleOutputCP(CP_UTF8);
        if (outMissing) std::freopen("CONOUT$", "w", stdout);
        if (errMissing) std::freopen("CONOUT$", "w", stderr);
    }
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace
#endif

int main(int argc, char **argv) {
#ifdef _WIN32
    reachTheCaller();
#ifdef TRL4_WIN32_VIEW
    // The run-time knows one windowed view; on Windows it is the native one, asked for as
    // "win32".
    std::vector<char *> args(argv, argv + argc);
    args.push_back(nullptr);
    static char joinedOption[] = "--view=qt", windowed[] = "qt";
    for (size_t i = 1; i + 1 < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--view=win32") args[i] = joinedOption;
        if (arg == "--view" && args[i + 1] != nullptr && std::string_view(args[i + 1]) == "win32")
            args[++i] = windowed;
    }
    return RunFrontPanel(argc, args.data(), panel::createWin32View);
#else
    return RunFrontPanel(argc, argv, nullptr);
#endif
#else
    return RunFrontPanel(argc, argv, panel::createQtView);
#endif
}
