// The main window against simulated controllers on this test's own loopback addresses.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "app/about_dlg.h"
#include "app/pelvane_dlg.h"
#include "app/resource.h"
#include "controller/controller_state.h"
#include "kestrum_sim/simulator.h"
#include "pages/node_error.h"
#include "pages/node_info.h"
#include "ui/controls.h"
#include "ui/list_control.h"
#include "ui/message_box.h"
#include "ui/qt_access.h"

namespace pelvane {
namespace {

// Nothing listens here.
constexpr const char* kNobody = "127.0.9.9";

std::unique_ptr<kestrum::sim::Simulator> StartSimulator(const char* address,
                                                        kestrum::sim::Bus bus = {}) {
    kestrum::sim::SimulatorOptions options;
    options.address = address;
    options.discovery = false;
    auto sim = std::make_unique<kestrum::sim::Simulator>(std::move(bus), options);
    std::string error;
    EXPECT_TRUE(sim->server().Start(&error)) << error;
    return sim;
}

// The simulator's own identity.
const std::string kIdentity = "软件型号：KSM464  软件版本：20261101  控制器ID：00000001";
const QString kConnected = u"Pelvane-已链接"_qs;
const QString kDisconnected = u"Pelvane-未链接"_qs;

class MainDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        g_controllerHandle = nullptr;
        ui::SetMessageBoxHook([this](const ui::OpenMessageBox& box) {
            messages.push_back(box.text);
            captionDuringMessage = window.windowTitle();
            boxCaptions.push_back(box.caption);
            handleDuringMessage = g_controllerHandle;
            box.close();
        });
        dialog.Initialize();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    void TearDown() override {
        ui::SetMessageBoxHook({});
        if (g_controllerHandle != nullptr) KST_Close(g_controllerHandle);
        g_controllerHandle = nullptr;
    }

    ui::QtComboBox* AddressBox() {
        return &ui::WidgetOf(*dialog.ItemAs<ui::ComboBox>(kIdcAddress));
    }
    ui::QtTabControl* Tabs() { return &ui::WidgetOf(*dialog.ItemAs<ui::TabControl>(kIdcTab)); }
    std::string Identity() { return dialog.ItemText(kIdcIdentity); }
    ui::ListControl* NodeList() { return dialog.nodeInfo().ItemAs<ui::ListControl>(kIdcNodeList); }
    ui::ListControl* ErrorList() {
        return dialog.nodeError().ItemAs<ui::ListControl>(kIdcErrorList);
    }
    static bool Sent(const kestrum::sim::Simulator& sim, const std::string& command) {
        const auto commands = sim.server().ReceivedCommands();
        return std::find(commands.begin(), commands.end(), command) != commands.end();
    }

    void Connect(const QString& address) {
        AddressBox()->setEditText(address);
        ui::ItemWidgetAs<QPushButton>(dialog, kIdcConnect)->click();
    }

    CPelvaneDlg dialog;
    QDialog& window = ui::WidgetOf(dialog);
    std::vector<std::string> messages;
    QString captionDuringMessage;
    std::vector<std::string> boxCaptions;
    KST_HANDLE handleDuringMessage = nullptr;
};

TEST_F(MainDialog, StartState) {
    EXPECT_EQ(window.windowTitle(), "Pelvane");
    EXPECT_FALSE(window.windowIcon().isNull());
    ASSERT_EQ(Tabs()->ItemCount(), 2);
    EXPECT_EQ(Tabs()->ItemText(0), "总线节点信息");
    EXPECT_EQ(Tabs()->ItemText(1), "通 讯 诊  断");
    EXPECT_EQ(Tabs()->CurSel(), 0);
    EXPECT_TRUE(dialog.nodeInfo().IsShown());
    EXPECT_FALSE(dialog.nodeError().IsShown());
    for (QWidget* page : {static_cast<QWidget*>(&ui::WidgetOf(dialog.nodeInfo())),
                          static_cast<QWidget*>(&ui::WidgetOf(dialog.nodeError()))}) {
        EXPECT_EQ(page->parentWidget(), Tabs());
        EXPECT_EQ(ui::FromQRect(page->geometry()), Tabs()->PageArea());
    }
    // Nothing is connected yet: both lists are without columns.
    EXPECT_EQ(NodeList()->HeaderItemCount(), 0);
    EXPECT_EQ(ErrorList()->HeaderItemCount(), 0);

    EXPECT_EQ(AddressBox()->Entries(), ui::StringList{"192.168.0.11"});
    EXPECT_EQ(AddressBox()->currentText(), "");
    EXPECT_EQ(Identity(), "");
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == AddressBox() || AddressBox()->isAncestorOf(focus));
    // Tab order: Address box, connect, disconnect, Identity line.
    for (const int id : {kIdcConnect, kIdcDisconnect, kIdcIdentity}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), ui::ItemWidget(dialog, id)) << id;
    }
    EXPECT_EQ(dialog.ItemText(kIdcConnect), "连  接");
    EXPECT_EQ(dialog.ItemText(kIdcDisconnect), "断  开");
    EXPECT_EQ(g_controllerHandle, nullptr);

    // Initialisation forgets any handle left over.
    CPelvaneDlg second;
    int notALink = 0;
    g_controllerHandle = reinterpret_cast<KST_HANDLE>(&notALink);
    second.Initialize();
    EXPECT_EQ(g_controllerHandle, nullptr);
    const QList<QSize> iconSizes = window.windowIcon().availableSizes();
    for (const int size : {16, 24, 32, 48, 256}) EXPECT_TRUE(iconSizes.contains(QSize(size, size)));
}

TEST_F(MainDialog, ConnectShowsTheIdentityAndKeepsItWhenTheQueryFails) {
    kestrum::sim::Bus bus;
    bus.nodes.resize(3);
    auto sim = StartSimulator("127.0.4.1", bus);
    g_commandTimeout = 7;
    Connect("127.0.4.1");
    EXPECT_TRUE(messages.empty());
    EXPECT_NE(g_controllerHandle, nullptr);
    EXPECT_EQ(g_commandTimeout, 1000u);
    EXPECT_EQ(window.windowTitle(), kConnected);
    EXPECT_EQ(Identity(), kIdentity);
    EXPECT_EQ(NodeList()->ItemCount(), 3);
    EXPECT_EQ(sim->server().OpenLinks(), 1u);
    // The typed address stays out of the list.
    EXPECT_EQ(AddressBox()->count(), 1);

    // A failed identity query leaves the link up but refreshes nothing.
    EXPECT_EQ(sim->server().Control("@SIM ODD ?CONTROL EMPTY"), "OK\r\n");
    sim->server().ClearReceivedCommands();
    Connect("127.0.4.1");
    EXPECT_TRUE(messages.empty());
    EXPECT_NE(g_controllerHandle, nullptr);
    EXPECT_EQ(window.windowTitle(), kConnected);
    EXPECT_EQ(Identity(), kIdentity);
    EXPECT_FALSE(Sent(*sim, "?NODE_COUNT(0)"));
}

TEST_F(MainDialog, FailedConnectShowsTheMessageFirstAndTheCaptionAfter) {
    Connect(kNobody);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "链接失败");
    // Named as the window names the program, whatever its file is called.
    EXPECT_EQ(boxCaptions[0], "Pelvane");
    EXPECT_EQ(captionDuringMessage, "Pelvane");
    EXPECT_EQ(handleDuringMessage, nullptr);
    EXPECT_EQ(window.windowTitle(), kDisconnected);
    EXPECT_EQ(g_controllerHandle, nullptr);

    // An empty address is handed on as it is and fails the same way.
    Connect("");
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(captionDuringMessage, kDisconnected);
}

TEST_F(MainDialog, ReconnectClosesTheFirstLink) {
    kestrum::sim::Bus gbk;  // the controller's code page
    gbk.model = "KSM\xCB\xC5\xB7\xFE";
    gbk.serialNumber = "\xBF\xD8-1";
    auto first = StartSimulator("127.0.4.4", gbk);
    auto second = StartSimulator("127.0.4.5");
    Connect("127.0.4.4");
    ASSERT_EQ(first->server().OpenLinks(), 1u);
    EXPECT_EQ(Identity(), "软件型号：KSM伺服  软件版本：20261101  控制器ID：控-1");
    Connect("127.0.4.5");
    EXPECT_TRUE(QTest::qWaitFor([&] { return first->server().OpenLinks() == 0; }, 2000));
    EXPECT_EQ(second->server().OpenLinks(), 1u);
    EXPECT_EQ(window.windowTitle(), kConnected);

    // A failed open after a good one: the old link is gone and the state is not connected.
    Connect(kNobody);
    EXPECT_TRUE(QTest::qWaitFor([&] { return second->server().OpenLinks() == 0; }, 2000));
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(captionDuringMessage, kConnected);
    EXPECT_EQ(window.windowTitle(), kDisconnected);
    EXPECT_EQ(g_controllerHandle, nullptr);
}

TEST_F(MainDialog, DisconnectClosesTheLinkAndKeepsWhatIsShown) {
    auto* disconnect = ui::ItemWidgetAs<QPushButton>(dialog, kIdcDisconnect);
    disconnect->click();
    EXPECT_EQ(window.windowTitle(), "Pelvane");

    auto sim = StartSimulator("127.0.4.7");
    Connect("127.0.4.7");
    disconnect->click();
    EXPECT_EQ(g_controllerHandle, nullptr);
    EXPECT_EQ(window.windowTitle(), kDisconnected);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim->server().OpenLinks() == 0; }, 2000));
    EXPECT_EQ(Identity(), kIdentity);
    EXPECT_EQ(AddressBox()->currentText(), "127.0.4.7");

    // Not connected any more: a second press changes nothing.
    window.setWindowTitle("unchanged");
    disconnect->click();
    EXPECT_EQ(window.windowTitle(), "unchanged");
    EXPECT_EQ(sim->server().AcceptedLinks(), 1u);
}

TEST_F(MainDialog, TabSwitchShowsOnePageAndRefreshesIt) {
    kestrum::sim::Bus bus;
    bus.nodes.resize(2);
    auto sim = StartSimulator("127.0.4.2", bus);
    Connect("127.0.4.2");
    QTabBar* bar = Tabs()->tabBar();
    for (int round = 1; round <= 2; ++round) {
        sim->server().ClearReceivedCommands();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        EXPECT_FALSE(dialog.nodeInfo().IsShown());
        EXPECT_TRUE(dialog.nodeError().IsShown());
        EXPECT_EQ(ErrorList()->HeaderItemCount(), 8);
        EXPECT_FALSE(Sent(*sim, "?NODE_INFO(0,0,0)"));
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        EXPECT_TRUE(dialog.nodeInfo().IsShown());
        EXPECT_FALSE(dialog.nodeError().IsShown());
        EXPECT_TRUE(Sent(*sim, "?NODE_INFO(0,1,13)"));
        EXPECT_EQ(NodeList()->ItemCount(), 2);
    }
    // Not connected, tab 0 keeps the rows of the last connected refresh.
    ui::ItemWidgetAs<QPushButton>(dialog, kIdcDisconnect)->click();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_EQ(NodeList()->ItemCount(), 2);
}

TEST_F(MainDialog, AReconnectRenamesTheDiagnosisRowsEvenWithNothingChanged) {
    kestrum::sim::Bus first;
    first.nodes.resize(2);
    first.nodes[1].vendorId = 0x41B;
    kestrum::sim::Bus second = first;
    second.nodes[1].vendorId = 0x66F;
    auto a = StartSimulator("127.0.4.8", first);
    auto b = StartSimulator("127.0.4.9", second);
    Connect("127.0.4.8");
    QTabBar* bar = Tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ErrorList()->ItemText(1, 1) == "Kestrum(41bH)"; }));
    Connect("127.0.4.9");
    EXPECT_TRUE(QTest::qWaitFor([&] { return ErrorList()->ItemText(1, 1) == "松下(66fH)"; }));
}

TEST_F(MainDialog, AfterAReconnectTabOneNeverShowsTheEarlierControllersNodes) {
    kestrum::sim::Bus large;
    large.nodes.resize(300);
    for (auto& node : large.nodes) node.vendorId = 0x66F;
    kestrum::sim::Bus small;
    small.nodes.resize(8);
    for (auto& node : small.nodes) node.vendorId = 0x41B;
    small.lostCount = 7;
    auto a = StartSimulator("127.0.4.12", large);
    auto b = StartSimulator("127.0.4.13", small);
    Connect("127.0.4.12");
    QTabBar* bar = Tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ErrorList()->ItemCount() == 200; }, 5000));

    // Whatever the event loop settles on, before it waits again, is what can be painted.
    int mostRows = 0;
    bool oldVendorSeen = false, oldLostcountSeen = false;
    auto look = [&] {
        mostRows = std::max(mostRows, ErrorList()->ItemCount());
        for (int row = 0; row < ErrorList()->ItemCount(); ++row)
            oldVendorSeen =
                oldVendorSeen || ErrorList()->ItemText(row, 1).find("66f") != std::string::npos;
        oldLostcountSeen =
            oldLostcountSeen || dialog.nodeError().ItemText(kIdcLostcount) == "Lostcount:0";
    };
    auto watch = QObject::connect(QAbstractEventDispatcher::instance(),
                                  &QAbstractEventDispatcher::aboutToBlock, look);
    Connect("127.0.4.13");
    look();
    EXPECT_TRUE(QTest::qWaitFor([&] { return ErrorList()->ItemCount() == 8; }, 3000));
    QTest::qWait(4 * kPollPeriodMs);
    QObject::disconnect(watch);
    EXPECT_LE(mostRows, 8);
    EXPECT_FALSE(oldVendorSeen);
    EXPECT_FALSE(oldLostcountSeen);
    EXPECT_EQ(ErrorList()->ItemText(7, 1), "Kestrum(41bH)");
    EXPECT_EQ(dialog.nodeError().ItemText(kIdcLostcount), "Lostcount:7");
}

TEST_F(MainDialog, AStalledReplyHoldsTheWindowForAboutOneTimeOutOnly) {
    kestrum::sim::Bus bus;
    bus.nodes.resize(20);
    bus.lostCount = 7;
    auto sim = StartSimulator("127.0.4.10", bus);
    Connect("127.0.4.10");
    QTabBar* bar = Tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return ErrorList()->ItemCount() == 20; }));
    sim->server().Control("@SIM STALL 2500");
    QTest::qWait(400);  // a poll is caught by the stall now

    // The switch waits for the stalled poll to give up, not for every command in it.
    QElapsedTimer timer;
    timer.start();
    bool switched = false;
    QTimer::singleShot(0, [&] {
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        switched = dialog.nodeInfo().IsShown();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return switched; }, 5000));
    EXPECT_LT(timer.elapsed(), 2000);
    // Once the controller answers again, the polls go on.
    sim->server().ClearReceivedCommands();
    EXPECT_TRUE(QTest::qWaitFor([&] { return Sent(*sim, "?NODE_INFO(0,19,771)"); }, 6000));
    EXPECT_EQ(dialog.nodeError().ItemText(kIdcLostcount), "Lostcount:7");
}

TEST_F(MainDialog, TabControlAndPagesFollowTheWindowButNotWhenMinimised) {
    auto* tabs = Tabs();
    const QRect templateTab = ui::ToQRect(dialog.MapDialogRect({3, 39, 551, 317}));
    const ui::Size templateClient = ui::DluToPixels(ui::Size{554, 387}, dialog.baseUnits());
    EXPECT_EQ(tabs->geometry(), templateTab);

    window.resize(templateClient.width + 200, templateClient.height + 100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tabs->width() == templateTab.width() + 200; }, 2000));
    EXPECT_EQ(tabs->height(), templateTab.height() + 100);
    EXPECT_TRUE(window.rect().contains(tabs->geometry()));
    EXPECT_EQ(dialog.nodeInfo().Geometry(), tabs->PageArea());
    EXPECT_EQ(dialog.nodeError().Geometry(), tabs->PageArea());

    const QRect before = tabs->geometry();
    window.showMinimized();
    QTest::qWait(50);
    EXPECT_EQ(tabs->geometry(), before);
    EXPECT_EQ(dialog.nodeInfo().Geometry(), tabs->PageArea());
    window.showNormal();
}

TEST_F(MainDialog, EnterNeverEndsTheProgramButEscapeDoes) {
    QWidget* identity = ui::ItemWidget(dialog, kIdcIdentity);
    identity->setFocus();
    QTest::keyClick(identity, Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(messages.empty());

    // Enter on the focused connect button presses it.
    AddressBox()->setEditText(kNobody);
    auto* connect = ui::ItemWidgetAs<QPushButton>(dialog, kIdcConnect);
    connect->setFocus();
    QTest::keyClick(connect, Qt::Key_Return);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(window.isVisible());

    // Enter in the Address box connects.
    auto sim = StartSimulator("127.0.4.3");
    AddressBox()->setEditText("");
    QTest::keyClicks(AddressBox(), "127.0.4.3");
    QTest::keyClick(AddressBox(), Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), kConnected);
    EXPECT_EQ(sim->server().AcceptedLinks(), 1u);

    QTest::keyClick(AddressBox(), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
}

// The About box as it is opened from the menu: modal, with the program's name.
void CloseAboutBoxSoon(bool& seen) {
    QTimer::singleShot(0, [&seen] {
        auto* about = dynamic_cast<CAboutDlg*>(ui::DialogOf(QApplication::activeModalWidget()));
        ASSERT_NE(about, nullptr);
        seen = true;
        EXPECT_EQ(ui::WidgetOf(*about).windowTitle(), u"关于 Pelvane"_qs);
        const ui::Size size = ui::DluToPixels(ui::Size{170, 62}, about->baseUnits());
        EXPECT_EQ(ui::WidgetOf(*about).size(), QSize(size.width, size.height));
        QStringList texts;
        for (QLabel* label : ui::WidgetOf(*about).findChildren<QLabel*>()) texts << label->text();
        for (const char* part : {"Pelvane", "1.0.0.1", "Copyright"})
            EXPECT_TRUE(texts.join('\n').contains(part)) << texts.join('|').toStdString();
        ui::ItemWidget(*about, ui::kIdOk)->setFocus();
        QTest::keyClick(ui::ItemWidget(*about, ui::kIdOk), Qt::Key_Return);
    });
}

TEST_F(MainDialog, BackgroundMenuEndsWithTheAboutEntryWhichOpensTheAboutBox) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        const auto actions = menu->actions();
        ASSERT_GE(actions.size(), 2);
        EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
        EXPECT_EQ(actions.back()->text(), u"关于 Pelvane(&A)..."_qs);
        CloseAboutBoxSoon(seen);
        actions.back()->trigger();
        menu->close();
    });
    // Clicked on the page's background, it reaches the dialog.
    QWidget* page = &ui::WidgetOf(dialog.nodeInfo());
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            page->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(page, &event);
    EXPECT_TRUE(seen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Other menus get the entry after a separator too.
    QMenu menu;
    menu.addAction("earlier entry");
    ui::AddSystemMenuEntries(dialog, menu);
    ASSERT_EQ(menu.actions().size(), 3);
    EXPECT_TRUE(menu.actions()[1]->isSeparator());
}

}  // namespace
}  // namespace pelvane
