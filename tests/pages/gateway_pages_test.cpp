// The two pages against kestrum-gateway show what they show against the simulator that
// emulates the segment. Run by the gateway's end-to-end script, which sets up the
// segment; skipped elsewhere.
#include <gtest/gtest.h>

#include <QTest>
#include <cstdlib>

#include "node_cells.h"
#include "node_error.h"
#include "node_info.h"
#include "page_fixture.h"

namespace pelvane::testing {
namespace {

// The count of a range cell "16(0-15)"; the first number differs by design.
QString Count(const QString& cell) {
    return cell.section('(', 0, 0);
}

QStringList Row(ui::ListControl& list, int row, int columns, int countsFrom) {
    QStringList cells;
    for (int column = 0; column < columns; ++column) {
        const QString cell = list.ItemText(row, column);
        cells << (column >= countsFrom ? Count(cell) : cell);
    }
    return cells;
}

struct Rows {
    QList<QStringList> nodes, errors;
};

Rows Read(const char* address) {
    g_nodeTable = {};
    g_errorCounterTable = {};
    QWidget parent;
    NodeInfo info;
    NodeError error;
    info.Create(&parent);
    error.Create(&parent);
    PageTest::Link(address);
    error.ForgetLastPoll();
    info.RefreshNodeList();
    auto& nodeList = *info.ItemAs<ui::ListControl>(kIdcNodeList);
    auto& errorList = *error.ItemAs<ui::ListControl>(kIdcErrorList);
    const int count = nodeList.ItemCount();
    EXPECT_TRUE(QTest::qWaitFor([&] { return errorList.ItemCount() == count; }, 3000));
    Rows rows;
    for (int row = 0; row < count; ++row) {
        rows.nodes << Row(nodeList, row, kNodeInfoColumnCount, 5);
        // The status word needs an SDO, which the gateway refuses: not compared.
        rows.errors << Row(errorList, row, kErrorListColumnCount - 1, kErrorListColumnCount);
    }
    PageTest::Disconnect();
    return rows;
}

TEST(PagesAgainstGateway, ShowTheRowsOfTheEmulatedSegment) {
    const char* gateway = std::getenv("PELVANE_GATEWAY");
    const char* simulator = std::getenv("PELVANE_GATEWAY_SIM");
    if (gateway == nullptr || simulator == nullptr) GTEST_SKIP() << "run by the gateway's script";
    const Rows direct = Read(simulator);
    const Rows through = Read(gateway);
    ASSERT_EQ(through.nodes.size(), 8);
    EXPECT_EQ(through.nodes, direct.nodes);
    EXPECT_EQ(through.errors, direct.errors);
}

}  // namespace
}  // namespace pelvane::testing
