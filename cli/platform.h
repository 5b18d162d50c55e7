// What pelvane-cli needs of the operating system: platform_posix.cpp, platform_windows.cpp.
#pragma once

namespace pelvane::cli {

struct Terminals {
    bool out = false;
    bool err = false;
};

// For main, once: which of stdout and stderr are terminals. On Windows a console is also
// set to take ANSI escapes and UTF-8 until the program ends.
Terminals PrepareTerminals();

// The output is read as UTF-8: on POSIX the locale environment (LC_ALL, LC_CTYPE, LANG,
// first one set) asks for it, on Windows the console's output code page is UTF-8.
bool OutputIsUtf8();

// While one lives, Ctrl-C only makes Interrupted() true: a watch ends with its summary
// instead of ending the program.
class InterruptGuard {
  public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

bool Interrupted();

// Moves from over to, replacing a file at to; false when it cannot.
bool RenameOver(const char* from, const char* to);

}  // namespace pelvane::cli
