#include "ui/dialog.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "test_dialogs.h"
#include "ui/controls.h"
#include "ui/layout.h"
#include "ui/list_control.h"
#include "ui/message_box.h"
#include "win32_test_support.h"

namespace pelvane::ui {
namespace {

using testing::ClassOf;
using testing::PressKey;
using testing::Pump;
using testing::PumpUntil;
using testing::RunInModalLoop;

using testing::kOkCancel;
using testing::kPage;
using testing::kTest;

class RecordingDialog : public Dialog {
  public:
    explicit RecordingDialog(const DialogTemplate& dialogTemplate, Dialog* parent = nullptr)
        : Dialog(dialogTemplate, parent) {}
    int inits = 0;
    std::vector<Size> sizes;
    std::map<int, int> ticks;
    std::vector<uint32_t> commands;

  protected:
    bool OnInitDialog() override { return ++inits > 0; }
    void OnSize(const Size& clientSize) override { sizes.push_back(clientSize); }
    void OnTimer(int id) override { ++ticks[id]; }
    void OnSysCommand(uint32_t command) override { commands.push_back(command); }
};

Rect PlaceInParent(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

TEST(Dialog, ItemsHaveTheirIdsKindsAndTemplatePlaces) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    dialog.Initialize();
    EXPECT_EQ(dialog.inits, 1);
    EXPECT_EQ(dialog.Caption(), "Test");
    EXPECT_FALSE(dialog.IsShown());

    const std::map<int, std::wstring> classes{{1000, WC_TABCONTROLW}, {1001, L"ComboBox"},
                                              {1002, L"Button"},      {1003, L"Edit"},
                                              {1005, WC_LISTVIEWW},   {1006, L"Static"}};
    for (const auto& [id, className] : classes) {
        ASSERT_NE(dialog.Item(id), nullptr) << id;
        EXPECT_EQ(GetDlgCtrlID(dialog.Item(id)), id);
        EXPECT_EQ(ClassOf(dialog.Item(id)), className) << id;
    }
    EXPECT_EQ(dialog.Item(4242), nullptr);
    EXPECT_EQ(dialog.Item(kIdNone), nullptr);
    EXPECT_NE(dialog.ItemAs<TabControl>(1000), nullptr);
    EXPECT_NE(dialog.ItemAs<ListControl>(1005), nullptr);
    EXPECT_EQ(dialog.ItemAs<ComboBox>(1000), nullptr);
    EXPECT_EQ(dialog.ItemAs<TabControl>(1002), nullptr);
    EXPECT_FALSE(GetWindowLongW(dialog.Item(1004), GWL_STYLE) & WS_VISIBLE);
    EXPECT_NE(SendMessageW(dialog.Item(1006), STM_GETICON, 0, 0), 0);

    // Our measure is the one the system laid the template out with.
    EXPECT_EQ(PlaceInParent(dialog.Item(1002)), dialog.MapDialogRect({80, 12, 40, 14}));
    RECT client{};
    GetClientRect(dialog.hwnd(), &client);
    EXPECT_EQ((Size{client.right, client.bottom}), DluToPixels(Size{200, 120}, dialog.baseUnits()));

    // The combo box starts sorted by our rule, with nothing typed.
    auto* combo = dialog.ItemAs<ComboBox>(1001);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->Entries(), (StringList{"Alpha", "beta"}));
    EXPECT_EQ(dialog.ItemText(1001), "");
}

TEST(Dialog, TextsRoundTripAndTheComboBoxKeepsWhatWasTyped) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    dialog.SetCaption("Pelvane-已链接");
    EXPECT_EQ(dialog.Caption(), "Pelvane-已链接");
    wchar_t title[32] = {};
    GetWindowTextW(dialog.hwnd(), title, 32);
    EXPECT_STREQ(title, L"Pelvane-已链接");

    dialog.SetItemText(1003, std::string(200, 'x') + "控制器");
    EXPECT_EQ(dialog.ItemText(1003), std::string(200, 'x') + "控制器");
    DWORD start = 1;
    SendMessageW(dialog.Item(1003), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    EXPECT_EQ(start, 0u);

    auto* combo = dialog.ItemAs<ComboBox>(1001);
    dialog.SetItemText(1001, "10.0.0.1");
    EXPECT_EQ(combo->AddString("C"), 2);
    EXPECT_EQ(combo->AddString("0.0.0.0"), 0);
    EXPECT_EQ(combo->AddString("alpha"), 2);  // after its equal
    EXPECT_EQ(combo->Entries(), (StringList{"0.0.0.0", "Alpha", "alpha", "beta", "C"}));
    EXPECT_EQ(combo->FindStringPrefix("B"), 3);
    EXPECT_EQ(combo->FindStringPrefix("x"), -1);
    EXPECT_EQ(dialog.ItemText(1001), "10.0.0.1");
}

TEST(Dialog, EnterNeverClosesAndEscapeDoes) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    dialog.Show(true);
    Pump();
    // The first tab stop has the focus: the combo box's edit field.
    EXPECT_EQ(GetParent(GetFocus()), dialog.Item(1001));
    int clicks = 0;
    int enters = 0;
    dialog.Bind(1002, Notify::Clicked, [&] { ++clicks; });
    dialog.Bind(1001, Notify::EnterPressed, [&] { ++enters; });

    dialog.SetItemText(1001, "10.0.0.1");
    PressKey(VK_RETURN);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(dialog.ItemAs<ComboBox>(1001)->Entries().size(), 2u);
    EXPECT_EQ(dialog.ItemText(1001), "10.0.0.1");
    SetFocus(dialog.Item(1003));
    PressKey(VK_RETURN);
    EXPECT_EQ(clicks, 0);
    SetFocus(dialog.Item(1002));
    PressKey(VK_RETURN);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(dialog.IsShown());
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(dialog.IsShown());

    // Modal: Enter in the edit presses the default button; the owner waits meanwhile.
    dialog.Show(true);
    Dialog ask(kOkCancel, &dialog);
    bool ownerDisabled = false;
    RunInModalLoop([&] {
        ownerDisabled = !IsWindowEnabled(dialog.hwnd());
        PressKey(VK_RETURN);
    });
    EXPECT_EQ(ask.DoModal(), kIdOk);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(dialog.hwnd()));
    EXPECT_FALSE(ask.IsShown());
    RunInModalLoop([] { PressKey(VK_ESCAPE); });
    EXPECT_EQ(ask.DoModal(), kIdCancel);
}

TEST(Dialog, TabsNotifyOnlyTheUsersChoiceAndHostPagesBelowTheStrip) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    dialog.Show(true);
    auto* tabs = dialog.ItemAs<TabControl>(1000);
    tabs->InsertItem(0, "总线节点信息");
    tabs->InsertItem(1, "通 讯 诊  断");
    EXPECT_EQ(tabs->ItemCount(), 2);
    EXPECT_EQ(tabs->ItemText(1), "通 讯 诊  断");
    int changes = 0;
    dialog.Bind(1000, Notify::SelChange, [&] { ++changes; });
    tabs->SetCurSel(1);
    tabs->SetCurSel(0);
    Pump();
    EXPECT_EQ(changes, 0);
    RECT tab{};
    SendMessageW(tabs->hwnd(), TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&tab));
    testing::ClickAt(tabs->hwnd(), {(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(tabs->CurSel(), 1);

    RecordingDialog page(kPage);
    ASSERT_TRUE(page.Create(*tabs));
    EXPECT_FALSE(page.Create(*tabs));
    EXPECT_EQ(page.inits, 1);
    EXPECT_FALSE(page.IsShown());
    const Rect area = tabs->PageArea();
    EXPECT_GE(area.y, tab.bottom);
    page.SetGeometry(area);
    EXPECT_EQ(page.Geometry(), area);
    EXPECT_EQ(page.sizes.back(), (Size{area.width, area.height}));
    page.Show(true);
    EXPECT_TRUE(page.IsShown());
    // The Tab key walks through the page as through the window's own items.
    SetFocus(dialog.Item(1003));
    PressKey(VK_TAB);
    EXPECT_EQ(GetFocus(), page.Item(1007));
    // Escape from inside a page closes its window.
    SetFocus(page.Item(1007));
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(dialog.IsShown());
}

TEST(Dialog, SizesReachOnSizeAndFollowSizeButMinimisingDoesNot) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    dialog.Show(true);
    dialog.sizes.clear();
    dialog.SetGeometry({40, 40, 500, 400});
    EXPECT_EQ(dialog.Geometry(), (Rect{40, 40, 500, 400}));
    ASSERT_FALSE(dialog.sizes.empty());
    EXPECT_EQ(dialog.sizes.back(), (Size{500, 400}));
    dialog.FollowSize(1000, kAnchorAll);
    const Rect template_ = dialog.MapDialogRect({3, 40, 190, 70});
    const Size client = DluToPixels(Size{200, 120}, dialog.baseUnits());
    EXPECT_EQ(PlaceInParent(dialog.Item(1000)),
              FollowClient(template_, client, {500, 400}, kAnchorAll));
    ShowWindow(dialog.hwnd(), SW_MINIMIZE);
    Pump();
    for (const Size& size : dialog.sizes) EXPECT_EQ(size, (Size{500, 400}));
}

TEST(Dialog, TimersTickUnderOurIdsAndTheSystemMenuReachesOnSysCommand) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    dialog.SetTimer(0, 20);
    dialog.SetTimer(5, 10);
    dialog.SetTimer(5, 100000);  // replaces the first timer 5
    EXPECT_TRUE(dialog.HasTimer(0));
    EXPECT_TRUE(PumpUntil([&] { return dialog.ticks[0] >= 3; }));
    EXPECT_EQ(dialog.ticks[5], 0);
    EXPECT_TRUE(dialog.KillTimer(0));
    EXPECT_FALSE(dialog.KillTimer(0));
    EXPECT_FALSE(dialog.HasTimer(0));

    dialog.AddSystemMenuItem(0x0010, "关于 Pelvane(&A)...");
    HMENU menu = GetSystemMenu(dialog.hwnd(), FALSE);
    const int count = GetMenuItemCount(menu);
    wchar_t text[64] = {};
    GetMenuStringW(menu, 0x0010, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"关于 Pelvane(&A)...");
    EXPECT_EQ(GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
    // The system's own commands pass by.
    SendMessageW(dialog.hwnd(), WM_SYSCOMMAND, SC_RESTORE, 0);
    SendMessageW(dialog.hwnd(), WM_SYSCOMMAND, 0x0010, 0);
    EXPECT_EQ(dialog.commands, std::vector<uint32_t>{0x0010});
}

TEST(MessageBox, HookReadsTheOpenBoxAndClosesIt) {
    RecordingDialog dialog(kTest);
    dialog.Initialize();
    dialog.Show(true);
    std::vector<OpenMessageBox> seen;
    SetMessageBoxHook([&](const OpenMessageBox& box) {
        seen.push_back(box);
        box.close();
    });
    MessageBox(&dialog, "链接失败");
    MessageBox(nullptr, "no window");
    SetMessageBoxHook({});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].caption, "Test");
    EXPECT_EQ(seen[0].text, "链接失败");
    EXPECT_EQ(seen[1].caption, "pelvane_ui_win32_tests");
    EXPECT_TRUE(IsWindowEnabled(dialog.hwnd()));
}

}  // namespace
}  // namespace pelvane::ui
