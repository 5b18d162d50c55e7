// The common tests' driver on Win32: the program's message loop, and keys and clicks
// posted as the system would deliver them.
#include "tests/ui/driver.h"

#include <thread>

#include "tests/ui/win32/test_support.h"

namespace pelvane::ui::testing {

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    return PumpMessagesUntil(done, static_cast<DWORD>(timeoutMs));
}

void Pump(int ms) {
    PumpMessagesUntil([] { return false; }, static_cast<DWORD>(ms));
}

void Block(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool ShowActive(Dialog& dialog) {
    dialog.Show(true);
    return PumpMessagesUntil([&] { return GetActiveWindow() == HwndOf(dialog); }, 3000);
}

void Minimise(Dialog& dialog) {
    ShowWindow(HwndOf(dialog), SW_MINIMIZE);
}

void Press(Key key) {
    PressKey(key == Key::Enter ? VK_RETURN : key == Key::Escape ? VK_ESCAPE : VK_TAB);
}

void Focus(const Dialog& dialog, int id) {
    SetFocus(ItemHwnd(dialog, id));
}

bool HasFocus(const Dialog& dialog, int id) {
    HWND item = ItemHwnd(dialog, id);
    HWND focus = GetFocus();
    // A combo box has the focus in its edit field.
    return item != nullptr && (focus == item || GetParent(focus) == item);
}

void ClickTab(const TabControl& tabs, int index) {
    RECT tab{};
    SendMessageW(HwndOf(tabs), TCM_GETITEMRECT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&tab));
    ClickAt(HwndOf(tabs), {(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2});
}

int StripBottom(const TabControl& tabs) {
    RECT tab{};
    SendMessageW(HwndOf(tabs), TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab));
    return tab.bottom;
}

void RunInModalLoop(std::function<void()> action) {
    RunInNextModalLoop(std::move(action));
}

bool OwnerWaits(const Dialog& owner) {
    return !IsWindowEnabled(HwndOf(owner));
}

bool HasItem(const Dialog& dialog, int id) {
    return ItemHwnd(dialog, id) != nullptr;
}

int SystemIdOf(const Dialog& dialog, int id) {
    return GetDlgCtrlID(ItemHwnd(dialog, id));
}

bool ItemShown(const Dialog& dialog, int id) {
    return (GetWindowLongW(ItemHwnd(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

Rect PlaceOf(const Dialog& dialog, int id) {
    return PlaceInParent(ItemHwnd(dialog, id));
}

Size ClientSize(const Dialog& dialog) {
    RECT client{};
    GetClientRect(HwndOf(dialog), &client);
    return {client.right, client.bottom};
}

int FirstShownCharacter(const Dialog& dialog, int id) {
    DWORD start = 1;
    SendMessageW(ItemHwnd(dialog, id), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    return static_cast<int>(start);
}

std::string SystemCaption(const Dialog& dialog) {
    wchar_t title[64] = {};
    GetWindowTextW(HwndOf(dialog), title, 64);
    return Narrow(title);
}

std::string ProgramName() {
    return "pelvane_ui_win32_tests";
}

std::vector<int> RedPixelsPerRow(const ListControl& list) {
    return RedPixelsOfRows(HwndOf(list));
}

}  // namespace pelvane::ui::testing
