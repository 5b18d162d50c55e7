#include "ui/dialog.h"

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/list_control.h"
#include "ui/win32/src/dialog_template_builder.h"
#include "ui/win32/src/dialog_window.h"
#include "ui/win32/src/win32.h"
#include "ui/win32_access.h"

namespace pelvane::ui {
namespace {

std::unique_ptr<Control> MakeControl(const ItemTemplate& item, HWND window) {
    switch (item.kind) {
        case ItemKind::Tab:
            return std::make_unique<TabControl>(std::make_unique<TabControl::Native>(window));
        case ItemKind::ComboBox:
            return std::make_unique<ComboBox>(
                std::make_unique<ComboBox::Native>(window, (item.styles & kSorted) != 0));
        case ItemKind::ListView:
            return std::make_unique<ListControl>(std::make_unique<ListControl::Native>(window));
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
    : template_(dialogTemplate), native_(std::make_unique<Native>(*this, parent)) {}

Dialog::~Dialog() = default;

Dialog::Native::~Native() {
    if (hwnd_ == nullptr) return;
    // Nothing of this object may run while its window goes.
    DialogWindow::Unregister(hwnd_);
    DestroyWindow(hwnd_);
}

void Dialog::Native::Initialize() {
    if (built_) return;
    HWND ownerWindow = parent_ != nullptr && parent_->native().hwnd_ != nullptr
                           ? GetAncestor(parent_->native().hwnd_, GA_ROOT)
                           : nullptr;
    Build(ownerWindow, false);
}

bool Dialog::Native::Create(TabControl& host) {
    if (built_) return false;
    // The dialog manager's Tab key walks into a page only through parents marked so.
    const LONG_PTR extended = GetWindowLongPtrW(HwndOf(host), GWL_EXSTYLE);
    SetWindowLongPtrW(HwndOf(host), GWL_EXSTYLE, extended | WS_EX_CONTROLPARENT);
    Build(HwndOf(host), true);
    return hwnd_ != nullptr;
}

void Dialog::Native::Build(Hwnd parentWindow, bool asPage) {
    built_ = true;
    page_ = asPage;
    const std::vector<uint16_t> words = BuildDialogTemplate(owner.dialogTemplate(), asPage);
    CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                               reinterpret_cast<LPCDLGTEMPLATEW>(words.data()), parentWindow,
                               DialogWindow::Proc, reinterpret_cast<LPARAM>(this));
}

// Runs on WM_INITDIALOG, when the controls exist and before anything shows.
void Dialog::Native::Attach(Hwnd window) {
    hwnd_ = window;
    DialogWindow::Register(window, this);
    CollectItems();
    for (const InitString& entry : owner.dialogTemplate().initStrings) {
        if (auto* combo = owner.ItemAs<ComboBox>(entry.itemId)) combo->AddString(entry.text);
    }
    if (page_) return;
    SendMessageW(window, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(AppIcon(SM_CXICON, SM_CYICON)));
    SendMessageW(window, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(AppIcon(SM_CXSMICON, SM_CYSMICON)));
    for (const MenuEntry& entry : menuEntries_) AppendMenuEntry(entry);
}

BaseUnits Dialog::Native::baseUnits() const {
    RECT base{0, 0, 4, 8};
    if (hwnd_ == nullptr || !::MapDialogRect(hwnd_, &base)) return {};
    return {static_cast<int>(base.right), static_cast<int>(base.bottom)};
}

void Dialog::Native::CollectItems() {
    // The dialog manager creates the items in template order, each below the last.
    HWND child = GetWindow(hwnd_, GW_CHILD);
    for (const ItemTemplate& item : owner.dialogTemplate().items) {
        items_.push_back({item.id, child, MakeControl(item, child)});
        if (child != nullptr) child = GetWindow(child, GW_HWNDNEXT);
    }
}

int Dialog::Native::DoModal() {
    Initialize();
    if (hwnd_ == nullptr) return kIdCancel;
    HWND ownerWindow = GetWindow(hwnd_, GW_OWNER);
    const bool disableOwner = ownerWindow != nullptr && IsWindowEnabled(ownerWindow);
    if (disableOwner) EnableWindow(ownerWindow, FALSE);
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
    // The ownerWindow first, so that it is the window activated when this one hides.
    if (disableOwner) EnableWindow(ownerWindow, TRUE);
    if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_HIDE);
    if (ownerWindow != nullptr) SetActiveWindow(ownerWindow);
    return result_;
}

void Dialog::Native::End(int result) {
    result_ = result;
    if (modal_) {
        ended_ = true;
        // Wakes the modal loop should this come from inside another one.
        PostMessageW(hwnd_, WM_NULL, 0, 0);
    } else {
        ShowWindow(hwnd_, SW_HIDE);
    }
}

void Dialog::Native::AddSystemMenuItem(uint32_t command, const std::string& text) {
    menuEntries_.push_back({command, text});
    if (hwnd_ != nullptr && !page_) AppendMenuEntry(menuEntries_.back());
}

void Dialog::Native::AppendMenuEntry(const MenuEntry& entry) {
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    if (menu == nullptr) return;
    if (&entry == &menuEntries_.front()) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, entry.command, Widen(entry.text).c_str());
}

void Dialog::Native::SetTimer(int id, int intervalMs) {
    KillTimer(id);
    if (hwnd_ == nullptr) return;
    const UINT_PTR timer = nextTimerId_++;
    if (::SetTimer(hwnd_, timer, static_cast<UINT>(intervalMs), nullptr) != 0) timers_[id] = timer;
}

bool Dialog::Native::KillTimer(int id) {
    const auto it = timers_.find(id);
    if (it == timers_.end()) return false;
    ::KillTimer(hwnd_, it->second);
    timers_.erase(it);
    return true;
}

// The common dialog: what needs the window's state goes to it.

void Dialog::Initialize() {
    native_->Initialize();
}
int Dialog::DoModal() {
    return native_->DoModal();
}
bool Dialog::Create(TabControl& host) {
    return native_->Create(host);
}
BaseUnits Dialog::baseUnits() const {
    return native_->baseUnits();
}
Control* Dialog::ControlOf(int id) const {
    return native_->ControlOf(id);
}
void Dialog::SetItemText(int id, const std::string& text) {
    native_->SetItemText(id, text);
}
void Dialog::FollowSize(int id, uint32_t anchors) {
    native_->FollowSize(id, anchors);
}
void Dialog::SetGeometry(const Rect& rect) {
    native_->SetGeometry(rect);
}
Rect Dialog::Geometry() const {
    return native_->Geometry();
}
void Dialog::SetTimer(int id, int intervalMs) {
    native_->SetTimer(id, intervalMs);
}
bool Dialog::KillTimer(int id) {
    return native_->KillTimer(id);
}
bool Dialog::HasTimer(int id) const {
    return native_->timers_.contains(id);
}
void Dialog::AddSystemMenuItem(uint32_t command, const std::string& text) {
    native_->AddSystemMenuItem(command, text);
}

Hwnd HwndOf(const Dialog& dialog) {
    return dialog.native().hwnd_;
}

Hwnd ItemHwnd(const Dialog& dialog, int id) {
    return dialog.native().Item(id);
}

}  // namespace pelvane::ui
