#include "ui/dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include "test_dialogs.h"
#include "ui/controls.h"
#include "ui/list_control.h"

namespace pelvane::ui {
namespace {

using testing::kOkCancel;
using testing::kPage;
using testing::kTest;

class CountingDialog : public Dialog {
  public:
    using Dialog::Dialog;
    int inits = 0;
    std::vector<Size> sizes;

  protected:
    bool OnInitDialog() override { return ++inits > 0; }
    void OnSize(const Size& clientSize) override { sizes.push_back(clientSize); }
};

bool Show(QWidget& widget) {
    widget.show();
    return QTest::qWaitForWindowActive(&widget);
}

bool HasFocus(QWidget* widget) {
    QWidget* focus = QApplication::focusWidget();
    return focus == widget || widget->isAncestorOf(focus);
}

TEST(Dialog, ControlsSitAtTheirTemplateGeometryWithTheirIds) {
    CountingDialog dialog(kTest);
    dialog.Initialize();
    EXPECT_EQ(dialog.inits, 1);
    EXPECT_EQ(dialog.windowTitle(), "Test");
    const BaseUnits units = BaseUnitsForFont(dialog.font());
    EXPECT_EQ(dialog.baseUnits(), units);
    EXPECT_EQ(dialog.size(), ToQRect(DluToPixels(Rect{0, 0, 200, 120}, units)).size());

    ASSERT_NE(dialog.ItemAs<TabControl>(1000), nullptr);
    EXPECT_EQ(FromQRect(dialog.Item(1000)->geometry()), DluToPixels(Rect{3, 40, 190, 70}, units));
    ASSERT_NE(dialog.ItemAs<QPushButton>(1002), nullptr);
    EXPECT_EQ(FromQRect(dialog.Item(1002)->geometry()), DluToPixels(Rect{80, 12, 40, 14}, units));
    // The first item with an id keeps it; unknown ids find nothing.
    ASSERT_NE(dialog.ItemAs<QLineEdit>(1003), nullptr);
    EXPECT_TRUE(dialog.ItemAs<QLineEdit>(1003)->isReadOnly());
    EXPECT_NE(dialog.ItemAs<ListControl>(1005), nullptr);
    for (int id = 1000; id <= 1005; ++id) EXPECT_EQ(ItemIdOf(dialog.Item(id)), id);
    EXPECT_EQ(dialog.Item(4242), nullptr);
    EXPECT_EQ(dialog.Item(kIdNone), nullptr);
    EXPECT_EQ(FindItem(&dialog, 4242), nullptr);

    // Texts with CR LF line ends show as lines.
    ASSERT_NE(dialog.ItemAs<QPlainTextEdit>(1004), nullptr);
    dialog.SetItemText(1004, "300H:a\r\n301H:b\r\n");
    EXPECT_EQ(dialog.ItemAs<QPlainTextEdit>(1004)->document()->blockCount(), 3);
    EXPECT_EQ(dialog.ItemText(1004), "300H:a\n301H:b\n");
    // A single-line text too long for its field shows its start, as a native edit does.
    dialog.SetItemText(1003, std::string(200, 'x'));
    EXPECT_EQ(dialog.ItemAs<QLineEdit>(1003)->cursorPosition(), 0);

    // The combo box's 80 units include the dropped list; it starts empty and sorted.
    auto* combo = dialog.ItemAs<ComboBox>(1001);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->height(), combo->sizeHint().height());
    EXPECT_EQ(combo->Entries(), (StringList{"Alpha", "beta"}));
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(combo->currentText(), "");
}

TEST(Dialog, PageIsAHiddenChildFoundThroughItsWindowWhichEscapeCloses) {
    Dialog window(kTest);
    window.Initialize();
    CountingDialog page(kPage);
    ASSERT_TRUE(page.Create(*window.ItemAs<TabControl>(1000)));
    EXPECT_FALSE(page.Create(*window.ItemAs<TabControl>(1000)));
    EXPECT_EQ(page.inits, 1);
    EXPECT_FALSE(page.isWindow());
    EXPECT_EQ(page.parentWidget(), window.Item(1000));
    EXPECT_EQ(page.font().pointSize(), 8);

    ASSERT_TRUE(Show(window));
    EXPECT_FALSE(page.isVisible());
    EXPECT_EQ(FindItem(&window, 1007), page.Item(1007));
    page.show();
    page.Item(1007)->setFocus();
    QTest::keyClick(page.Item(1007), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_FALSE(page.isHidden());
}

TEST(Dialog, FocusFollowsTheTemplateAndEnterPressesTheFocusedOrDefaultButton) {
    Dialog dialog(kTest);
    dialog.Initialize();
    ASSERT_TRUE(Show(dialog));
    EXPECT_TRUE(HasFocus(dialog.Item(1001)));
    // Past items without a tab stop and hidden ones, round to the start.
    EXPECT_EQ(dialog.Item(1000)->focusPolicy(), Qt::NoFocus);
    for (int id : {1002, 1003, 1001}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_TRUE(HasFocus(dialog.Item(id))) << id;
    }

    // Enter never closes the window by itself.
    auto* go = dialog.ItemAs<QPushButton>(1002);
    QSignalSpy clicked(go, &QPushButton::clicked);
    dialog.Item(1003)->setFocus();
    QTest::keyClick(dialog.Item(1003), Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 0);
    go->setFocus();
    QTest::keyClick(go, Qt::Key_Return);
    QTest::keyClick(go, Qt::Key_Enter);
    EXPECT_EQ(clicked.count(), 2);
    EXPECT_TRUE(dialog.isVisible());

    // Enter in an edit field presses the default button; DoModal returns its result.
    Dialog ask(kOkCancel);
    QTimer::singleShot(0, &ask, [&ask] { QTest::keyClick(ask.Item(1010), Qt::Key_Return); });
    EXPECT_EQ(ask.DoModal(), kIdOk);
    // Without a sizing border the size stays that of the template.
    EXPECT_EQ(ask.minimumSize(), ask.maximumSize());
}

TEST(Dialog, SizeChangesReachOnSizeButMinimisingDoesNot) {
    CountingDialog dialog(kTest);
    dialog.Initialize();
    ASSERT_TRUE(Show(dialog));
    dialog.sizes.clear();
    dialog.resize(500, 400);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.sizes.empty(); }, 2000));
    EXPECT_EQ(dialog.sizes, (std::vector<Size>{Size{500, 400}}));
    dialog.showMinimized();
    QTest::qWait(50);
    for (const Size& size : dialog.sizes) EXPECT_EQ(size, (Size{500, 400}));
}

TEST(Controls, ComboBoxAddsInOrderAndKeepsTheTypedText) {
    ComboBox combo;
    combo.SetSorted(true);
    combo.setEditText("typed");
    EXPECT_EQ(combo.AddString("b"), 0);
    EXPECT_EQ(combo.AddString("C"), 1);
    EXPECT_EQ(combo.AddString("A"), 0);
    EXPECT_EQ(combo.Entries(), (StringList{"A", "b", "C"}));
    EXPECT_EQ(combo.currentText(), "typed");
    EXPECT_EQ(combo.FindStringPrefix("c"), 2);

    ComboBox unsorted;
    unsorted.AddString("b");
    unsorted.AddString("a");
    EXPECT_EQ(unsorted.Entries(), (StringList{"b", "a"}));
}

TEST(Controls, ComboBoxNotifiesBeforeItsListOpensAndKeepsTypedEntriesOut) {
    ComboBox combo;
    combo.resize(150, combo.sizeHint().height());
    ASSERT_TRUE(Show(combo));
    QSignalSpy enter(&combo, &ComboBox::enterPressed);
    QTest::keyClicks(&combo, "10.0.0.1");
    QTest::keyClick(&combo, Qt::Key_Return);
    EXPECT_EQ(enter.count(), 1);
    EXPECT_EQ(combo.count(), 0);
    EXPECT_EQ(combo.currentText(), "10.0.0.1");

    bool listWasOpen = true;
    QObject::connect(&combo, &ComboBox::dropDown, [&] {
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

TEST(Controls, TextWithoutAutoScrollNeverRunsPastTheField) {
    ComboBox combo;
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

TEST(Controls, TabSelectionNotifiesOnlyForTheUsersChoice) {
    TabControl tabs;
    tabs.resize(300, 200);
    tabs.InsertItem(0, "one");
    tabs.InsertItem(1, "two");
    ASSERT_TRUE(Show(tabs));
    QSignalSpy changed(&tabs, &TabControl::selChange);
    tabs.SetCurSel(1);
    tabs.SetCurSel(0);
    EXPECT_EQ(changed.count(), 0);
    QTest::mouseClick(tabs.tabBar(), Qt::LeftButton, {}, tabs.tabBar()->tabRect(1).center());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(tabs.CurSel(), 1);
    EXPECT_EQ(tabs.PageArea(),
              (Rect{0, TabControl::kStripHeight, 300, 200 - TabControl::kStripHeight}));
    tabs.resize(10, 10);
    EXPECT_EQ(tabs.PageArea().height, 0);
}

}  // namespace
}  // namespace pelvane::ui
