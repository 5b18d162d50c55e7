// The Win32 side of the dialog layer: the windows behind the common classes, text at
// the UTF-16 edge and sizes at the window's DPI. For this backend's sources and its own
// tests only; the program sees ui/dialog.h, ui/controls.h and ui/list_control.h.
// Windows are named by their handle without windows.h, whose A/W macros would rename
// the program's calls.
#pragma once

#include <string>
#include <string_view>

#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/list_control.h"

struct HWND__;
struct tagMSG;

namespace pelvane::ui {

using Hwnd = HWND__*;

// The dialog's window and an item's; null when there is none.
Hwnd HwndOf(const Dialog& dialog);
Hwnd ItemHwnd(const Dialog& dialog, int id);
Hwnd HwndOf(const TabControl& tabs);
Hwnd HwndOf(const ComboBox& combo);
Hwnd HwndOf(const ListControl& list);

// What every message loop running our dialogs does before dispatching a message: the
// dialog keys, Enter and Escape by our rules, the rest by IsDialogMessage. True when
// message was handled there.
bool PreTranslate(tagMSG& message);

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);
std::string WindowText(Hwnd window);
void SetWindowTextUtf8(Hwnd window, std::string_view text);

// Sizes given in pixels at 96 dots per inch, on screens of any density.
int WindowDpi(Hwnd window);
int ScaleForDpi(int pixelsAt96Dpi, int dpi);
int UnscaleForDpi(int pixels, int dpi);

}  // namespace pelvane::ui
