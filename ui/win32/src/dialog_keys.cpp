#include "ui/win32/src/dialog_window.h"

namespace pelvane::ui {
namespace {

bool IsClass(HWND window, const wchar_t* name) {
    wchar_t className[32] = {};
    return GetClassNameW(window, className, 32) > 0 && lstrcmpiW(className, name) == 0;
}

// The combo box that window is or whose edit field it is; null for other windows.
HWND ComboBoxOf(HWND window) {
    if (window == nullptr) return nullptr;
    if (IsClass(window, WC_COMBOBOXW)) return window;
    HWND parent = GetParent(window);
    return parent != nullptr && IsClass(parent, WC_COMBOBOXW) ? parent : nullptr;
}

void Click(HWND button) {
    SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

}  // namespace

HWND Dialog::Native::DefaultButton() const {
    for (size_t i = 0; i < items_.size(); ++i) {
        HWND button = items_[i].hwnd;
        if ((owner.dialogTemplate().items[i].styles & kDefaultButton) && IsWindowVisible(button) &&
            IsWindowEnabled(button))
            return button;
    }
    return nullptr;
}

// Enter never closes a dialog by itself: it presses the focused button, else the default
// button, else nothing; in a combo box whose list is closed it is the box's own event.
// Escape closes the window from anywhere in it, pages included.
bool PreTranslate(tagMSG& message) {
    HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    Dialog::Native* dialog = DialogWindow::FromWindow(root);
    if (dialog == nullptr) return false;
    if (message.message != WM_KEYDOWN ||
        (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE))
        return IsDialogMessageW(root, &message);

    HWND focus = GetFocus();
    HWND combo = ComboBoxOf(focus);
    // An open list takes both keys itself.
    if (combo != nullptr && SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0))
        return IsDialogMessageW(root, &message);
    if (message.wParam == VK_ESCAPE) {
        dialog->End(kIdCancel);
        return true;
    }
    if (Dialog::Native* owner = DialogWindow::FromWindow(GetParent(combo))) {
        owner->Fire(combo, Notify::EnterPressed);
        return true;
    }
    const LRESULT code = focus != nullptr ? SendMessageW(focus, WM_GETDLGCODE, message.wParam,
                                                         reinterpret_cast<LPARAM>(&message))
                                          : 0;
    // A multi-line edit takes Enter as a line break.
    if (code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return IsDialogMessageW(root, &message);
    if ((code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) && IsWindowEnabled(focus)) {
        Click(focus);
    } else if (HWND button = dialog->DefaultButton()) {
        Click(button);
    }
    return true;
}

}  // namespace pelvane::ui
