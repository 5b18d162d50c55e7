#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/platform.h"

namespace pelvane::cli {
namespace {

std::atomic<bool> g_interrupted{false};
struct sigaction g_previousAction {};

extern "C" void OnInterrupt(int) {
    g_interrupted = true;
}

}  // namespace

Terminals PrepareTerminals() {
    return {isatty(STDOUT_FILENO) == 1, isatty(STDERR_FILENO) == 1};
}

bool OutputIsUtf8() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value == nullptr || *value == '\0') continue;
        std::string lower(value);
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return lower.find("utf-8") != std::string::npos || lower.find("utf8") != std::string::npos;
    }
    return false;
}

InterruptGuard::InterruptGuard() {
    g_interrupted = false;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &g_previousAction);
}

InterruptGuard::~InterruptGuard() {
    sigaction(SIGINT, &g_previousAction, nullptr);
    g_interrupted = false;
}

bool Interrupted() {
    return g_interrupted;
}

bool RenameOver(const char* from, const char* to) {
    return std::rename(from, to) == 0;
}

}  // namespace pelvane::cli
