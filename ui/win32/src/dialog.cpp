#include "ui/dialog.h"

#include "dialog_template_builder.h"
#include "dialog_window.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/list_control.h"
#include "ui/win32_text.h"
#include "win32.h"

namespace pelvane::ui {
namespace {

std::unique_ptr<Control> MakeControl(const ItemTemplate& item, HWND window) {
    switch (item.kind) {
        case ItemKind::Tab:
            return std::make_unique<TabControl>(window);
        case ItemKind::ComboBox: {
            auto combo = std::make_unique<ComboBox>(window);
            combo->SetSorted((item.styles & kSorted) != 0);
            return combo;
        }
        case ItemKind::ListView:
            return std::make_unique<ListControl>(window);
        default:
            return nullptr;
    }
}

// The application's icon from the program's resources, none when it has no icon.
HICON AppIcon(int metricX, int metricY) {
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAppIconResource), IMAGE_ICON,
                   GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_SHARED));
}

}  // namespace

Dialog::Dialog(const DialogTemplate& dialogTemplate, Dialog* parent)
    : template_(dialogTemplate), parent_(parent) {}

Dialog::~Dialog() {
    if (hwnd_ == nullptr) return;
    // Nothing of this object may run while its window goes.
    DialogWindow::Unregister(hwnd_);
    DestroyWindow(hwnd_);
}

void Dialog::Initialize() {
    if (built_) return;
    HWND owner = parent_ != nullptr && parent_->hwnd_ != nullptr
                     ? GetAncestor(parent_->hwnd_, GA_ROOT)
                     : nullptr;
    Build(owner, false);
}

bool Dialog::Create(TabControl& host) {
    if (built_) return false;
    // The dialog manager's Tab key walks into a page only through parents marked so.
    const LONG_PTR extended = GetWindowLongPtrW(host.hwnd(), GWL_EXSTYLE);
    SetWindowLongPtrW(host.hwnd(), GWL_EXSTYLE, extended | WS_EX_CONTROLPARENT);
    Build(host.hwnd(), true);
    return hwnd_ != nullptr;
}

void Dialog::Build(Hwnd parentWindow, bool asPage) {
    built_ = true;
    page_ = asPage;
    const std::vector<uint16_t> words = BuildDialogTemplate(template_, asPage);
    CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                               reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), parentWindow,
                               DialogWindow::Proc, reinterpret_cast<LPARAM>(this));
}

// Runs on WM_INITDIALOG, when the controls exist and before anything shows.
void Dialog::Attach(Hwnd window) {
    hwnd_ = window;
    DialogWindow::Register(window, this);
    CollectItems();
    for (const InitString& entry : template_.initStrings) {
        if (auto* combo = ItemAs<ComboBox>(entry.itemId)) combo->AddString(entry.text);
    }
    if (page_) return;
    SendMessageW(window, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(AppIcon(SM_CXICON, SM_CYICON)));
    SendMessageW(window, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(AppIcon(SM_CXSMICON, SM_CYSMICON)));
    for (const MenuEntry& entry : menuEntries_) AppendMenuEntry(entry);
}

BaseUnits Dialog::baseUnits() const {
    RECT base{0, 0, 4, 8};
    if (hwnd_ == nullptr || !::MapDialogRect(hwnd_, &base)) return {};
    return {static_cast<int>(base.right), static_cast<int>(base.bottom)};
}

void Dialog::CollectItems() {
    // The dialog manager creates the items in template order, each below the last.
    HWND child = GetWindow(hwnd_, GW_CHILD);
    for (const ItemTemplate& item : template_.items) {
        items_.push_back({item.id, child, MakeControl(item, child)});
        if (child != nullptr) child = GetWindow(child, GW_HWNDNEXT);
    }
}

int Dialog::DoModal() {
    Initialize();
    if (hwnd_ == nullptr) return kIdCancel;
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
    if (disableOwner) EnableWindow(owner, FALSE);
    modal_ = true;
    ended_ = false;
    result_ = kIdCancel;
    ShowWindow(hwnd_, SW_SHOW);
    MSG message;
    while (!ended_ && hwnd_ != nullptr) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got <= 0) {
            // WM_QUIT belongs to the loop outside.
            if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (PreTranslate(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    modal_ = false;
    // The owner first, so that it is the window activated when this one hides.
    if (disableOwner) EnableWindow(owner, TRUE);
    if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_HIDE);
    if (owner != nullptr) SetActiveWindow(owner);
    return result_;
}

void Dialog::End(int result) {
    result_ = result;
    if (modal_) {
        ended_ = true;
        // Wakes the modal loop should this come from inside another one.
        PostMessageW(hwnd_, WM_NULL, 0, 0);
    } else {
        ShowWindow(hwnd_, SW_HIDE);
    }
}

void Dialog::AddSystemMenuItem(uint32_t command, const std::string& text) {
    menuEntries_.push_back({command, text});
    if (hwnd_ != nullptr && !page_) AppendMenuEntry(menuEntries_.back());
}

void Dialog::AppendMenuEntry(const MenuEntry& entry) {
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    if (menu == nullptr) return;
    if (&entry == &menuEntries_.front()) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, entry.command, Widen(entry.text).c_str());
}

void Dialog::SetTimer(int id, int intervalMs) {
    KillTimer(id);
    if (hwnd_ == nullptr) return;
    const UINT_PTR timer = nextTimerId_++;
    if (::SetTimer(hwnd_, timer, static_cast<UINT>(intervalMs), nullptr) != 0) timers_[id] = timer;
}

bool Dialog::KillTimer(int id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) return false;
    ::KillTimer(hwnd_, it->second);
    timers_.erase(it);
    return true;
}

}  // namespace pelvane::ui
