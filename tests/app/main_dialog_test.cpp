// The main window against simulated controllers on this test's own loopback addresses.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <memory>

#include "about_dlg.h"
#include "app_icon.h"
#include "controller_state.h"
#include "kestrum_sim/simulator.h"
#include "main_layout.h"
#include "pelvane_dlg.h"
#include "resource.h"
#include "ui/controls.h"
#include "ui/message_box.h"

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
    EXPECT_TRUE(sim->Start(&error)) << error;
    return sim;
}

kestrum::sim::Bus IdentityBus(std::string model, std::string version, std::string id) {
    kestrum::sim::Bus bus;
    bus.model = std::move(model);
    bus.versionDate = std::move(version);
    bus.serialNumber = std::move(id);
    bus.nodes.resize(2);
    return bus;
}

class MainDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        g_controllerHandle = nullptr;
        ui::SetMessageBoxHook([this](QMessageBox& box) {
            messages.push_back(box.text());
            captionDuringMessage = dialog.windowTitle();
            handleDuringMessage = g_controllerHandle;
            boxTitle = box.windowTitle();
            boxButtons = static_cast<int>(box.buttons().size());
            boxIcon = box.icon();
            box.buttons().front()->click();
        });
        dialog.Initialize();
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }

    void TearDown() override {
        ui::SetMessageBoxHook({});
        if (g_controllerHandle != nullptr) KST_Close(g_controllerHandle);
        g_controllerHandle = nullptr;
    }

    ui::ComboBox* AddressBox() { return dialog.ItemAs<ui::ComboBox>(kIdcAddress); }
    QString Identity() { return dialog.ItemText(kIdcIdentity); }

    void Connect(const QString& address) {
        AddressBox()->setEditText(address);
        dialog.ItemAs<QPushButton>(kIdcConnect)->click();
    }

    void ClickTab(int index) {
        QTabBar* bar = dialog.ItemAs<ui::TabControl>(kIdcTab)->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    CPelvaneDlg dialog;
    std::vector<QString> messages;
    QString captionDuringMessage;
    QString boxTitle;
    int boxButtons = 0;
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    KST_HANDLE handleDuringMessage = nullptr;
};

TEST_F(MainDialog, StartState) {
    EXPECT_EQ(dialog.windowTitle(), "Pelvane");
    auto* tabs = dialog.ItemAs<ui::TabControl>(kIdcTab);
    ASSERT_EQ(tabs->ItemCount(), 2);
    EXPECT_EQ(tabs->ItemText(0), u"总线节点信息"_qs);
    EXPECT_EQ(tabs->ItemText(1), u"通 讯 诊  断"_qs);
    EXPECT_EQ(tabs->CurSel(), 0);
    EXPECT_TRUE(dialog.nodeInfo().isVisible());
    EXPECT_FALSE(dialog.nodeError().isVisible());
    EXPECT_EQ(dialog.nodeInfo().parentWidget(), tabs);
    EXPECT_EQ(dialog.nodeError().parentWidget(), tabs);
    EXPECT_EQ(dialog.nodeInfo().geometry(), tabs->PageArea());
    EXPECT_EQ(dialog.nodeError().geometry(), tabs->PageArea());
    // The node page refreshed itself while it was created; nothing else ran.
    EXPECT_EQ(dialog.nodeInfo().refreshCount(), 1);
    EXPECT_EQ(dialog.nodeError().refreshCount(), 0);

    EXPECT_EQ(AddressBox()->Entries(), QStringList{"192.168.0.11"});
    EXPECT_EQ(AddressBox()->currentText(), "");
    EXPECT_EQ(Identity(), "");
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == AddressBox() || AddressBox()->isAncestorOf(focus));
    // Tab order: Address box, connect, disconnect, Identity line.
    for (const int id : {kIdcConnect, kIdcDisconnect, kIdcIdentity}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), dialog.Item(id)) << id;
    }
    EXPECT_EQ(dialog.ItemText(kIdcConnect), u"连  接"_qs);
    EXPECT_EQ(dialog.ItemText(kIdcDisconnect), u"断  开"_qs);
    EXPECT_EQ(g_controllerHandle, nullptr);
}

TEST_F(MainDialog, InitialisationForgetsAnyHandle) {
    CPelvaneDlg second;
    int notALink = 0;
    g_controllerHandle = reinterpret_cast<KST_HANDLE>(&notALink);
    second.Initialize();
    EXPECT_EQ(g_controllerHandle, nullptr);
}

TEST_F(MainDialog, ConnectShowsTheControllersIdentity) {
    auto sim = StartSimulator("127.0.4.1", IdentityBus("KSM464", "20261101", "00012345"));
    g_commandTimeout = 7;
    const int refreshes = dialog.nodeInfo().refreshCount();
    Connect("127.0.4.1");
    EXPECT_TRUE(messages.empty());
    EXPECT_NE(g_controllerHandle, nullptr);
    EXPECT_EQ(g_commandTimeout, 1000u);
    EXPECT_EQ(dialog.windowTitle(), u"Pelvane-已链接"_qs);
    EXPECT_EQ(Identity(), u"软件型号：KSM464  软件版本：20261101  控制器ID：00012345"_qs);
    EXPECT_EQ(dialog.nodeInfo().refreshCount(), refreshes + 1);
    EXPECT_EQ(dialog.nodeError().refreshCount(), 0);
    EXPECT_EQ(sim->OpenLinks(), 1u);
    // The typed address stays out of the list.
    EXPECT_EQ(AddressBox()->count(), 1);
}

TEST_F(MainDialog, IdentityInTheControllersCodePageIsDecoded) {
    auto sim = StartSimulator("127.0.4.2", IdentityBus("KSM\xCB\xC5\xB7\xFE", "V2", "\xBF\xD8-1"));
    Connect("127.0.4.2");
    EXPECT_EQ(Identity(), u"软件型号：KSM伺服  软件版本：V2  控制器ID：控-1"_qs);
}

TEST_F(MainDialog, EnterInTheAddressBoxConnects) {
    auto sim = StartSimulator("127.0.4.3");
    QTest::keyClicks(AddressBox(), "127.0.4.3");
    QTest::keyClick(AddressBox(), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.windowTitle(), u"Pelvane-已链接"_qs);
    EXPECT_EQ(sim->AcceptedLinks(), 1u);
}

TEST_F(MainDialog, FailedConnectShowsTheMessageFirstAndTheCaptionAfter) {
    Connect(kNobody);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], u"链接失败"_qs);
    EXPECT_EQ(captionDuringMessage, "Pelvane");
    EXPECT_EQ(handleDuringMessage, nullptr);
    EXPECT_EQ(boxTitle, QCoreApplication::applicationName());
    EXPECT_EQ(boxButtons, 1);
    EXPECT_EQ(boxIcon, QMessageBox::NoIcon);
    EXPECT_EQ(dialog.windowTitle(), u"Pelvane-未链接"_qs);
    EXPECT_EQ(g_controllerHandle, nullptr);

    // An empty address is handed on as it is and fails the same way.
    Connect("");
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(captionDuringMessage, u"Pelvane-未链接"_qs);
}

TEST_F(MainDialog, ReconnectClosesTheFirstLink) {
    auto first = StartSimulator("127.0.4.4");
    auto second = StartSimulator("127.0.4.5");
    Connect("127.0.4.4");
    ASSERT_EQ(first->OpenLinks(), 1u);
    Connect("127.0.4.5");
    EXPECT_TRUE(QTest::qWaitFor([&] { return first->OpenLinks() == 0; }, 2000));
    EXPECT_EQ(second->OpenLinks(), 1u);
    EXPECT_EQ(dialog.windowTitle(), u"Pelvane-已链接"_qs);

    // A failed open after a good one: the old link is gone and the state is not connected.
    Connect(kNobody);
    EXPECT_TRUE(QTest::qWaitFor([&] { return second->OpenLinks() == 0; }, 2000));
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(captionDuringMessage, u"Pelvane-已链接"_qs);
    EXPECT_EQ(dialog.windowTitle(), u"Pelvane-未链接"_qs);
    EXPECT_EQ(g_controllerHandle, nullptr);
}

TEST_F(MainDialog, FailedIdentityQueryStaysConnectedWithoutRefresh) {
    auto sim = StartSimulator("127.0.4.6", IdentityBus("KSM464", "20261101", "00000042"));
    Connect("127.0.4.6");
    const QString identity = Identity();
    ASSERT_FALSE(identity.isEmpty());
    const int refreshes = dialog.nodeInfo().refreshCount();

    EXPECT_EQ(sim->Control("@SIM ODD ?CONTROL EMPTY"), "OK\r\n");
    Connect("127.0.4.6");
    EXPECT_TRUE(messages.empty());
    EXPECT_NE(g_controllerHandle, nullptr);
    EXPECT_EQ(dialog.windowTitle(), u"Pelvane-已链接"_qs);
    EXPECT_EQ(Identity(), identity);
    EXPECT_EQ(dialog.nodeInfo().refreshCount(), refreshes);
}

TEST_F(MainDialog, DisconnectClosesTheLinkAndKeepsWhatIsShown) {
    auto* disconnect = dialog.ItemAs<QPushButton>(kIdcDisconnect);
    disconnect->click();
    EXPECT_EQ(dialog.windowTitle(), "Pelvane");

    auto sim = StartSimulator("127.0.4.7", IdentityBus("KSM464", "20261101", "00000007"));
    Connect("127.0.4.7");
    const QString identity = Identity();
    disconnect->click();
    EXPECT_EQ(g_controllerHandle, nullptr);
    EXPECT_EQ(dialog.windowTitle(), u"Pelvane-未链接"_qs);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim->OpenLinks() == 0; }, 2000));
    EXPECT_EQ(Identity(), identity);
    EXPECT_EQ(AddressBox()->currentText(), "127.0.4.7");

    // Not connected any more: a second press changes nothing.
    dialog.setWindowTitle("unchanged");
    disconnect->click();
    EXPECT_EQ(dialog.windowTitle(), "unchanged");
    EXPECT_EQ(sim->AcceptedLinks(), 1u);
}

TEST_F(MainDialog, TabSwitchShowsOnePageAndRefreshesIt) {
    const int infoRefreshes = dialog.nodeInfo().refreshCount();
    ClickTab(1);
    EXPECT_FALSE(dialog.nodeInfo().isVisible());
    EXPECT_TRUE(dialog.nodeError().isVisible());
    EXPECT_EQ(dialog.nodeError().refreshCount(), 1);
    EXPECT_EQ(dialog.nodeInfo().refreshCount(), infoRefreshes);

    ClickTab(0);
    EXPECT_TRUE(dialog.nodeInfo().isVisible());
    EXPECT_FALSE(dialog.nodeError().isVisible());
    EXPECT_EQ(dialog.nodeInfo().refreshCount(), infoRefreshes + 1);
    EXPECT_EQ(dialog.nodeError().refreshCount(), 1);
}

TEST_F(MainDialog, TabControlAndPagesFollowTheWindowButNotWhenMinimised) {
    auto* tabs = dialog.ItemAs<ui::TabControl>(kIdcTab);
    const QRect templateTab = dialog.MapDialogRect(QRect(3, 39, 551, 317));
    const QSize templateClient = ui::DluToPixels(QSize(554, 387), dialog.baseUnits());
    EXPECT_EQ(tabs->geometry(), templateTab);

    dialog.resize(templateClient.width() + 200, templateClient.height() + 100);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tabs->width() == templateTab.width() + 200; }, 2000));
    EXPECT_EQ(tabs->geometry(), TabControlRect(dialog.size(), templateTab, templateClient));
    EXPECT_EQ(tabs->height(), templateTab.height() + 100);
    // The whole tab control stays inside the window.
    EXPECT_TRUE(dialog.rect().contains(tabs->geometry()));
    EXPECT_EQ(dialog.nodeInfo().geometry(), tabs->PageArea());
    EXPECT_EQ(dialog.nodeError().geometry(), tabs->PageArea());

    const QRect before = tabs->geometry();
    dialog.showMinimized();
    QTest::qWait(50);
    EXPECT_EQ(tabs->geometry(), before);
    EXPECT_EQ(dialog.nodeInfo().geometry(), tabs->PageArea());
    dialog.showNormal();
}

TEST_F(MainDialog, EnterNeverEndsTheProgramButEscapeDoes) {
    QWidget* identity = dialog.Item(kIdcIdentity);
    identity->setFocus();
    QTest::keyClick(identity, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(messages.empty());

    // Enter on the focused connect button presses it.
    AddressBox()->setEditText(kNobody);
    auto* connect = dialog.ItemAs<QPushButton>(kIdcConnect);
    connect->setFocus();
    QTest::keyClick(connect, Qt::Key_Return);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(dialog.isVisible());

    QTest::keyClick(AddressBox(), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(MainDialogRun, EscapeEndsTheModalRun) {
    CPelvaneDlg dialog;
    QTimer::singleShot(0, &dialog, [&dialog] {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.DoModal(), QDialog::Rejected);
}

TEST_F(MainDialog, AboutEntryOpensTheAboutBoxModally) {
    QMenu menu;
    menu.addAction("earlier entry");
    dialog.AddSystemMenuEntries(menu);
    const auto actions = menu.actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_TRUE(actions[1]->isSeparator());
    EXPECT_EQ(actions[2]->text(), u"关于 Pelvane(&A)..."_qs);

    bool seen = false;
    QTimer::singleShot(0, [&seen] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        seen = true;
        EXPECT_EQ(about->windowTitle(), u"关于 Pelvane"_qs);
        EXPECT_EQ(about->size(), ui::DluToPixels(QSize(170, 62), about->baseUnits()));
        QStringList texts;
        for (QLabel* label : about->findChildren<QLabel*>()) texts << label->text();
        EXPECT_TRUE(texts.join('\n').contains("Pelvane")) << texts.join('|').toStdString();
        EXPECT_TRUE(texts.join('\n').contains("1.0.0.1"));
        EXPECT_TRUE(texts.join('\n').contains("Copyright"));
        about->Item(ui::kIdOk)->setFocus();
        QTest::keyClick(about->Item(ui::kIdOk), Qt::Key_Return);
    });
    actions[2]->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainDialog, BackgroundMenuEndsWithTheAboutEntry) {
    QString last;
    bool separatorBefore = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        const auto actions = menu->actions();
        ASSERT_GE(actions.size(), 2);
        last = actions.back()->text();
        separatorBefore = actions[actions.size() - 2]->isSeparator();
        menu->close();
    });
    // Clicked on the page's background, it reaches the dialog.
    QWidget* page = &dialog.nodeInfo();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            page->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(page, &event);
    EXPECT_EQ(last, u"关于 Pelvane(&A)..."_qs);
    EXPECT_TRUE(separatorBefore);
}

TEST(AppIcon, ShipsEverySize) {
    const QIcon icon = AppIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int size : {16, 24, 32, 48, 256})
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    CPelvaneDlg dialog;
    dialog.Initialize();
    EXPECT_FALSE(dialog.windowIcon().isNull());
}

}  // namespace
}  // namespace pelvane
