// The two pages against kestrum-gateway show what they show against the simulator that
// emulates the segment. Run by the gateway's end-to-end script, which sets up the
// segment; skipped elsewhere.
#include <gtest/gtest.h>

#include <QTest>
#include <cstdlib>
#include <string>
#include <vector>

#include "nodes/node_cells.h"
#include "pages/node_error.h"
#include "pages/node_info.h"
#include "tests/pages/page_fixture.h"
#include "ui/controls.h"

namespace pelvane::testing {
namespace {

// The count of a range cell "16(0-15)"; the first number differs by design.
std::string Count(const std::string& cell) {
    return cell.substr(0, cell.find('('));
}

std::vector<std::string> Row(ui::ListControl& list, int row, int columns, int countsFrom) {
    std::vector<std::string> cells;
    for (int column = 0; column < columns; ++column) {
        const std::string cell = list.ItemText(row, column);
        cells.push_back(column >= countsFrom ? Count(cell) : cell);
    }
    return cells;
}

struct Rows {
    std::vector<std::vector<std::string>> nodes, errors;
};

Rows Read(const char* address) {
    g_nodeTable = {};
    g_errorCounterTable = {};
    PageHost parent;
    NodeInfo info;
    NodeError error;
    info.Create(parent.tabs());
    error.Create(parent.tabs());
    PageTest::Link(address);
    error.ForgetLastPoll();
    info.RefreshNodeList();
    auto& nodeList = *info.ItemAs<ui::ListControl>(kIdcNodeList);
    auto& errorList = *error.ItemAs<ui::ListControl>(kIdcErrorList);
    const int count = nodeList.ItemCount();
    EXPECT_TRUE(QTest::qWaitFor([&] { return errorList.ItemCount() == count; }, 3000));
    Rows rows;
    for (int row = 0; row < count; ++row) {
        rows.nodes.push_back(Row(nodeList, row, kNodeInfoColumnCount, 5));
        // The drives' status words come through their mailboxes.
        rows.errors.push_back(Row(errorList, row, kErrorListColumnCount, kErrorListColumnCount));
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
    ASSERT_EQ(through.nodes.size(), 8u);
    EXPECT_EQ(through.nodes, direct.nodes);
    EXPECT_EQ(through.errors, direct.errors);
}

}  // namespace
}  // namespace pelvane::testing
