#include "ui/list_control.h"
#include "test_dialogs.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <string>

namespace pelvane::ui {
namespace {

using testing::Fill;
using testing::PaintByData;

QVariant Cell(const ListControl& list, int row, int column, int role = Qt::DisplayRole) {
    return list.model()->data(list.model()->index(row, column), role);
}

TEST(ListControl, ColumnsAndRowsInsertDeleteAndCarryTextsAndData) {
    ListControl list;
    EXPECT_EQ(list.InsertColumn(0, "B", Align::Center, 80), 0);
    EXPECT_EQ(list.InsertColumn(0, "A", Align::Center, 50), 0);
    EXPECT_EQ(list.InsertColumn(9, "C", Align::Left, 100), 2);  // past the end: appended
    EXPECT_EQ(list.InsertColumn(-1, "X", Align::Left, 10), -1);
    ASSERT_EQ(list.HeaderItemCount(), 3);
    EXPECT_EQ(list.ColumnWidth(0), 50);
    EXPECT_EQ(list.ColumnWidth(1), 80);
    EXPECT_EQ(list.model()->headerData(1, Qt::Horizontal).toString(), "B");
    EXPECT_EQ(list.model()->headerData(2, Qt::Horizontal).toString(), "C");

    // Emptying the header one column 0 at a time, as a rebuild does.
    for (int n = 3; n > 0; --n) EXPECT_TRUE(list.DeleteColumn(0));
    EXPECT_EQ(list.HeaderItemCount(), 0);
    EXPECT_FALSE(list.DeleteColumn(0));

    Fill(list, 2, {});
    EXPECT_EQ(list.InsertItem(0, "first"), 0);
    EXPECT_EQ(list.InsertItem(5, ""), 1);  // past the end: appended
    EXPECT_EQ(list.InsertItem(0, "zero"), 0);
    EXPECT_EQ(list.InsertItem(-1, ""), -1);
    ASSERT_EQ(list.ItemCount(), 3);
    EXPECT_EQ(list.ItemText(0, 0), "zero");
    EXPECT_EQ(list.ItemText(1, 0), "first");

    EXPECT_TRUE(list.SetItemText(2, 1, "ffffffffH"));
    EXPECT_FALSE(list.SetItemText(3, 0, "no row"));
    EXPECT_FALSE(list.SetItemText(0, 2, "no column"));
    EXPECT_EQ(Cell(list, 2, 1).toString(), "ffffffffH");
    EXPECT_EQ(Cell(list, 2, 1, Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignHCenter | Qt::AlignVCenter);

    testing::ExpectDataMovesWithItsRow(list);
}

TEST(ListControl, ExtendedStyleIsReplacedWhole) {
    ListControl list;
    list.SetExtendedStyle(kListGridLines | kListFullRowSelect);
    EXPECT_TRUE(list.showGrid());
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
    list.SetExtendedStyle(kListGridLines);
    EXPECT_EQ(list.ExtendedStyle(), kListGridLines);
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectItems);
    list.SetExtendedStyle(0);
    EXPECT_FALSE(list.showGrid());
}

TEST(ListControl, ColourHookIsAskedWithTheRowsDataWhenPainting) {
    ListControl list;
    list.resize(200, 150);
    Fill(list, 2, {0, 1, 7});
    EXPECT_FALSE(Cell(list, 0, 0, Qt::BackgroundRole).isValid());
    std::vector<std::pair<int, intptr_t>> asked;
    list.SetRowColorHook([&](int row, intptr_t data, RowColors& colors) {
        asked.emplace_back(row, data);
        return PaintByData(row, data, colors);
    });
    // Every column of a row alike.
    for (int column = 0; column < 2; ++column) {
        EXPECT_EQ(Cell(list, 0, column, Qt::BackgroundRole).value<QColor>(), Qt::red);
        EXPECT_EQ(Cell(list, 0, column, Qt::ForegroundRole).value<QColor>(), Qt::black);
        EXPECT_EQ(Cell(list, 1, column, Qt::BackgroundRole).value<QColor>(), Qt::white);
    }
    EXPECT_FALSE(Cell(list, 2, 0, Qt::BackgroundRole).isValid());
    EXPECT_EQ(asked.back(), (std::pair<int, intptr_t>{2, 7}));

    // Asked when painting, so a change of data shows without resetting the hook.
    list.SetItemData(2, 0);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const QImage image = list.viewport()->grab().toImage();
    const auto pixel = [&](int row, int column) {
        return QColor(image.pixel(list.visualRect(list.model()->index(row, column)).center()));
    };
    EXPECT_EQ(pixel(0, 1), QColor(Qt::red));
    EXPECT_EQ(pixel(1, 1), QColor(Qt::white));
    EXPECT_EQ(pixel(2, 1), QColor(Qt::red));
}

TEST(ListControl, RebuildsOfTwoHundredRowsStayCheap) {
    ListControl list;
    list.resize(700, 500);
    list.SetRowColorHook(PaintByData);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QElapsedTimer clock;
    clock.start();
    // One second's worth of rebuilds at ten a second, each from nothing.
    for (int round = 0; round < 10; ++round) {
        for (int n = list.ItemCount(); n > 0; --n) list.DeleteItem(0);
        for (int n = list.HeaderItemCount(); n > 0; --n) list.DeleteColumn(0);
        Fill(list, 8, {});
        list.SetExtendedStyle(kListGridLines | kListFullRowSelect);
        for (int row = 0; row < 200; ++row) {
            list.InsertItem(row, "");
            list.SetItemData(row, row % 7 == 0 ? 0 : 1);
            for (int column = 0; column < 8; ++column)
                list.SetItemText(row, column, std::to_string(row * column) + "H");
        }
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(list.ItemCount(), 200);
    // Generous: a sanitizer build on a busy machine, and still well within a second.
    EXPECT_LT(clock.elapsed(), 1000) << "ten rebuilds took " << clock.elapsed() << " ms";
}

}  // namespace
}  // namespace pelvane::ui
