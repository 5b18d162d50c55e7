#include "pages/page_list.h"

#include "controller/gbk.h"

namespace pelvane {

void ResetList(ui::ListControl& list, std::span<const ListColumn> columns) {
    list.DeleteAllItems();
    for (int count = list.HeaderItemCount(); count > 0; --count) list.DeleteColumn(0);
    int index = 0;
    for (const ListColumn& column : columns)
        list.InsertColumn(index++, column.title, ui::Align::Center, column.width);
    list.SetExtendedStyle(ui::kListGridLines | ui::kListFullRowSelect);
}

void AppendRow(ui::ListControl& list, std::span<const std::string> cells) {
    const int row = list.InsertItem(list.ItemCount(), "");
    int column = 0;
    for (const std::string& cell : cells) list.SetItemText(row, column++, GbkToUtf8(cell));
}

}  // namespace pelvane
