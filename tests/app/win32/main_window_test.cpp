// The main window against a controller simulator at PELVANE_SIM_ADDRESS (the Linux
// kestrum-sim with the demo bus), driven as a user would and read back through Win32
// messages. e2e.sh starts the simulator and runs this inside a private network.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/pelvane_dlg.h"
#include "app/resource.h"
#include "controller/controller_state.h"
#include "kestrum.h"
#include "pages/node_error.h"
#include "pages/node_info.h"
#include "tests/ui/win32/test_support.h"
#include "ui/controls.h"
#include "ui/list_control.h"
#include "ui/message_box.h"

namespace pelvane {
namespace {

using ui::testing::ClickAt;
using ui::testing::PressKey;

constexpr int kDemoNodes = 8;
constexpr int kFlakyNode = 6;  // behind the demo bus's flaky cable

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        address_ = std::getenv("PELVANE_SIM_ADDRESS");
        if (address_ == nullptr) GTEST_SKIP() << "PELVANE_SIM_ADDRESS names no simulator";
        ui::SetMessageBoxHook([this](const ui::OpenMessageBox& box) {
            messages.push_back(box.caption + ": " + box.text);
            box.close();
        });
        dialog.Initialize();
        dialog.Show(true);
        ui::testing::PumpMessages();
    }

    void TearDown() override {
        ui::SetMessageBoxHook({});
        if (g_controllerHandle != nullptr) KST_Close(g_controllerHandle);
        g_controllerHandle = nullptr;
    }

    // Types into the Address box, which has the focus, and presses Enter there.
    void ConnectTo(const std::string& address) {
        SetFocus(ui::ItemHwnd(dialog, kIdcAddress));
        dialog.SetItemText(kIdcAddress, "");
        for (char c : address) PostMessageW(GetFocus(), WM_CHAR, static_cast<WPARAM>(c), 1);
        PressKey(VK_RETURN);
    }

    void Click(int id) {
        PostMessageW(ui::ItemHwnd(dialog, id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        PostMessageW(ui::ItemHwnd(dialog, id), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        ui::testing::PumpMessages();
    }

    void ClickTab(int index) {
        HWND tabs = ui::ItemHwnd(dialog, kIdcTab);
        RECT tab{};
        SendMessageW(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&tab));
        ClickAt(tabs, {(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2});
    }

    ui::ListControl& NodeList() { return *dialog.nodeInfo().ItemAs<ui::ListControl>(kIdcNodeList); }
    ui::ListControl& ErrorList() {
        return *dialog.nodeError().ItemAs<ui::ListControl>(kIdcErrorList);
    }

    const char* address_ = nullptr;
    CPelvaneDlg dialog;
    std::vector<std::string> messages;
};

std::string HeaderText(const ui::ListControl& list, int column) {
    wchar_t text[64] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = 64;
    HWND header = reinterpret_cast<HWND>(SendMessageW(ui::HwndOf(list), LVM_GETHEADER, 0, 0));
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&item));
    return ui::Narrow(text);
}

TEST_F(MainWindow, ConnectListsTheBusAndTheDiagnosisPaintsTheFlakyNodeRed) {
    EXPECT_EQ(dialog.ItemAs<ui::ComboBox>(kIdcAddress)->Entries(), ui::StringList{"192.168.0.11"});
    ConnectTo(address_);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(dialog.Caption(), "Pelvane-已链接");
    EXPECT_NE(dialog.ItemText(kIdcIdentity).find("KSM464"), std::string::npos);
    // The typed address stays out of the list.
    EXPECT_EQ(dialog.ItemAs<ui::ComboBox>(kIdcAddress)->Entries().size(), 1u);

    ASSERT_EQ(NodeList().ItemCount(), kDemoNodes);
    EXPECT_EQ(HeaderText(NodeList(), 0), "节点号");
    EXPECT_EQ(NodeList().ItemText(kFlakyNode, 0), "Node6");
    EXPECT_EQ(NodeList().ItemText(kFlakyNode, 1), "汇川(100000H)");
    EXPECT_TRUE(dialog.nodeInfo().IsShown());

    ClickTab(1);
    EXPECT_FALSE(dialog.nodeInfo().IsShown());
    EXPECT_TRUE(dialog.nodeError().IsShown());
    ASSERT_TRUE(
        ui::testing::PumpMessagesUntil([&] { return ErrorList().ItemCount() == kDemoNodes; }));
    EXPECT_EQ(HeaderText(ErrorList(), 7), "驱动器状态字");
    EXPECT_EQ(dialog.nodeError().ItemText(kIdcLostcount), "Lostcount:3");
    const std::vector<int> red = ui::testing::RedPixelsOfRows(ui::HwndOf(ErrorList()));
    for (int row = 0; row < kDemoNodes; ++row) {
        EXPECT_EQ(ErrorList().ItemData(row), row == kFlakyNode ? kRowHasErrors : kRowClear);
        if (row == kFlakyNode) {
            EXPECT_GT(red[row], 100);
        } else {
            EXPECT_EQ(red[row], 0) << row;
        }
    }

    Click(kIdcDisconnect);
    EXPECT_EQ(dialog.Caption(), "Pelvane-未链接");
    EXPECT_EQ(g_controllerHandle, nullptr);
    ClickTab(0);
    EXPECT_TRUE(dialog.nodeInfo().IsShown());
}

TEST_F(MainWindow, AFailedConnectIsToldInAMessageBox) {
    ConnectTo("127.0.9.9");  // nothing listens there
    EXPECT_EQ(messages, std::vector<std::string>{"Pelvane: 链接失败"});
    EXPECT_EQ(dialog.Caption(), "Pelvane-未链接");
}

TEST_F(MainWindow, TheAddressListSearchesTheNetworkBeforeItOpens) {
    HWND combo = ui::ItemHwnd(dialog, kIdcAddress);
    RECT box{};
    GetClientRect(combo, &box);
    ClickAt(combo, {box.right - 5, box.bottom / 2});
    EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(dialog.ItemAs<ui::ComboBox>(kIdcAddress)->FindStringPrefix(address_), 0);
    PressKey(VK_ESCAPE);
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_TRUE(dialog.IsShown());
}

TEST_F(MainWindow, TheSystemMenuOpensTheAboutBox) {
    wchar_t text[64] = {};
    GetMenuStringW(GetSystemMenu(ui::HwndOf(dialog), FALSE), kIdmAboutBox, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(ui::Narrow(text), kAboutMenuText);
    std::string caption;
    bool ownerEnabled = true;
    ui::testing::RunInNextModalLoop([&] {
        caption = ui::WindowText(GetActiveWindow());
        ownerEnabled = IsWindowEnabled(ui::HwndOf(dialog));
        PressKey(VK_RETURN);  // its default button
    });
    SendMessageW(ui::HwndOf(dialog), WM_SYSCOMMAND, kIdmAboutBox, 0);
    EXPECT_EQ(caption, "关于 Pelvane");
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(ui::HwndOf(dialog)));
}

}  // namespace
}  // namespace pelvane
