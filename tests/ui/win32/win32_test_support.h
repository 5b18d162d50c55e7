// Driving Win32 dialogs from a test: the message loop the program would run, and keys
// and clicks posted as the system would deliver them.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>
#undef MessageBox

#include <functional>
#include <string>

#include "ui/dialog.h"
#include "ui/win32_text.h"

namespace pelvane::ui::testing {

// Runs the message loop, dialog keys included, until done() or timeoutMs have passed.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (Dialog::PreTranslate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

inline void Pump() {
    PumpUntil([] { return false; }, 50);
}

// A key press as the keyboard would queue it for the focused window.
inline void PressKey(WPARAM key) {
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    PostMessageW(GetFocus(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
    Pump();
}

inline void ClickAt(HWND window, POINT point) {
    const LPARAM where = MAKELPARAM(point.x, point.y);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(window, WM_LBUTTONUP, 0, where);
    Pump();
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

}  // namespace pelvane::ui::testing
