#include "ui/application.h"

#include "ui/win32/src/win32.h"

namespace pelvane::ui {
namespace {

// Per-monitor version 2 (Windows 10 1703 and later) lets the system scale the dialogs
// when a window moves to a screen of another density; before, one density for all.
void BecomeDpiAware() {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    const auto setContext = reinterpret_cast<SetContextFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
    const auto perMonitorV2 = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4));
    if (setContext == nullptr || !setContext(perMonitorV2)) SetProcessDPIAware();
}

}  // namespace

struct Application::System {};

Application::Application(int&, char**, const char*) {
    BecomeDpiAware();
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
}

Application::~Application() = default;

}  // namespace pelvane::ui
