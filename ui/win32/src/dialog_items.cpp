#include <algorithm>

#include "ui/layout.h"
#include "ui/win32/src/dialog_window.h"
#include "ui/win32_access.h"

namespace pelvane::ui {

HWND Dialog::Native::Item(int id) const {
    if (id == kIdNone) return nullptr;
    // The first item with an id keeps it.
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [id](const ItemEntry& item) { return item.id == id; });
    return it == items_.end() ? nullptr : it->hwnd;
}

Control* Dialog::Native::ControlOf(int id) const {
    if (id == kIdNone) return nullptr;
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [id](const ItemEntry& item) { return item.id == id; });
    return it == items_.end() ? nullptr : it->control.get();
}

Control* Dialog::Native::ControlAt(HWND window) const {
    for (const ItemEntry& item : items_) {
        if (item.hwnd == window) return item.control.get();
    }
    return nullptr;
}

void Dialog::Native::SetItemText(int id, const std::string& text) {
    HWND item = Item(id);
    if (item == nullptr) return;
    SetWindowTextUtf8(item, text);
    // A one-line edit shows the start of the new text.
    wchar_t className[16] = {};
    GetClassNameW(item, className, 16);
    if (lstrcmpiW(className, L"Edit") == 0 && !(GetWindowLongW(item, GWL_STYLE) & ES_MULTILINE)) {
        SendMessageW(item, EM_SETSEL, 0, 0);
        SendMessageW(item, EM_SCROLLCARET, 0, 0);
    }
}

std::string Dialog::ItemText(int id) const {
    HWND item = native_->Item(id);
    return item != nullptr ? WindowText(item) : std::string();
}

void Dialog::Bind(int id, Notify notify, std::function<void()> handler) {
    native_->bindings_.push_back({id, notify, std::move(handler)});
}

void Dialog::Native::Fire(HWND control, Notify notify) {
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [control](const ItemEntry& item) { return item.hwnd == control; });
    if (it == items_.end() || it->id == kIdNone) return;
    const int id = it->id;
    // By index and a copy: a handler may bind more.
    for (size_t i = 0; i < bindings_.size(); ++i) {
        if (bindings_[i].id != id || bindings_[i].notify != notify) continue;
        const std::function<void()> handler = bindings_[i].handler;
        handler();
    }
}

void Dialog::Native::FollowSize(int id, uint32_t anchors) {
    HWND control = Item(id);
    if (control == nullptr) return;
    const DialogTemplate& dialogTemplate = owner.dialogTemplate();
    const auto item = std::find_if(dialogTemplate.items.begin(), dialogTemplate.items.end(),
                                   [id](const ItemTemplate& entry) { return entry.id == id; });
    RECT client{};
    GetClientRect(hwnd_, &client);
    const Rect place = FollowClient(DluToPixels(item->rect, baseUnits()),
                                    DluToPixels(dialogTemplate.size, baseUnits()),
                                    {client.right, client.bottom}, anchors);
    MoveWindow(control, place.x, place.y, place.width, place.height, TRUE);
}

void Dialog::Show(bool shown) {
    if (native_->hwnd_ != nullptr) ShowWindow(native_->hwnd_, shown ? SW_SHOW : SW_HIDE);
}

bool Dialog::IsShown() const {
    return native_->hwnd_ != nullptr && IsWindowVisible(native_->hwnd_);
}

void Dialog::Native::SetGeometry(const Rect& rect) {
    if (hwnd_ == nullptr) return;
    RECT frame{rect.x, rect.y, rect.x + rect.width, rect.y + rect.height};
    if (!page_) {
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(hwnd_, GWL_EXSTYLE)));
    }
    SetWindowPos(hwnd_, nullptr, frame.left, frame.top, frame.right - frame.left,
                 frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect Dialog::Native::Geometry() const {
    if (hwnd_ == nullptr) return {};
    RECT client{};
    GetClientRect(hwnd_, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd_, &origin);
    if (page_) ScreenToClient(GetParent(hwnd_), &origin);
    return {origin.x, origin.y, client.right, client.bottom};
}

void Dialog::SetCaption(const std::string& text) {
    if (native_->hwnd_ != nullptr) SetWindowTextUtf8(native_->hwnd_, text);
}

std::string Dialog::Caption() const {
    return native_->hwnd_ != nullptr ? WindowText(native_->hwnd_) : std::string();
}

}  // namespace pelvane::ui
