// What only the Win32 backend shows: the system's window classes, the list view's own
// widths and styles, the system menu.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "tests/ui/test_dialogs.h"
#include "tests/ui/win32/test_support.h"

namespace pelvane::ui {
namespace {

using testing::ClassOf;
using testing::kTest;

class MenuDialog : public Dialog {
  public:
    using Dialog::Dialog;
    std::vector<uint32_t> commands;

  protected:
    void OnSysCommand(uint32_t command) override { commands.push_back(command); }
};

TEST(Win32Dialog, ItemsAreTheSystemsControls) {
    Dialog dialog(kTest);
    dialog.Initialize();
    const std::map<int, std::wstring> classes{{1000, WC_TABCONTROLW}, {1001, L"ComboBox"},
                                              {1002, L"Button"},      {1003, L"Edit"},
                                              {1005, WC_LISTVIEWW},   {1006, L"Static"}};
    for (const auto& [id, className] : classes) {
        ASSERT_NE(ItemHwnd(dialog, id), nullptr) << id;
        EXPECT_EQ(ClassOf(ItemHwnd(dialog, id)), className) << id;
    }
    EXPECT_EQ(HwndOf(*dialog.ItemAs<ListControl>(1005)), ItemHwnd(dialog, 1005));
    EXPECT_NE(SendMessageW(ItemHwnd(dialog, 1006), STM_GETICON, 0, 0), 0);
}

TEST(Win32Dialog, TheSystemMenuEndsWithOurEntryWhichReachesOnSysCommand) {
    MenuDialog dialog(kTest);
    dialog.Initialize();
    dialog.AddSystemMenuItem(0x0010, "关于 Pelvane(&A)...");
    HMENU menu = GetSystemMenu(HwndOf(dialog), FALSE);
    const int count = GetMenuItemCount(menu);
    wchar_t text[64] = {};
    GetMenuStringW(menu, 0x0010, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"关于 Pelvane(&A)...");
    EXPECT_EQ(GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
    // The system's own commands pass by.
    SendMessageW(HwndOf(dialog), WM_SYSCOMMAND, SC_RESTORE, 0);
    SendMessageW(HwndOf(dialog), WM_SYSCOMMAND, 0x0010, 0);
    EXPECT_EQ(dialog.commands, std::vector<uint32_t>{0x0010});
}

const DialogTemplate kList{
    .caption = "List",
    .size = {300, 150},
    .items = {{1007, ItemKind::ListView, "", {0, 0, 300, 150}, kBorder | kTabStop}},
    .initStrings = {}};

TEST(Win32ListControl, WidthsAreOnScreenAtTheWindowsDpiAndStylesAreTheListViews) {
    Dialog dialog(kList);
    dialog.Initialize();
    ListControl& list = *dialog.ItemAs<ListControl>(1007);
    list.InsertColumn(0, "B", Align::Center, 80);
    list.InsertColumn(0, "节点号", Align::Center, 50);
    EXPECT_EQ(SendMessageW(HwndOf(list), LVM_GETCOLUMNWIDTH, 1, 0),
              ScaleForDpi(80, WindowDpi(HwndOf(list))));
    list.SetExtendedStyle(kListGridLines | kListFullRowSelect);
    EXPECT_EQ(SendMessageW(HwndOf(list), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) &
                  (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
              LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
}

TEST(Win32ListControl, WidthsScaleWithTheDpi) {
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
