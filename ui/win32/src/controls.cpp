#include "ui/controls.h"

#include <algorithm>

#include "ui/win32/src/dialog_window.h"
#include "ui/win32_access.h"

namespace pelvane::ui {

TabControl::TabControl(std::unique_ptr<Native> native)
    : Control(kKind), native_(std::move(native)) {}
TabControl::~TabControl() = default;

Hwnd HwndOf(const TabControl& tabs) {
    return tabs.native().hwnd;
}

void TabControl::InsertItem(int index, const std::string& text) {
    std::wstring wide = Widen(text);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = wide.data();
    SendMessageW(native_->hwnd, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
}

int TabControl::ItemCount() const {
    return static_cast<int>(SendMessageW(native_->hwnd, TCM_GETITEMCOUNT, 0, 0));
}

std::string TabControl::ItemText(int index) const {
    wchar_t text[256] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 256;
    if (!SendMessageW(native_->hwnd, TCM_GETITEMW, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(&item)))
        return {};
    return Narrow(item.pszText);
}

int TabControl::CurSel() const {
    return static_cast<int>(SendMessageW(native_->hwnd, TCM_GETCURSEL, 0, 0));
}

void TabControl::SetCurSel(int index) {
    SendMessageW(native_->hwnd, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
}

Rect TabControl::PageArea() const {
    RECT area{};
    GetClientRect(native_->hwnd, &area);
    SendMessageW(native_->hwnd, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    return {area.left, area.top, std::max(0L, area.right - area.left),
            std::max(0L, area.bottom - area.top)};
}

ComboBox::ComboBox(std::unique_ptr<Native> native) : Control(kKind), native_(std::move(native)) {}
ComboBox::~ComboBox() = default;

Hwnd HwndOf(const ComboBox& combo) {
    return combo.native().hwnd;
}

int ComboBox::AddString(const std::string& text) {
    const auto count = static_cast<size_t>(SendMessageW(native_->hwnd, CB_GETCOUNT, 0, 0));
    const size_t index = native_->sorted ? SortedInsertPosition(Entries(), text) : count;
    const std::wstring wide = Widen(text);
    return static_cast<int>(SendMessageW(native_->hwnd, CB_INSERTSTRING, index,
                                         reinterpret_cast<LPARAM>(wide.c_str())));
}

int ComboBox::FindStringPrefix(const std::string& prefix) const {
    return ui::FindStringPrefix(Entries(), prefix);
}

StringList ComboBox::Entries() const {
    const auto count = static_cast<int>(SendMessageW(native_->hwnd, CB_GETCOUNT, 0, 0));
    StringList entries;
    for (int i = 0; i < count; ++i) {
        const LRESULT length =
            SendMessageW(native_->hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring text(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        SendMessageW(native_->hwnd, CB_GETLBTEXT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<size_t>(std::max<LRESULT>(length, 0)));
        entries.push_back(Narrow(text));
    }
    return entries;
}

}  // namespace pelvane::ui
