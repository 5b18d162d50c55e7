// A report-view list: titled columns, rows of texts with one data value each, and row
// colours that the owner picks at paint time from that value.
#pragma once

#include <cstdint>
#include <string>

#include "ui/control.h"
#include "ui/list_types.h"

struct tagNMLVCUSTOMDRAW;

namespace pelvane::ui {

class ListControl : public Control {
  public:
    static constexpr ItemKind kKind = ItemKind::ListView;

    explicit ListControl(Hwnd hwnd) : Control(hwnd, kKind) {}

    // Widths in pixels at 96 dots per inch, scaled to the window's. Returns the new
    // column's index, -1 on failure.
    int InsertColumn(int index, const std::string& title, Align alignment, int width);
    bool DeleteColumn(int index);
    int HeaderItemCount() const;
    // In pixels at 96 dots per inch, as inserted.
    int ColumnWidth(int index) const;

    // Returns the new row's index (at most the row count), -1 on failure.
    int InsertItem(int index, const std::string& text);
    bool DeleteItem(int index);
    void DeleteAllItems();
    int ItemCount() const;
    bool SetItemText(int row, int column, const std::string& text);
    std::string ItemText(int row, int column) const;
    bool SetItemData(int row, intptr_t value);
    intptr_t ItemData(int row) const;

    // Replaces every extended style bit.
    void SetExtendedStyle(uint32_t style);
    uint32_t ExtendedStyle() const;

    // The rows shown are drawn again with the new hook.
    void SetRowColorHook(RowColorHook hook);
    // The reply to NM_CUSTOMDRAW, which the list sends to its dialog.
    intptr_t CustomDraw(tagNMLVCUSTOMDRAW& draw) const;
    // Changes are drawn once the message loop comes back to the list's dialog, which
    // then calls this: a list rebuilt row by row would otherwise be drawn for every row.
    void ResumeRedraw();

  private:
    bool IsCell(int row, int column) const;
    void HoldRedraw();

    RowColorHook hook_;
    bool redrawHeld_ = false;
};

}  // namespace pelvane::ui
