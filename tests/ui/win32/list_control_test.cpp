#include "ui/list_control.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "test_dialogs.h"
#include "ui/dialog.h"
#include "ui/dpi.h"
#include "win32_test_support.h"

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
    // Widths are given and read at 96 DPI, and are on screen at the window's.
    EXPECT_EQ(list.ColumnWidth(0), 50);
    EXPECT_EQ(SendMessageW(list.hwnd(), LVM_GETCOLUMNWIDTH, 1, 0),
              ScaleForDpi(80, WindowDpi(list.hwnd())));
    for (int n = 3; n > 0; --n) EXPECT_TRUE(list.DeleteColumn(0));
    EXPECT_FALSE(list.DeleteColumn(0));

    Fill(list, 2, {});
    EXPECT_EQ(list.InsertItem(0, "first"), 0);
    EXPECT_EQ(list.InsertItem(5, ""), 1);  // past the end: appended
    EXPECT_EQ(list.InsertItem(0, "零"), 0);
    EXPECT_EQ(list.InsertItem(-1, ""), -1);
    ASSERT_EQ(list.ItemCount(), 3);
    EXPECT_EQ(list.ItemText(0, 0), "零");
    EXPECT_TRUE(list.SetItemText(2, 1, std::string(300, 'f') + "H"));
    EXPECT_EQ(list.ItemText(2, 1), std::string(300, 'f') + "H");
    EXPECT_FALSE(list.SetItemText(3, 0, "no row"));
    EXPECT_FALSE(list.SetItemText(0, 2, "no column"));

    testing::ExpectDataMovesWithItsRow(list);

    list.SetExtendedStyle(kListGridLines | kListFullRowSelect);
    EXPECT_EQ(SendMessageW(list.hwnd(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) &
                  (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
              LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    list.SetExtendedStyle(kListGridLines);
    EXPECT_EQ(list.ExtendedStyle(), kListGridLines);
}

TEST(ListControl, ColourHookPaintsRowsFromTheirDataWhenDrawn) {
    Dialog dialog(kList);
    dialog.Initialize();
    dialog.Show(true);
    ListControl& list = *dialog.ItemAs<ListControl>(1007);
    Fill(list, 2, {0, 1, 7});
    list.SetExtendedStyle(kListGridLines | kListFullRowSelect);
    EXPECT_EQ(testing::RedPixelsPerRow(list.hwnd()), (std::vector<int>{0, 0, 0}));
    list.SetRowColorHook(PaintByData);
    std::vector<int> red = testing::RedPixelsPerRow(list.hwnd());
    EXPECT_GT(red[0], 100);
    EXPECT_EQ(red[1], 0);
    EXPECT_EQ(red[2], 0);
    // Asked when drawing, so new data shows without setting the hook again.
    list.SetItemData(2, 0);
    EXPECT_GT(testing::RedPixelsPerRow(list.hwnd())[2], 100);
}

TEST(ListControl, WidthsScaleWithTheDpi) {
    EXPECT_EQ(ScaleForDpi(80, 96), 80);
    EXPECT_EQ(ScaleForDpi(80, 144), 120);
    EXPECT_EQ(ScaleForDpi(50, 120), 63);
    // Back to 96 DPI without drift, as ColumnWidth reads them.
    for (int dpi : {120, 144, 168, 192})
        for (int width = 1; width < 400; ++width)
            ASSERT_EQ(UnscaleForDpi(ScaleForDpi(width, dpi), dpi), width) << dpi;
}

}  // namespace
}  // namespace pelvane::ui
