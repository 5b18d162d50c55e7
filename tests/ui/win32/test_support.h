// Driving Win32 dialogs from a test: the message loop the program would run, and keys
// and clicks posted as the system would deliver them.
#pragma once

// The Windows headers as the backend sees them.
#include "ui/win32/src/win32.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "ui/geometry.h"
#include "ui/win32_access.h"

namespace pelvane::ui::testing {

// Runs the message loop, dialog keys included, until done() or timeoutMs have passed.
inline bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs = 3000) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (PreTranslate(message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

inline void PumpMessages() {
    PumpMessagesUntil([] { return false; }, 50);
}

// A key press as the keyboard would queue it for the focused window.
inline void PressKey(WPARAM key) {
    PostMessageW(GetFocus(), WM_KEYDOWN, key, 1);
    PostMessageW(GetFocus(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
    PumpMessages();
}

inline void ClickAt(HWND window, POINT point) {
    const LPARAM where = MAKELPARAM(point.x, point.y);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(window, WM_LBUTTONUP, 0, where);
    PumpMessages();
}

// This thread's topmost window that takes input: the one a modal loop runs for.
inline HWND TopInputWindow() {
    HWND top = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&top));
    return top;
}

inline bool HasKeyboard(HWND window) {
    HWND focus = GetFocus();
    return GetActiveWindow() == window && focus != nullptr && GetAncestor(focus, GA_ROOT) == window;
}

// Runs action from inside the next modal loop once its window has the keyboard, as a
// user's input would arrive there.
inline void RunInNextModalLoop(std::function<void()> action) {
    static std::function<void()> pending;
    static int tries = 0;
    pending = std::move(action);
    tries = 0;
    SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR timer, DWORD) {
        HWND modal = TopInputWindow();
        if (modal != nullptr && !HasKeyboard(modal) && ++tries < 100) {
            // Wine without a window manager can give the activation to the desktop
            // just after a window shows again, from the X focus events of its hiding;
            // keys would then go nowhere. A user would click the window.
            SetForegroundWindow(modal);
            return;
        }
        KillTimer(nullptr, timer);
        pending();
    });
}

// Pure red pixels of each row of a report-view list as it shows on the screen, once the
// message loop has drawn what changed.
inline std::vector<int> RedPixelsOfRows(HWND list) {
    PumpMessages();
    UpdateWindow(list);
    RECT client{};
    GetClientRect(list, &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(list);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    BitBlt(dc, 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
    ReleaseDC(list, screen);
    GdiFlush();
    std::vector<int> counts;
    const auto* pixels = static_cast<const uint32_t*>(bits);
    const auto rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        RECT rect{LVIR_BOUNDS, 0, 0, 0};
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&rect));
        int red = 0;
        for (LONG y = std::max(rect.top, 0L); y < std::min(rect.bottom, client.bottom); ++y)
            for (LONG x = std::max(rect.left, 0L); x < std::min(rect.right, client.right); ++x)
                red += (pixels[y * client.right + x] & 0xFFFFFF) == 0xFF0000;
        counts.push_back(red);
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return counts;
}

// In the parent's client coordinates.
inline Rect PlaceInParent(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

}  // namespace pelvane::ui::testing
