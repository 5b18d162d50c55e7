// The window side of Dialog: its dialog procedure and the way back from a window to
// the Dialog that runs it.
#pragma once

#include "ui/dialog.h"
#include "win32.h"

namespace pelvane::ui {

// Posted to a dialog when one of its lists holds back its drawing; lParam is the list.
inline constexpr UINT kResumeListRedraw = WM_APP + 1;

class DialogWindow {
  public:
    static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Null for windows that are no dialog of ours.
    static Dialog* FromWindow(HWND window);
    static void Register(HWND window, Dialog* dialog);
    static void Unregister(HWND window);

  private:
    // True when the message was handled; result is then its reply.
    static bool Handle(Dialog& dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    static bool HandleCommand(Dialog& dialog, WPARAM wParam, LPARAM lParam);
    static bool HandleNotify(Dialog& dialog, NMHDR& header, LRESULT& result);
};

}  // namespace pelvane::ui
