#include "page_list.h"

#include "gbk_text.h"

namespace pelvane {

void ResetList(ui::ListControl& list, std::span<const ListColumn> columns) {
    list.DeleteAllItems();
    for (int count = list.HeaderItemCount(); count > 0; --count) list.DeleteColumn(0);
    int index = 0;
    for (const ListColumn& column : columns)
        list.InsertColumn(index++, QString::fromUtf8(column.title), Qt::AlignHCenter, column.width);
    list.SetExtendedStyle(ui::kListGridLines | ui::kListFullRowSelect);
}

void AppendRow(ui::ListControl& list, std::span<const std::string> cells) {
    const int row = list.InsertItem(list.ItemCount(), QString());
    int column = 0;
    for (const std::string& cell : cells) list.SetItemText(row, column++, FromGbk(cell));
}

}  // namespace pelvane
