#include "trl4/app.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#ifdef TRL4_WIN32_VIEW
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
    return RunFrontPanel(argc, argv, panel::createWin32View);
#else
    return RunFrontPanel(argc, argv, nullptr);
#endif
#else
    return RunFrontPanel(argc, argv, panel::createQtView);
#endif
}
