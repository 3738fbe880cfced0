#include "trl4/app.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>
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

// The arguments as the caller wrote them, in UTF-8 like every other name in the program: the
// ones the C run-time hands to main are in the ANSI code page, which cannot hold a Cyrillic
// file name on a Western Windows. Empty when the command line cannot be read.
std::vector<std::string> utf8Arguments() {
    std::vector<std::string> out;
    int count = 0;
    LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return out;
    for (int i = 0; i < count; ++i) {
        // The size counts the terminating zero; an unpaired surrogate becomes U+FFFD, so such
        // a name reaches the program as one that is not found.
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(size > 1 ? static_cast<std::size_t>(size) : 1U, '\0');
        if (size > 1)
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
        arg.pop_back();
        out.push_back(std::move(arg));
    }
    LocalFree(wide);
    return out;
}

}  // namespace
#endif

int main(int argc, char **argv) {
#ifdef _WIN32
    reachTheCaller();
    std::vector<std::string> args = utf8Arguments();
    std::vector<char *> pointers;
    for (std::string &arg : args)
        pointers.push_back(arg.data());
    if (!args.empty()) {
        argc = static_cast<int>(args.size());
        pointers.push_back(nullptr);
        argv = pointers.data();
    }
#ifdef TRL4_WIN32_VIEW
    return RunFrontPanel(argc, argv, panel::createWin32View);
#else
    return RunFrontPanel(argc, argv, nullptr);
#endif
#else
    return RunFrontPanel(argc, argv, panel::createQtView);
#endif
}
