// UTF-8 above the backend, UTF-16 at the Win32 calls.
#pragma once

#include <string>
#include <string_view>

#include "ui/control.h"

namespace pelvane::ui {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

std::string WindowText(Hwnd window);
void SetWindowTextUtf8(Hwnd window, std::string_view text);

}  // namespace pelvane::ui
