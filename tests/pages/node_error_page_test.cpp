// The diagnosis list as the user sees it, against a simulated controller.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include "nodes/error_poll.h"
#include "nodes/node_table.h"
#include "pages/node_error.h"
#include "tests/pages/page_fixture.h"
#include "ui/controls.h"

namespace pelvane::testing {
namespace {

class NodeErrorPage : public PageTest {
  protected:
    void SetUp() override {
        g_nodeTable = {};
        g_errorCounterTable = {};
        page.Create(parent.tabs());
        parent.Resize(ui::WidgetOf(page).size());
        page.Show(true);
        parent.Show();
    }
    ui::ListControl& List() { return *page.ItemAs<ui::ListControl>(kIdcErrorList); }
    std::string Lostcount() { return page.ItemText(kIdcLostcount); }
    bool WaitForCell(int row, int column, const std::string& text) {
        return QTest::qWaitFor([&] { return List().ItemText(row, column) == text; }, 3000);
    }
    PageHost parent;
    NodeError page;
};

TEST_F(NodeErrorPage, RowsWithErrorsArePaintedRedWholeAndOthersWhite) {
    kestrum::sim::Bus bus;
    bus.nodes = {SimNode(0x41B, 1, 1), SimNode(0x41B, 2), SimNode(0x41B, 3)};
    bus.nodes[1].counters[3] = 1;
    bus.nodes[2].counters[0] = -1;
    bus.lostCount = 3;
    StartSimulator("127.0.5.11", bus);
    // Node 0 drives an axis whose status word cannot be read: white all the same.
    sim->server().Control("@SIM ODD ?NODE_AXIS_COUNT(0,0) EMPTY");
    Connect("127.0.5.11");
    ASSERT_TRUE(WaitForCell(2, 3, "-1"));
    EXPECT_EQ(List().ItemText(0, 7), "ffffffffH");
    EXPECT_EQ(List().ItemText(1, 7), "0H");
    EXPECT_EQ(Lostcount(), "Lostcount:3");

    const QColor red(255, 0, 0);
    for (const int column : {0, 4, 7}) {
        EXPECT_EQ(RowPixel(List(), 0, column), QColor(Qt::white)) << column;
        EXPECT_EQ(RowPixel(List(), 1, column), red) << column;
        EXPECT_EQ(RowPixel(List(), 2, column), red) << column;
    }
    EXPECT_EQ(page.ItemText(kIdcRegisterHelp),
              "300H:节点第一个网口检测的错误计数\n301H:节点第一个网口物理层接收错误计数\n"
              "302H:节点第二个网口检测的错误计数\n303H:节点第二个网口物理层接收错误计数\n");
}

// A controller of another make knows what the window asks: the same rows.
TEST_F(NodeErrorPage, AControllerOfAnotherMakeShowsTheSameRows) {
    kestrum::sim::Bus bus;
    bus.nodes = {SimNode(0x41B, 1, 1), SimNode(0x41B, 2)};
    bus.nodes[0].statusWord = 0x1237;
    bus.nodes[1].counters[3] = 1;
    bus.lostCount = 3;
    StartSimulator("127.0.5.16", bus, {.plain = true, .wideRegisters = false, .seed = {}});
    Connect("127.0.5.16");
    ASSERT_TRUE(WaitForCell(1, 6, "1"));
    EXPECT_EQ(List().ItemText(0, 7), "1237H");
    EXPECT_EQ(Lostcount(), "Lostcount:3");
    EXPECT_EQ(RowPixel(List(), 0, 0), QColor(Qt::white));
    EXPECT_EQ(RowPixel(List(), 1, 0), QColor(255, 0, 0));
}

TEST_F(NodeErrorPage, PollsWhileHiddenAndKeepsEverythingAfterADisconnect) {
    kestrum::sim::Bus bus;
    bus.nodes = {SimNode(0x66F, 1), SimNode(0x66F, 2)};
    StartSimulator("127.0.5.12", bus);
    Connect("127.0.5.12");
    ASSERT_TRUE(WaitForCell(1, 0, "Node1"));
    // The node page never read this bus: rows are named by their place all the same.
    EXPECT_EQ(List().ItemText(1, 1), "其他(0H)");
    page.Show(false);
    sim->server().Control("@SIM SET 1 302H 9");
    ASSERT_TRUE(WaitForCell(1, 5, "9"));
    EXPECT_EQ(List().ItemData(1), 0);

    Disconnect();
    QTest::qWait(50);
    sim->server().ClearReceivedCommands();
    QTest::qWait(700);
    EXPECT_TRUE(sim->server().ReceivedCommands().empty());
    page.Show(true);
    EXPECT_EQ(List().ItemCount(), 2);
    EXPECT_EQ(List().ItemText(1, 5), "9");
    EXPECT_EQ(RowPixel(List(), 1, 2), QColor(255, 0, 0));
    EXPECT_EQ(Lostcount(), "Lostcount:0");
}

TEST_F(NodeErrorPage, ANodeCountChangeAloneRebuildsTheRows) {
    kestrum::sim::Bus bus;
    bus.nodes.assign(3, SimNode(0x41B, 1));
    StartSimulator("127.0.5.13", bus);
    Connect("127.0.5.13");
    ASSERT_TRUE(QTest::qWaitFor([&] { return List().ItemCount() == 3; }, 3000));
    sim->server().Control("@SIM NODE_OFF 2 60000");
    EXPECT_TRUE(QTest::qWaitFor([&] { return List().ItemCount() == 2; }, 3000));
}

TEST_F(NodeErrorPage, AnEmptyBusShowsTheEightCentredColumnsAndNoRows) {
    StartSimulator("127.0.5.14", kestrum::sim::Bus{});
    Connect("127.0.5.14");
    page.RefreshErrorList();
    QStringList titles;
    QList<int> widths;
    for (int column = 0; column < List().HeaderItemCount(); ++column) {
        titles << ui::WidgetOf(List()).model()->headerData(column, Qt::Horizontal).toString();
        widths << List().ColumnWidth(column);
        const int align = ui::WidgetOf(List())
                              .model()
                              ->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole)
                              .toInt();
        EXPECT_EQ(align & Qt::AlignHorizontal_Mask, Qt::AlignHCenter) << column;
    }
    EXPECT_EQ(titles.join('|').toStdString(),
              "节点号|厂商ID|设备ID|300H|301H|302H|303H|驱动器状态字");
    EXPECT_EQ(widths, (QList<int>{50, 100, 80, 80, 80, 80, 80, 80}));
    EXPECT_EQ(List().ExtendedStyle(), ui::kListGridLines | ui::kListFullRowSelect);
    EXPECT_EQ(List().ItemCount(), 0);
}

TEST_F(NodeErrorPage, TwoNodesChangedInOnePollReachTheTableThenTheList) {
    kestrum::sim::Bus bus;
    bus.nodes.assign(3, SimNode(0x41B, 1));
    StartSimulator("127.0.5.15", bus);
    Connect("127.0.5.15");
    ASSERT_TRUE(QTest::qWaitFor([&] { return List().ItemCount() == 3; }, 3000));
    // No timer runs while the test holds the thread: the next poll sees both changes.
    sim->server().Control("@SIM SET 0 301H 4");
    sim->server().Control("@SIM SET 2 303H 6");
    ASSERT_TRUE(QTest::qWaitFor([&] { return g_errorCounterTable[kRegister301H][0] == 4; }, 3000));
    EXPECT_EQ(g_errorCounterTable[kRegister303H][2], 6);
    ASSERT_TRUE(QTest::qWaitFor([&] { return List().ItemText(0, 4) == "4"; }, 3000));
    EXPECT_EQ(List().ItemText(2, 6), "6");
    EXPECT_EQ(List().ItemData(0), kRowHasErrors);
    EXPECT_EQ(List().ItemData(1), kRowClear);
}

TEST_F(NodeErrorPage, ControlsFollowThePageSize) {
    const int helpWidth = ui::ItemWidget(page, kIdcRegisterHelp)->width();
    parent.Resize({1400, 900});
    ui::WidgetOf(page).resize(1400, 900);
    QTest::qWait(10);
    const QRect list = ui::WidgetOf(List()).geometry();
    const QRect help = ui::ItemWidget(page, kIdcRegisterHelp)->geometry();
    EXPECT_EQ(ui::ItemWidget(page, kIdcLostcount)->width(), ui::WidgetOf(page).width());
    // The help box keeps its width at the right; the list takes the rest.
    EXPECT_EQ(help.width(), helpWidth);
    EXPECT_GT(help.right(), ui::WidgetOf(page).width() - 10);
    EXPECT_EQ(list.right() + 1, help.left());
    EXPECT_EQ(list.bottom(), ui::WidgetOf(page).height() - 1);
    EXPECT_EQ(help.bottom(), ui::WidgetOf(page).height() - 1);
}

}  // namespace
}  // namespace pelvane::testing
