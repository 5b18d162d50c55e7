// The node list as the user sees it, against a simulated controller.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <thread>

#include "nodes/node_table.h"
#include "pages/node_info.h"
#include "tests/pages/page_fixture.h"
#include "ui/controls.h"

namespace pelvane::testing {
namespace {

class NodeInfoPage : public PageTest {
  protected:
    void SetUp() override {
        g_nodeTable = {};
        page.Create(parent.tabs());
        parent.Resize(ui::WidgetOf(page).size());
        page.Show(true);
        parent.Show();
    }
    ui::ListControl& List() { return *page.ItemAs<ui::ListControl>(kIdcNodeList); }
    // The row's cells joined by '|'.
    std::string Row(int row) {
        std::string cells;
        for (int column = 0; column < List().HeaderItemCount(); ++column)
            cells += (column > 0 ? "|" : "") + List().ItemText(row, column);
        return cells;
    }
    PageHost parent;
    NodeInfo page;
};

TEST_F(NodeInfoPage, ListsEveryNodeWithItsVendorDeviceAndRanges) {
    kestrum::sim::Bus bus;
    bus.nodes = {SimNode(0x41B, 0xA5, 1), SimNode(2, 0x10), SimNode(0x66F, 0x1)};
    bus.nodes[1].inputCount = 16;
    bus.nodes[1].outputCount = 16;
    bus.nodes[2].ioBase = 16;
    bus.nodes[2].inputCount = 8;
    bus.nodes[2].aioBase = 4;
    bus.nodes[2].daCount = 2;
    bus.nodes[2].switchNo = 12;
    StartSimulator("127.0.5.1", bus);

    page.RefreshNodeList();  // not connected: nothing happens
    EXPECT_EQ(List().HeaderItemCount(), 0);
    Connect("127.0.5.1");
    page.RefreshNodeList();
    QStringList titles;
    for (int column = 0; column < List().HeaderItemCount(); ++column)
        titles << ui::WidgetOf(List()).model()->headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(titles.join('|').toStdString(), "节点号|厂商ID|设备ID|拨码号|轴数|输入|输出|AD|DA");
    EXPECT_EQ(List().ColumnWidth(1), 100);
    ASSERT_EQ(List().ItemCount(), 3);
    EXPECT_EQ(Row(0), "Node0|Kestrum(41bH)|a5H|0|1|0|0|0|0");
    EXPECT_EQ(Row(1), "Node1|其他(2H)|10H|0|0|16(0-15)|16(0-15)|0|0");
    EXPECT_EQ(Row(2), "Node2|松下(66fH)|1H|12|0|8(16-23)|0|0|2(4-5)");
    EXPECT_EQ(sim->server().ReceivedCommands().size(), 31u);

    // Disconnected, a refresh keeps the rows of the last connected one.
    Disconnect();
    page.RefreshNodeList();
    EXPECT_EQ(List().ItemCount(), 3);
}

TEST_F(NodeInfoPage, AShrunkOrEmptyBusShowsItsOwnRows) {
    kestrum::sim::Bus bus;
    bus.nodes.assign(6, SimNode(0x41B, 7));
    StartSimulator("127.0.5.2", bus);
    Connect("127.0.5.2");
    page.RefreshNodeList();
    EXPECT_EQ(List().ItemCount(), 6);
    sim->server().Control("@SIM NODE_OFF 4 60000");
    page.RefreshNodeList();
    EXPECT_EQ(List().ItemCount(), 4);
    EXPECT_EQ(g_nodeTable[5].vendorId, 0x41B);
    sim->server().Control("@SIM NODE_OFF 0 60000");
    page.RefreshNodeList();
    EXPECT_EQ(List().HeaderItemCount(), 9);
    EXPECT_EQ(List().ItemCount(), 0);
}

TEST_F(NodeInfoPage, ALinkDroppedMidwayEndsTheRefreshAtOnceWithWhatItHas) {
    kestrum::sim::Bus bus;
    bus.nodes.assign(40, SimNode(0x41B, 7));
    bus.latencyMs = 2;  // about a second for the whole refresh
    StartSimulator("127.0.5.3", bus);
    Connect("127.0.5.3");
    std::thread dropper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        sim->server().Control("@SIM DROP_LINK");
    });
    QElapsedTimer timer;
    timer.start();
    page.RefreshNodeList();
    dropper.join();
    // Waiting out each remaining command would take minutes.
    EXPECT_LT(timer.elapsed(), 10000);
    ASSERT_EQ(List().ItemCount(), 40);
    EXPECT_EQ(List().ItemText(0, 1), "Kestrum(41bH)");
    EXPECT_EQ(List().ItemText(39, 1), "其他(0H)");
}

TEST_F(NodeInfoPage, TheListFillsThePageAsItGrows) {
    parent.Resize({1400, 900});
    ui::WidgetOf(page).resize(1400, 900);
    QTest::qWait(10);
    const QRect list = ui::WidgetOf(List()).geometry();
    EXPECT_EQ(list.topLeft(), QPoint(0, 0));
    EXPECT_EQ(list.bottom(), ui::WidgetOf(page).height() - 1);
    // Up to the page's right edge, less the template's narrow margin.
    EXPECT_GE(list.right(), ui::WidgetOf(page).width() - 6);
}

}  // namespace
}  // namespace pelvane::testing
