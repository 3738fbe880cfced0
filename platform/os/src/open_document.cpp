// Handing a document to the desktop's default program, without waiting for it: the program
// goes on at once, whatever the browser does.
#include "trl4/os.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#endif

namespace trl4::os {

#ifdef _WIN32

namespace {

DWORD WINAPI openOnItsOwnThread(LPVOID parameter) {
    auto *path = static_cast<std::wstring *>(parameter);
    // A shell extension may take its time or show its own window: never on the UI thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ShellExecuteW(nullptr, L"open", path->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    CoUninitialize();
    delete path;
    return 0;
}

}  // namespace

bool openDocument(const char *utf8Path) {
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Path, -1, nullptr, 0);
    if (n <= 0) return false;
    auto *path = new std::wstring(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Path, -1, path->data(), n);
    path->resize(static_cast<std::size_t>(n - 1));
    HANDLE thread = CreateThread(nullptr, 0, openOnItsOwnThread, path, 0, nullptr);
    if (thread == nullptr) {
        delete path;
        return false;
    }
    CloseHandle(thread);
    return true;
}

#else

bool openDocument(const char *utf8Path) {
    // TRL4_OPENER names another program than xdg-open (the tests' stand-in).
    const char *opener = std::getenv("TRL4_OPENER");
    if (opener == nullptr || *opener == '\0') opener = "xdg-open";
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // The grandchild runs the opener and is nobody's to wait for; the child ends at once.
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            execlp(opener, opener, utf8Path, static_cast<char *>(nullptr));
            _exit(127);
        }
        _exit(grandchild < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#endif

}  // namespace trl4::os
