#include "ui/win32/src/dialog_window.h"

namespace pelvane::ui {
namespace {

constexpr const wchar_t* kDialogProperty = L"pelvane.ui.Dialog";

}  // namespace

Dialog::Native* DialogWindow::FromWindow(HWND window) {
    return window != nullptr ? static_cast<Dialog::Native*>(GetPropW(window, kDialogProperty))
                             : nullptr;
}

void DialogWindow::Register(HWND window, Dialog::Native* dialog) {
    SetPropW(window, kDialogProperty, dialog);
}

void DialogWindow::Unregister(HWND window) {
    RemovePropW(window, kDialogProperty);
}

INT_PTR CALLBACK DialogWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog::Native*>(lParam);
        dialog->Attach(window);
        const bool focusFirst = dialog->InitDialog();
        // A page leaves the focus where it is.
        return focusFirst && !dialog->page_;
    }
    Native* dialog = FromWindow(window);
    if (dialog == nullptr) return FALSE;
    if (message == WM_NCDESTROY) {
        Unregister(window);
        dialog->hwnd_ = nullptr;
        dialog->timers_.clear();
        return FALSE;
    }
    LRESULT result = 0;
    if (!Handle(*dialog, message, wParam, lParam, result)) return FALSE;
    SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
    return TRUE;
}

bool DialogWindow::Handle(Native& dialog, UINT message, WPARAM wParam, LPARAM lParam,
                          LRESULT& result) {
    switch (message) {
        case WM_COMMAND:
            return HandleCommand(dialog, wParam, lParam);
        case WM_NOTIFY:
            return HandleNotify(dialog, *reinterpret_cast<NMHDR*>(lParam), result);
        case WM_TIMER:
            for (const auto& [id, timer] : dialog.timers_) {
                if (timer != wParam) continue;
                dialog.Timer(id);
                return true;
            }
            return false;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) dialog.Resized({LOWORD(lParam), HIWORD(lParam)});
            return false;
        case kResumeListRedraw:
            if (Control* control = dialog.ControlAt(reinterpret_cast<HWND>(lParam));
                control != nullptr && control->kind() == ItemKind::ListView)
                static_cast<ListControl*>(control)->native().ResumeRedraw();
            return true;
        case WM_SYSCOMMAND:
            for (const Native::MenuEntry& entry : dialog.menuEntries_) {
                if (entry.command != (wParam & 0xFFF0)) continue;
                dialog.SysCommand(entry.command);
                return true;
            }
            return false;
        default:
            return false;
    }
}

bool DialogWindow::HandleCommand(Native& dialog, WPARAM wParam, LPARAM lParam) {
    const auto control = reinterpret_cast<HWND>(lParam);
    const int id = static_cast<int16_t>(LOWORD(wParam));
    switch (HIWORD(wParam)) {
        case BN_CLICKED:
            if (control != nullptr) dialog.Fire(control, Notify::Clicked);
            if (dialog.page_) return true;
            // Escape and the close box reach here as IDCANCEL, Enter never as IDOK:
            // only a button with one of the two ids ends the dialog.
            if (id == kIdCancel || (id == kIdOk && control != nullptr)) dialog.End(id);
            return true;
        case CBN_DROPDOWN:
            dialog.Fire(control, Notify::DropDown);
            return true;
        default:
            return false;
    }
}

bool DialogWindow::HandleNotify(Native& dialog, NMHDR& header, LRESULT& result) {
    switch (header.code) {
        case TCN_SELCHANGE:
            dialog.Fire(header.hwndFrom, Notify::SelChange);
            return true;
        case NM_CUSTOMDRAW: {
            Control* control = dialog.ControlAt(header.hwndFrom);
            if (control == nullptr || control->kind() != ItemKind::ListView) return false;
            auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
            result = static_cast<ListControl*>(control)->native().CustomDraw(draw);
            return true;
        }
        default:
            return false;
    }
}

}  // namespace pelvane::ui
