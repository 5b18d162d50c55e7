// What only the Qt backend shows: its widgets, their focus policies and validators, the
// list's model roles and the message box's buttons.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include "tests/ui/test_dialogs.h"
#include "ui/message_box.h"
#include "ui/qt_access.h"

namespace pelvane::ui {
namespace {

using testing::Fill;
using testing::kOkCancel;
using testing::kPage;
using testing::kTest;
using testing::PaintByData;

bool Show(QWidget& widget) {
    widget.show();
    return QTest::qWaitForWindowActive(&widget);
}

TEST(QtDialog, ItemsAreTheWidgetsOfTheirKinds) {
    Dialog dialog(kTest);
    dialog.Initialize();
    QDialog& window = WidgetOf(dialog);
    EXPECT_EQ(window.windowTitle(), "Test");
    const BaseUnits units = BaseUnitsForFont(window.font());
    EXPECT_EQ(dialog.baseUnits(), units);
    EXPECT_EQ(window.size(), ToQRect(DluToPixels(Rect{0, 0, 200, 120}, units)).size());
    ASSERT_NE(ItemWidgetAs<QtTabControl>(dialog, 1000), nullptr);
    ASSERT_NE(ItemWidgetAs<QPushButton>(dialog, 1002), nullptr);
    ASSERT_NE(ItemWidgetAs<QLineEdit>(dialog, 1003), nullptr);
    EXPECT_TRUE(ItemWidgetAs<QLineEdit>(dialog, 1003)->isReadOnly());
    EXPECT_NE(ItemWidgetAs<QtListControl>(dialog, 1005), nullptr);
    EXPECT_EQ(&WidgetOf(*dialog.ItemAs<ListControl>(1005)), ItemWidget(dialog, 1005));
    EXPECT_EQ(FindItem(&window, 4242), nullptr);
    EXPECT_EQ(ItemWidget(dialog, 1000)->focusPolicy(), Qt::NoFocus);

    // Texts with CR LF line ends show as lines.
    ASSERT_NE(ItemWidgetAs<QPlainTextEdit>(dialog, 1004), nullptr);
    dialog.SetItemText(1004, "300H:a\r\n301H:b\r\n");
    EXPECT_EQ(ItemWidgetAs<QPlainTextEdit>(dialog, 1004)->document()->blockCount(), 3);
    EXPECT_EQ(dialog.ItemText(1004), "300H:a\n301H:b\n");

    // The combo box's 80 units include the dropped list; it starts with nothing chosen.
    auto* combo = ItemWidgetAs<QtComboBox>(dialog, 1001);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->height(), combo->sizeHint().height());
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(combo->currentText(), "");
}

TEST(QtDialog, PageIsAHiddenChildWidgetOfItsTabControl) {
    Dialog window(kTest);
    window.Initialize();
    Dialog page(kPage);
    ASSERT_TRUE(page.Create(*window.ItemAs<TabControl>(1000)));
    QDialog& pageWidget = WidgetOf(page);
    EXPECT_FALSE(pageWidget.isWindow());
    EXPECT_EQ(pageWidget.parentWidget(), ItemWidget(window, 1000));
    EXPECT_EQ(pageWidget.font().pointSize(), 8);

    ASSERT_TRUE(Show(WidgetOf(window)));
    EXPECT_EQ(FindItem(&WidgetOf(window), 1007), ItemWidget(page, 1007));
    page.Show(true);
    ItemWidget(page, 1007)->setFocus();
    QTest::keyClick(ItemWidget(page, 1007), Qt::Key_Escape);
    EXPECT_EQ(WidgetOf(window).result(), QDialog::Rejected);
    EXPECT_FALSE(pageWidget.isHidden());
}

TEST(QtDialog, BothEnterKeysPressTheFocusedButtonAndAFixedDialogKeepsItsSize) {
    Dialog dialog(kTest);
    dialog.Initialize();
    ASSERT_TRUE(Show(WidgetOf(dialog)));
    auto* go = ItemWidgetAs<QPushButton>(dialog, 1002);
    QSignalSpy clicked(go, &QPushButton::clicked);
    go->setFocus();
    QTest::keyClick(go, Qt::Key_Return);
    QTest::keyClick(go, Qt::Key_Enter);
    EXPECT_EQ(clicked.count(), 2);
    EXPECT_TRUE(dialog.IsShown());

    Dialog ask(kOkCancel);
    QTimer::singleShot(0, &WidgetOf(ask),
                       [&ask] { QTest::keyClick(ItemWidget(ask, 1010), Qt::Key_Return); });
    EXPECT_EQ(ask.DoModal(), kIdOk);
    // Without a sizing border the size stays that of the template.
    EXPECT_EQ(WidgetOf(ask).minimumSize(), WidgetOf(ask).maximumSize());
}

TEST(QtControls, ComboBoxAddsInOrderAndKeepsTheTypedText) {
    QtComboBox combo;
    combo.SetSorted(true);
    combo.setEditText("typed");
    EXPECT_EQ(combo.AddString("b"), 0);
    EXPECT_EQ(combo.AddString("C"), 1);
    EXPECT_EQ(combo.AddString("A"), 0);
    EXPECT_EQ(combo.Entries(), (StringList{"A", "b", "C"}));
    EXPECT_EQ(combo.currentText(), "typed");
    EXPECT_EQ(combo.FindStringPrefix("c"), 2);

    QtComboBox unsorted;
    unsorted.AddString("b");
    unsorted.AddString("a");
    EXPECT_EQ(unsorted.Entries(), (StringList{"b", "a"}));
}

TEST(QtControls, ComboBoxNotifiesBeforeItsListOpensAndKeepsTypedEntriesOut) {
    QtComboBox combo;
    combo.resize(150, combo.sizeHint().height());
    ASSERT_TRUE(Show(combo));
    QSignalSpy enter(&combo, &QtComboBox::enterPressed);
    QTest::keyClicks(&combo, "10.0.0.1");
    QTest::keyClick(&combo, Qt::Key_Return);
    EXPECT_EQ(enter.count(), 1);
    EXPECT_EQ(combo.count(), 0);
    EXPECT_EQ(combo.currentText(), "10.0.0.1");

    bool listWasOpen = true;
    QObject::connect(&combo, &QtComboBox::dropDown, [&] {
        listWasOpen = combo.view()->isVisible();
        combo.AddString("found");
    });
    combo.showPopup();
    EXPECT_FALSE(listWasOpen);
    EXPECT_TRUE(combo.view()->isVisible());
    EXPECT_EQ(combo.view()->model()->rowCount(), 1);
    combo.hidePopup();
    combo.showPopup();
    EXPECT_EQ(combo.count(), 2);
    combo.hidePopup();
}

TEST(QtControls, TextWithoutAutoScrollNeverRunsPastTheField) {
    QtComboBox combo;
    combo.SetAutoHScroll(false);
    combo.resize(120, combo.sizeHint().height());
    ASSERT_TRUE(Show(combo));
    QLineEdit* field = combo.lineEdit();
    const QString longText(60, QLatin1Char('8'));
    QTest::keyClicks(&combo, longText);
    const QString kept = field->text();
    EXPECT_FALSE(kept.isEmpty());
    EXPECT_LT(kept.size(), longText.size());
    EXPECT_LE(field->fontMetrics().horizontalAdvance(kept), TextRoomOf(*field));
    // Deleting makes room again.
    QTest::keyClick(&combo, Qt::Key_Backspace);
    QTest::keyClicks(&combo, "8");
    EXPECT_EQ(field->text(), kept);

    combo.SetAutoHScroll(true);
    QTest::keyClicks(&combo, "9999");
    EXPECT_EQ(field->text(), kept + "9999");
}

TEST(QtControls, TabSelectionNotifiesOnlyForTheUsersChoice) {
    QtTabControl tabs;
    tabs.resize(300, 200);
    tabs.InsertItem(0, "one");
    tabs.InsertItem(1, "two");
    ASSERT_TRUE(Show(tabs));
    QSignalSpy changed(&tabs, &QtTabControl::selChange);
    tabs.SetCurSel(1);
    tabs.SetCurSel(0);
    EXPECT_EQ(changed.count(), 0);
    QTest::mouseClick(tabs.tabBar(), Qt::LeftButton, {}, tabs.tabBar()->tabRect(1).center());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(tabs.CurSel(), 1);
    EXPECT_EQ(tabs.PageArea(),
              (Rect{0, QtTabControl::kStripHeight, 300, 200 - QtTabControl::kStripHeight}));
    tabs.resize(10, 10);
    EXPECT_EQ(tabs.PageArea().height, 0);
}

QVariant Cell(const QtListControl& list, int row, int column, int role = Qt::DisplayRole) {
    return list.model()->data(list.model()->index(row, column), role);
}

TEST(QtListControl, HeaderAndCellsCarryTitlesAndAlignment) {
    QtListControl list;
    EXPECT_EQ(list.InsertColumn(0, "B", Align::Center, 80), 0);
    EXPECT_EQ(list.InsertColumn(0, "A", Align::Center, 50), 0);
    EXPECT_EQ(list.InsertColumn(9, "C", Align::Left, 100), 2);
    EXPECT_EQ(list.model()->headerData(1, Qt::Horizontal).toString(), "B");
    EXPECT_EQ(list.model()->headerData(2, Qt::Horizontal).toString(), "C");
    for (int n = 3; n > 0; --n) EXPECT_TRUE(list.DeleteColumn(0));
    Fill(list, 2, {0, 0, 0});
    EXPECT_TRUE(list.SetItemText(2, 1, "ffffffffH"));
    EXPECT_EQ(Cell(list, 2, 1).toString(), "ffffffffH");
    EXPECT_EQ(Cell(list, 2, 1, Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignHCenter | Qt::AlignVCenter);
}

TEST(QtListControl, ExtendedStyleSetsGridAndRowSelection) {
    QtListControl list;
    list.SetExtendedStyle(kListGridLines | kListFullRowSelect);
    EXPECT_TRUE(list.showGrid());
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);
    list.SetExtendedStyle(kListGridLines);
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectItems);
    list.SetExtendedStyle(0);
    EXPECT_FALSE(list.showGrid());
}

TEST(QtListControl, ColourHookGivesEveryColumnOfARowItsColours) {
    QtListControl list;
    list.resize(200, 150);
    Fill(list, 2, {0, 1, 7});
    EXPECT_FALSE(Cell(list, 0, 0, Qt::BackgroundRole).isValid());
    list.SetRowColorHook(PaintByData);
    for (int column = 0; column < 2; ++column) {
        EXPECT_EQ(Cell(list, 0, column, Qt::BackgroundRole).value<QColor>(), Qt::red);
        EXPECT_EQ(Cell(list, 0, column, Qt::ForegroundRole).value<QColor>(), Qt::black);
        EXPECT_EQ(Cell(list, 1, column, Qt::BackgroundRole).value<QColor>(), Qt::white);
    }
    EXPECT_FALSE(Cell(list, 2, 0, Qt::BackgroundRole).isValid());
}

TEST(QtListControl, RebuildsOfTwoHundredRowsStayCheap) {
    QtListControl list;
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

TEST(QtMessageBox, ModalWithTheApplicationsNameAndOnlyOk) {
    int shown = 0;
    SetMessageBoxHook([&](const OpenMessageBox& open) {
        ++shown;
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(open.caption, QCoreApplication::applicationName().toStdString());
        EXPECT_EQ(open.text, "链接失败");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        ASSERT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->standardButton(box->buttons().front()), QMessageBox::Ok);
        EXPECT_EQ(box->buttons().front()->text(), u"确定"_qs);
        EXPECT_TRUE(box->buttons().front()->icon().isNull());
        open.close();
    });
    MessageBox(nullptr, "链接失败");
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Without a hook the box can still be found and closed from outside.
    SetMessageBoxHook({});
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    MessageBox(nullptr, "closed from outside");
}

}  // namespace
}  // namespace pelvane::ui
