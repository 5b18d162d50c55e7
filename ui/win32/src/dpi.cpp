#include "ui/win32_access.h"

#include "ui/dialog_units.h"
#include "ui/win32/src/win32.h"

namespace pelvane::ui {

int WindowDpi(Hwnd window) {
    // Windows 10 1607 and later know each window's own; before, one for the whole screen.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int ScaleForDpi(int pixelsAt96Dpi, int dpi) {
    return MulDiv(pixelsAt96Dpi, dpi, USER_DEFAULT_SCREEN_DPI);
}

int UnscaleForDpi(int pixels, int dpi) {
    return MulDiv(pixels, USER_DEFAULT_SCREEN_DPI, dpi);
}

}  // namespace pelvane::ui
