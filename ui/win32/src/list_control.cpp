#include "ui/list_control.h"

#include "ui/win32/src/dialog_window.h"
#include "ui/win32_access.h"

namespace pelvane::ui {
namespace {

int ColumnFormat(Align alignment) {
    switch (alignment) {
        case Align::Center:
            return LVCFMT_CENTER;
        case Align::Right:
            return LVCFMT_RIGHT;
        default:
            return LVCFMT_LEFT;
    }
}

// Both exist.
bool IsCell(const ListControl& list, int row, int column) {
    return row >= 0 && row < list.ItemCount() && column >= 0 && column < list.HeaderItemCount();
}

}  // namespace

ListControl::ListControl(std::unique_ptr<Native> native)
    : Control(kKind), native_(std::move(native)) {}
ListControl::~ListControl() = default;

Hwnd HwndOf(const ListControl& list) {
    return list.native().hwnd;
}

int ListControl::InsertColumn(int index, const std::string& title, Align alignment, int width) {
    if (index < 0) return -1;
    native_->HoldRedraw();
    std::wstring text = Widen(title);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    column.fmt = ColumnFormat(alignment);
    column.cx = ScaleForDpi(width, WindowDpi(native_->hwnd));
    column.pszText = text.data();
    // A list view draws a column inserted first left-aligned whatever it asked for, but
    // one that becomes first when the column before it goes keeps its own alignment.
    const bool placeholder = index == 0 && alignment != Align::Left && ItemCount() == 0;
    if (placeholder) {
        LVCOLUMNW first{};
        first.mask = LVCF_WIDTH;
        SendMessageW(native_->hwnd, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&first));
    }
    const auto at = static_cast<int>(SendMessageW(native_->hwnd, LVM_INSERTCOLUMNW,
                                                  static_cast<WPARAM>(placeholder ? 1 : index),
                                                  reinterpret_cast<LPARAM>(&column)));
    if (!placeholder || at < 0) return at;
    SendMessageW(native_->hwnd, LVM_DELETECOLUMN, 0, 0);
    return 0;
}

bool ListControl::DeleteColumn(int index) {
    native_->HoldRedraw();
    return SendMessageW(native_->hwnd, LVM_DELETECOLUMN, static_cast<WPARAM>(index), 0) != 0;
}

int ListControl::HeaderItemCount() const {
    HWND header = reinterpret_cast<HWND>(SendMessageW(native_->hwnd, LVM_GETHEADER, 0, 0));
    return header != nullptr ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

int ListControl::ColumnWidth(int index) const {
    const auto pixels = static_cast<int>(
        SendMessageW(native_->hwnd, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(index), 0));
    return UnscaleForDpi(pixels, WindowDpi(native_->hwnd));
}

int ListControl::InsertItem(int index, const std::string& text) {
    if (index < 0) return -1;
    native_->HoldRedraw();
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = index;
    item.pszText = wide.data();
    return static_cast<int>(
        SendMessageW(native_->hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

bool ListControl::DeleteItem(int index) {
    native_->HoldRedraw();
    return SendMessageW(native_->hwnd, LVM_DELETEITEM, static_cast<WPARAM>(index), 0) != 0;
}

void ListControl::DeleteAllItems() {
    native_->HoldRedraw();
    SendMessageW(native_->hwnd, LVM_DELETEALLITEMS, 0, 0);
}

int ListControl::ItemCount() const {
    return static_cast<int>(SendMessageW(native_->hwnd, LVM_GETITEMCOUNT, 0, 0));
}

bool ListControl::SetItemText(int row, int column, const std::string& text) {
    if (!IsCell(*this, row, column)) return false;
    native_->HoldRedraw();
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    return SendMessageW(native_->hwnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(&item)) != 0;
}

std::string ListControl::ItemText(int row, int column) const {
    if (!IsCell(*this, row, column)) return {};
    // The list copies at most the buffer and says how much it copied.
    for (size_t size = 64;; size *= 4) {
        std::wstring text(size, L'\0');
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(size);
        const auto length = static_cast<size_t>(SendMessageW(native_->hwnd, LVM_GETITEMTEXTW,
                                                             static_cast<WPARAM>(row),
                                                             reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < size) {
            text.resize(length);
            return Narrow(text);
        }
    }
}

bool ListControl::SetItemData(int row, intptr_t value) {
    if (row < 0 || row >= ItemCount()) return false;
    native_->HoldRedraw();
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = value;
    // The colours come from the data: the whole row is drawn again when drawing resumes.
    return SendMessageW(native_->hwnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

intptr_t ListControl::ItemData(int row) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (row < 0 || !SendMessageW(native_->hwnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return 0;
    return item.lParam;
}

void ListControl::SetExtendedStyle(uint32_t style) {
    native_->HoldRedraw();
    // Double buffering is ours, not the caller's: a list rebuilt ten times a second
    // would flicker without it.
    SendMessageW(native_->hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style | LVS_EX_DOUBLEBUFFER);
}

uint32_t ListControl::ExtendedStyle() const {
    const auto style =
        static_cast<uint32_t>(SendMessageW(native_->hwnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    return style & ~static_cast<uint32_t>(LVS_EX_DOUBLEBUFFER);
}

void ListControl::SetRowColorHook(RowColorHook hook) {
    native_->hook = std::move(hook);
    InvalidateRect(native_->hwnd, nullptr, FALSE);
}

void ListControl::Native::HoldRedraw() {
    if (redrawHeld) return;
    HWND dialog = GetParent(hwnd);
    if (dialog == nullptr ||
        !PostMessageW(dialog, kResumeListRedraw, 0, reinterpret_cast<LPARAM>(hwnd)))
        return;
    SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
    redrawHeld = true;
}

void ListControl::Native::ResumeRedraw() {
    if (!redrawHeld) return;
    redrawHeld = false;
    SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

intptr_t ListControl::Native::CustomDraw(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return hook ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
        case CDDS_ITEMPREPAINT: {
            RowColors colors;
            if (!hook ||
                !hook(static_cast<int>(draw.nmcd.dwItemSpec), draw.nmcd.lItemlParam, colors))
                return CDRF_DODEFAULT;
            // 0x00BBGGRR is a COLORREF already.
            draw.clrText = colors.text;
            draw.clrTextBk = colors.background;
            return CDRF_NEWFONT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

}  // namespace pelvane::ui
