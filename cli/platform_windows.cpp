#include <windows.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "cli/platform.h"

namespace pelvane::cli {
namespace {

std::atomic<bool> g_interrupted{false};
UINT g_previousCodePage = 0;  // the console's, given back when the program ends

void GiveBackCodePage() {
    if (g_previousCodePage != 0) SetConsoleOutputCP(g_previousCodePage);
}

// Ctrl-C and closing the console end the program without atexit. Runs, like OnInterrupt,
// on a thread the console starts.
BOOL WINAPI GiveBackOnControl(DWORD) {
    GiveBackCodePage();
    return FALSE;
}

BOOL WINAPI OnInterrupt(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    g_interrupted = true;
    return TRUE;
}

// A console too old for ANSI escapes counts as none, so that none are written to it.
bool IsConsole(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return false;
    return SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace

Terminals PrepareTerminals() {
    const Terminals terminals{IsConsole(STD_OUTPUT_HANDLE), IsConsole(STD_ERROR_HANDLE)};
    // Everything we print is UTF-8, the controller's Chinese texts included.
    const UINT codePage = GetConsoleOutputCP();
    if ((terminals.out || terminals.err) && codePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        g_previousCodePage = codePage;
        std::atexit(GiveBackCodePage);
        SetConsoleCtrlHandler(GiveBackOnControl, TRUE);
    }
    return terminals;
}

bool OutputIsUtf8() {
    return GetConsoleOutputCP() == CP_UTF8;
}

// Handlers run last added first, so this one comes before GiveBackOnControl.
InterruptGuard::InterruptGuard() {
    g_interrupted = false;
    SetConsoleCtrlHandler(OnInterrupt, TRUE);
}

InterruptGuard::~InterruptGuard() {
    SetConsoleCtrlHandler(OnInterrupt, FALSE);
    g_interrupted = false;
}

bool Interrupted() {
    return g_interrupted;
}

// The names are in the ANSI code page, as the C library that opened the file read them.
// errno as rename would set it, for the message.
bool RenameOver(const char* from, const char* to) {
    if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING)) return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

}  // namespace pelvane::cli
