// A report-view list: titled columns, rows of texts with one data value each, and row
// colours that the owner picks at paint time from that value. Each backend holds the
// system's own list behind Native.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/control.h"
#include "ui/list_types.h"

namespace pelvane::ui {

class ListControl : public Control {
  public:
    static constexpr ItemKind kKind = ItemKind::ListView;
    struct Native;

    explicit ListControl(std::unique_ptr<Native> native);
    ~ListControl() override;

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

    Native& native() const { return *native_; }

  private:
    std::unique_ptr<Native> native_;
};

}  // namespace pelvane::ui
