// The report-view list as the pages use it, the same on every backend.
#include "ui/list_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/driver.h"
#include "tests/ui/test_dialogs.h"
#include "ui/dialog.h"

namespace pelvane::ui {
namespace {

const DialogTemplate kList{
    .caption = "List",
    .size = {300, 150},
    .items = {{1007, ItemKind::ListView, "", {0, 0, 300, 150}, kBorder | kTabStop}},
    .initStrings = {}};

using testing::Fill;
using testing::PaintByData;

TEST(ListControl, ColumnsAndRowsInsertDeleteAndCarryTextsAndData) {
    Dialog dialog(kList);
    dialog.Initialize();
    ListControl& list = *dialog.ItemAs<ListControl>(1007);
    EXPECT_EQ(list.InsertColumn(0, "B", Align::Center, 80), 0);
    EXPECT_EQ(list.InsertColumn(0, "节点号", Align::Center, 50), 0);
    EXPECT_EQ(list.InsertColumn(9, "C", Align::Left, 100), 2);  // past the end: appended
    EXPECT_EQ(list.InsertColumn(-1, "X", Align::Left, 10), -1);
    ASSERT_EQ(list.HeaderItemCount(), 3);
    // Widths are given and read at 96 DPI.
    EXPECT_EQ(list.ColumnWidth(0), 50);
    EXPECT_EQ(list.ColumnWidth(1), 80);
    // Emptying the header one column 0 at a time, as a rebuild does.
    for (int n = 3; n > 0; --n) EXPECT_TRUE(list.DeleteColumn(0));
    EXPECT_EQ(list.HeaderItemCount(), 0);
    EXPECT_FALSE(list.DeleteColumn(0));

    Fill(list, 2, {});
    EXPECT_EQ(list.InsertItem(0, "first"), 0);
    EXPECT_EQ(list.InsertItem(5, ""), 1);  // past the end: appended
    EXPECT_EQ(list.InsertItem(0, "零"), 0);
    EXPECT_EQ(list.InsertItem(-1, ""), -1);
    ASSERT_EQ(list.ItemCount(), 3);
    EXPECT_EQ(list.ItemText(0, 0), "零");
    EXPECT_EQ(list.ItemText(1, 0), "first");
    EXPECT_TRUE(list.SetItemText(2, 1, std::string(300, 'f') + "H"));
    EXPECT_EQ(list.ItemText(2, 1), std::string(300, 'f') + "H");
    EXPECT_FALSE(list.SetItemText(3, 0, "no row"));
    EXPECT_FALSE(list.SetItemText(0, 2, "no column"));

    testing::ExpectDataMovesWithItsRow(list);
}

TEST(ListControl, ExtendedStyleIsReplacedWhole) {
    Dialog dialog(kList);
    dialog.Initialize();
    ListControl& list = *dialog.ItemAs<ListControl>(1007);
    list.SetExtendedStyle(kListGridLines | kListFullRowSelect);
    EXPECT_EQ(list.ExtendedStyle(), kListGridLines | kListFullRowSelect);
    list.SetExtendedStyle(kListGridLines);
    EXPECT_EQ(list.ExtendedStyle(), kListGridLines);
    list.SetExtendedStyle(0);
    EXPECT_EQ(list.ExtendedStyle(), 0u);
}

TEST(ListControl, ColourHookPaintsRowsFromTheirDataWhenDrawn) {
    Dialog dialog(kList);
    dialog.Initialize();
    dialog.Show(true);
    ListControl& list = *dialog.ItemAs<ListControl>(1007);
    Fill(list, 2, {0, 1, 7});
    list.SetExtendedStyle(kListGridLines | kListFullRowSelect);
    EXPECT_EQ(testing::RedPixelsPerRow(list), (std::vector<int>{0, 0, 0}));
    std::vector<std::pair<int, intptr_t>> asked;
    list.SetRowColorHook([&](int row, intptr_t data, RowColors& colors) {
        asked.emplace_back(row, data);
        return PaintByData(row, data, colors);
    });
    std::vector<int> red = testing::RedPixelsPerRow(list);
    EXPECT_GT(red[0], 100);
    EXPECT_EQ(red[1], 0);
    EXPECT_EQ(red[2], 0);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.back(), (std::pair<int, intptr_t>{2, 7}));
    // Asked when drawing, so new data shows without setting the hook again.
    list.SetItemData(2, 0);
    EXPECT_GT(testing::RedPixelsPerRow(list)[2], 100);
}

}  // namespace
}  // namespace pelvane::ui
