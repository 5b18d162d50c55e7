#include "ui/message_box.h"

#include "ui/win32/src/dialog_window.h"
#include "ui/win32_access.h"

namespace pelvane::ui {
namespace {

// The dialog manager's id of a message box's text.
constexpr int kMessageTextId = 0xFFFF;

std::function<void(const OpenMessageBox&)>& Hook() {
    static std::function<void(const OpenMessageBox&)> hook;
    return hook;
}

// The box the hook waits for: owned by this window, on this thread.
thread_local HWND t_boxOwner = nullptr;

BOOL CALLBACK MatchBox(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (lstrcmpW(className, L"#32770") != 0 || !IsWindowVisible(window) ||
        GetWindow(window, GW_OWNER) != t_boxOwner || DialogWindow::FromWindow(window) != nullptr)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// A thread timer: its ticks are dispatched by the box's own modal loop.
void CALLBACK RunHook(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchBox, reinterpret_cast<LPARAM>(&box));
    if (box == nullptr) return;
    KillTimer(nullptr, timer);
    if (!Hook()) return;
    Hook()({WindowText(box), WindowText(GetDlgItem(box, kMessageTextId)), [box] {
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
            }});
}

// The program's name as its window shows it, else as its file is called.
std::wstring CaptionFor(const Dialog* window) {
    if (window != nullptr && *window->dialogTemplate().caption != '\0')
        return Widen(window->dialogTemplate().caption);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name = path;
    name.erase(0, name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.rfind(L'.'));
}

}  // namespace

void MessageBox(Dialog* parent, const std::string& text) {
    HWND owner = parent != nullptr && HwndOf(*parent) != nullptr
                     ? GetAncestor(HwndOf(*parent), GA_ROOT)
                     : nullptr;
    const Dialog::Native* root = owner != nullptr ? DialogWindow::FromWindow(owner) : nullptr;
    const Dialog* window = root != nullptr ? &root->owner : parent;
    const UINT_PTR timer = Hook() ? SetTimer(nullptr, 0, 10, RunHook) : 0;
    t_boxOwner = owner;
    MessageBoxW(owner, Widen(text).c_str(), CaptionFor(window).c_str(), MB_OK);
    if (timer != 0) KillTimer(nullptr, timer);
}

void SetMessageBoxHook(std::function<void(const OpenMessageBox&)> hook) {
    Hook() = std::move(hook);
}

}  // namespace pelvane::ui
