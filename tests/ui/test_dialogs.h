// Templates and row colours that the dialog layer's tests of both backends build on.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "ui/dialog.h"
#include "ui/dialog_template.h"
#include "ui/list_control.h"

namespace pelvane::ui::testing {

// Every item kind, one id given twice, hidden items, a sorted combo box with entries.
inline const DialogTemplate kTest{
    .caption = "Test",
    .size = {200, 120},
    .styles = kResizable,
    .items = {{1000, ItemKind::Tab, "", {3, 40, 190, 70}, kNoStyle},
              {kIdNone, ItemKind::GroupBox, "Group", {3, 1, 190, 36}, kNoStyle},
              {1001, ItemKind::ComboBox, "", {10, 12, 60, 80}, kSorted | kTabStop},
              {1002, ItemKind::PushButton, "Go", {80, 12, 40, 14}, kTabStop},
              {1003, ItemKind::Edit, "", {130, 12, 60, 14}, kReadOnly | kBorder | kTabStop},
              {1004, ItemKind::Edit, "", {130, 26, 60, 8}, kMultiLine | kHidden | kTabStop},
              {1005, ItemKind::ListView, "", {0, 0, 10, 10}, kHidden},
              {1003, ItemKind::Static, "duplicate id", {0, 0, 10, 10}, kNoStyle},
              {1006, ItemKind::Icon, "", {170, 14, 21, 20}, kNoStyle}},
    .initStrings = {{1001, "beta"}, {1001, "Alpha"}}};

inline const DialogTemplate kPage{
    .pointSize = 8,
    .size = {100, 50},
    .styles = kChild,
    .items = {{1007, ItemKind::ListView, "", {0, 0, 100, 50}, kBorder | kTabStop}},
    .initStrings = {}};

inline const DialogTemplate kOkCancel{
    .caption = "Ask",
    .size = {120, 40},
    .items = {{1010, ItemKind::Edit, "", {5, 5, 60, 12}, kTabStop},
              {kIdOk, ItemKind::PushButton, "OK", {5, 22, 40, 14}, kDefaultButton | kTabStop},
              {kIdCancel, ItemKind::PushButton, "Cancel", {50, 22, 40, 14}, kTabStop}},
    .initStrings = {}};

// Rows whose data is 0 are red and 1 white; others keep the list's own colours.
inline bool PaintByData(int, intptr_t data, RowColors& colors) {
    if (data != 0 && data != 1) return false;
    colors.background = data == 0 ? 0x0000FF : 0xFFFFFF;
    colors.text = 0;
    return true;
}

// Gives the list columns, then one row per data value; a backend's own list too.
template <class List>
void Fill(List& list, int columns, std::initializer_list<intptr_t> rows) {
    for (int column = 0; column < columns; ++column)
        list.InsertColumn(column, std::to_string(column), Align::Center, 90);
    for (intptr_t data : rows) list.SetItemData(list.InsertItem(list.ItemCount(), "row"), data);
}

// On a list of three rows whose second reads "first": item data set on rows that exist
// only, and kept by its row when an earlier one goes.
inline void ExpectDataMovesWithItsRow(ListControl& list) {
    EXPECT_TRUE(list.SetItemData(1, 1));
    EXPECT_FALSE(list.SetItemData(7, 1));
    EXPECT_EQ(list.ItemData(0), 0);
    // Data moves with its row.
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.ItemData(0), 1);
    EXPECT_EQ(list.ItemText(0, 0), "first");
    EXPECT_FALSE(list.DeleteItem(2));
    list.DeleteAllItems();
    EXPECT_EQ(list.ItemCount(), 0);
}

}  // namespace pelvane::ui::testing
