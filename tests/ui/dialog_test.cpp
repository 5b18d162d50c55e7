#include "ui/dialog.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include "ui/controls.h"
#include "ui/list_control.h"

namespace pelvane::ui {
namespace {

const DialogTemplate& TestTemplate() {
    static const DialogTemplate dialogTemplate{
        .id = 500,
        .caption = "Test",
        .fontFamily = "MS Shell Dlg",
        .pointSize = 9,
        .fontWeight = 0,
        .size = {200, 120},
        .styles = kResizable,
        .items =
            {
                {1000, ItemKind::Tab, "", {3, 40, 190, 70}, kNoStyle},
                {kIdNone, ItemKind::GroupBox, "Group", {3, 1, 190, 36}, kNoStyle},
                {1001, ItemKind::ComboBox, "", {10, 12, 60, 80}, kSorted | kTabStop},
                {1002, ItemKind::PushButton, "Go", {80, 12, 40, 14}, kTabStop},
                {1003, ItemKind::Edit, "", {130, 12, 60, 14}, kReadOnly | kBorder | kTabStop},
                {1004, ItemKind::Edit, "", {130, 26, 60, 8}, kMultiLine | kHidden | kTabStop},
                {1005, ItemKind::ListView, "", {0, 0, 10, 10}, kHidden},
                {1003, ItemKind::Static, "duplicate id", {0, 0, 10, 10}, kNoStyle},
            },
        .initStrings = {{1001, "beta"}, {1001, "Alpha"}},
    };
    return dialogTemplate;
}

const DialogTemplate& PageTemplate() {
    static const DialogTemplate dialogTemplate{
        .id = 501,
        .caption = "",
        .fontFamily = "MS Shell Dlg",
        .pointSize = 8,
        .fontWeight = 400,
        .size = {100, 50},
        .styles = kChild,
        .items = {{1007, ItemKind::ListView, "", {0, 0, 100, 50}, kBorder | kTabStop}},
        .initStrings = {},
    };
    return dialogTemplate;
}

const DialogTemplate& OkCancelTemplate() {
    static const DialogTemplate dialogTemplate{
        .id = 502,
        .caption = "Ask",
        .fontFamily = "MS Shell Dlg",
        .pointSize = 9,
        .fontWeight = 0,
        .size = {120, 40},
        .styles = kNoStyle,
        .items =
            {
                {1010, ItemKind::Edit, "", {5, 5, 60, 12}, kTabStop},
                {kIdOk, ItemKind::PushButton, "OK", {5, 22, 40, 14}, kDefaultButton | kTabStop},
                {kIdCancel, ItemKind::PushButton, "Cancel", {50, 22, 40, 14}, kTabStop},
            },
        .initStrings = {},
    };
    return dialogTemplate;
}

class CountingDialog : public Dialog {
  public:
    using Dialog::Dialog;
    int inits = 0;
    std::vector<QSize> sizes;

  protected:
    bool OnInitDialog() override {
        ++inits;
        return true;
    }
    void OnSize(const QSize& clientSize) override { sizes.push_back(clientSize); }
};

TEST(Dialog, ControlsSitAtTheirTemplateGeometryWithTheirIds) {
    CountingDialog dialog(TestTemplate());
    dialog.Initialize();
    EXPECT_EQ(dialog.inits, 1);
    EXPECT_EQ(dialog.windowTitle(), "Test");

    const BaseUnits units = BaseUnitsForFont(dialog.font());
    EXPECT_GT(units.x, 0);
    EXPECT_EQ(dialog.baseUnits(), units);
    EXPECT_EQ(dialog.size(), DluToPixels(QSize(200, 120), units));

    ASSERT_NE(dialog.ItemAs<TabControl>(1000), nullptr);
    EXPECT_EQ(dialog.Item(1000)->geometry(), DluToPixels(QRect(3, 40, 190, 70), units));
    ASSERT_NE(dialog.ItemAs<QPushButton>(1002), nullptr);
    EXPECT_EQ(dialog.Item(1002)->geometry(), DluToPixels(QRect(80, 12, 40, 14), units));
    EXPECT_TRUE(dialog.ItemAs<QLineEdit>(1003)->isReadOnly());
    ASSERT_NE(dialog.ItemAs<QPlainTextEdit>(1004), nullptr);
    // Texts with CR LF line ends show as lines.
    dialog.SetItemText(1004, "300H:a\r\n301H:b\r\n");
    EXPECT_EQ(dialog.ItemAs<QPlainTextEdit>(1004)->document()->blockCount(), 3);
    EXPECT_EQ(dialog.ItemText(1004), "300H:a\n301H:b\n");
    EXPECT_NE(dialog.ItemAs<ListControl>(1005), nullptr);
    for (int id = 1000; id <= 1005; ++id) EXPECT_EQ(ItemIdOf(dialog.Item(id)), id);

    // The first item with an id keeps it; unknown ids find nothing.
    EXPECT_NE(dialog.ItemAs<QLineEdit>(1003), nullptr);
    EXPECT_EQ(dialog.Item(4242), nullptr);
    EXPECT_EQ(dialog.Item(kIdNone), nullptr);
    EXPECT_EQ(FindItem(&dialog, 4242), nullptr);
}

TEST(Dialog, ComboBoxIsOneLineHighAndStartsEmptyWithSortedInitStrings) {
    Dialog dialog(TestTemplate());
    dialog.Initialize();
    auto* combo = dialog.ItemAs<ComboBox>(1001);
    ASSERT_NE(combo, nullptr);
    // The template's 80 units include the dropped list.
    EXPECT_EQ(combo->height(), combo->sizeHint().height());
    EXPECT_EQ(combo->Entries(), (QStringList{"Alpha", "beta"}));
    EXPECT_EQ(combo->currentIndex(), -1);
    EXPECT_EQ(combo->currentText(), "");
}

TEST(Dialog, PageIsAHiddenChildFoundThroughItsWindow) {
    Dialog window(TestTemplate());
    window.Initialize();
    CountingDialog page(PageTemplate());
    ASSERT_TRUE(page.Create(window.Item(1000)));
    EXPECT_FALSE(page.Create(window.Item(1000)));
    EXPECT_EQ(page.inits, 1);
    EXPECT_FALSE(page.isWindow());
    EXPECT_EQ(page.parentWidget(), window.Item(1000));

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_FALSE(page.isVisible());
    EXPECT_EQ(FindItem(&window, 1007), page.Item(1007));
    EXPECT_EQ(page.font().pointSize(), 8);
}

TEST(Dialog, FocusStartsOnTheFirstTabStop) {
    Dialog dialog(TestTemplate());
    dialog.Initialize();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QWidget* combo = dialog.Item(1001);
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == combo || combo->isAncestorOf(focus));
    // Template order is the tab order, past items without a tab stop and hidden ones.
    EXPECT_EQ(dialog.Item(1000)->focusPolicy(), Qt::NoFocus);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.Item(1002));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.Item(1003));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == combo || combo->isAncestorOf(focus));
}

TEST(Dialog, EnterPressesTheFocusedButtonOrTheDefaultOneAndNeverClosesByItself) {
    Dialog dialog(TestTemplate());
    dialog.Initialize();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    auto* go = dialog.ItemAs<QPushButton>(1002);
    QSignalSpy clicked(go, &QPushButton::clicked);

    dialog.Item(1003)->setFocus();
    QTest::keyClick(dialog.Item(1003), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(clicked.count(), 0);

    go->setFocus();
    QTest::keyClick(go, Qt::Key_Return);
    QTest::keyClick(go, Qt::Key_Enter);
    EXPECT_EQ(clicked.count(), 2);
    EXPECT_TRUE(dialog.isVisible());

    Dialog ask(OkCancelTemplate());
    ask.Initialize();
    ask.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&ask));
    QTest::keyClick(ask.Item(1010), Qt::Key_Return);
    EXPECT_FALSE(ask.isVisible());
    EXPECT_EQ(ask.result(), QDialog::Accepted);
}

TEST(Dialog, EscapeClosesTheWindowNotThePage) {
    Dialog window(TestTemplate());
    window.Initialize();
    Dialog page(PageTemplate());
    page.Create(window.Item(1000));
    page.show();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    page.Item(1007)->setFocus();
    QTest::keyClick(page.Item(1007), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_FALSE(page.isHidden());
}

TEST(Dialog, DoModalReturnsTheButtonsResult) {
    Dialog ask(OkCancelTemplate());
    QTimer::singleShot(0, &ask, [&ask] { ask.ItemAs<QPushButton>(kIdCancel)->click(); });
    EXPECT_EQ(ask.DoModal(), QDialog::Rejected);
    // Without a sizing border the size stays that of the template.
    EXPECT_EQ(ask.minimumSize(), ask.maximumSize());
}

TEST(Dialog, SizeChangesReachOnSizeButMinimisingDoesNot) {
    CountingDialog dialog(TestTemplate());
    dialog.Initialize();
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.sizes.clear();
    dialog.resize(500, 400);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.sizes.empty(); }, 2000));
    EXPECT_EQ(dialog.sizes.size(), 1u);
    EXPECT_EQ(dialog.sizes.back(), QSize(500, 400));
    dialog.sizes.clear();
    dialog.showMinimized();
    QTest::qWait(50);
    for (const QSize& size : dialog.sizes) EXPECT_EQ(size, QSize(500, 400));
}

TEST(Controls, ComboBoxAddsInOrderAndKeepsTheTypedText) {
    ComboBox combo;
    combo.SetSorted(true);
    combo.setEditText("typed");
    EXPECT_EQ(combo.AddString("b"), 0);
    EXPECT_EQ(combo.AddString("C"), 1);
    EXPECT_EQ(combo.AddString("A"), 0);
    EXPECT_EQ(combo.Entries(), (QStringList{"A", "b", "C"}));
    EXPECT_EQ(combo.currentText(), "typed");
    EXPECT_EQ(combo.FindStringPrefix("c"), 2);
    EXPECT_EQ(combo.FindStringPrefix("d"), -1);

    ComboBox unsorted;
    unsorted.AddString("b");
    unsorted.AddString("a");
    EXPECT_EQ(unsorted.Entries(), (QStringList{"b", "a"}));
}

TEST(Controls, ComboBoxNotifiesBeforeItsListOpens) {
    ComboBox combo;
    combo.resize(150, combo.sizeHint().height());
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&combo));
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

TEST(Controls, ComboBoxEnterAndTypedEntriesStayOutOfTheList) {
    ComboBox combo;
    combo.resize(150, combo.sizeHint().height());
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&combo));
    QSignalSpy enter(&combo, &ComboBox::enterPressed);
    QTest::keyClicks(&combo, "10.0.0.1");
    QTest::keyClick(&combo, Qt::Key_Return);
    EXPECT_EQ(enter.count(), 1);
    EXPECT_EQ(combo.count(), 0);
    EXPECT_EQ(combo.currentText(), "10.0.0.1");
}

TEST(Controls, TextWithoutAutoScrollNeverRunsPastTheField) {
    ComboBox combo;
    combo.SetAutoHScroll(false);
    combo.resize(120, combo.sizeHint().height());
    combo.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&combo));
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
    tabs.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tabs));
    QSignalSpy changed(&tabs, &TabControl::selChange);
    tabs.SetCurSel(1);
    tabs.SetCurSel(0);
    EXPECT_EQ(changed.count(), 0);
    QTest::mouseClick(tabs.tabBar(), Qt::LeftButton, {}, tabs.tabBar()->tabRect(1).center());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(tabs.CurSel(), 1);
    EXPECT_EQ(tabs.PageArea(),
              QRect(0, TabControl::kStripHeight, 300, 200 - TabControl::kStripHeight));
    tabs.resize(10, 10);
    EXPECT_EQ(tabs.PageArea().height(), 0);
}

}  // namespace
}  // namespace pelvane::ui
