#include "nodes/node_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/controller/controller_fixture.h"

namespace pelvane::testing {
namespace {

class NodeTableTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        g_nodeTable = {};
    }
    void SetCount(const char* count) { controller().replies["?NODE_COUNT(0)"] = {0, count}; }
    void Reply(const std::string& command, const char* reply) {
        controller().replies[command] = {0, reply};
    }
};

TEST_F(NodeTableTest, ARefreshAsksTenValuesPerNodeInOrder) {
    SetCount("2\r\n");
    controller().fallback = {0, "5\r\n"};
    EXPECT_EQ(QueryNodeTable(), 2);
    std::vector<std::string> expected = {"?NODE_COUNT(0)"};
    for (int i = 0; i < 2; ++i) {
        const std::string n = std::to_string(i);
        for (const std::string& command :
             {"?NODE_INFO(0," + n + ",0)", "?NODE_INFO(0," + n + ",1)", "?NODE_INFO(0," + n + ",3)",
              "?NODE_AXIS_COUNT(0," + n + ")", "?NODE_IO(0," + n + ")",
              "?NODE_INFO(0," + n + ",10)", "?NODE_INFO(0," + n + ",11)",
              "?NODE_AIO(0," + n + ",0)", "?NODE_INFO(0," + n + ",12)",
              "?NODE_INFO(0," + n + ",13)"})
            expected.push_back(command);
    }
    EXPECT_EQ(controller().Commands(), expected);
    EXPECT_EQ(g_nodeTable[1].nodeNo, 1);
    EXPECT_EQ(g_nodeTable[1].daCount, 5);
    EXPECT_EQ(g_nodeTable[1].spare[0], 0);
}

TEST_F(NodeTableTest, AFailedQueryKeepsTheLastGoodValue) {
    SetCount("1");
    controller().fallback = {0, "9"};
    Reply("?NODE_INFO(0,0,1)", "no number");
    controller().replies["?NODE_AXIS_COUNT(0,0)"] = {20004, "7"};
    QueryNodeTable();
    EXPECT_EQ(g_nodeTable[0].deviceId, 0);  // never read: still the start value
    EXPECT_EQ(g_nodeTable[0].axisCount, 0);
    EXPECT_EQ(g_nodeTable[0].vendorId, 9);

    Reply("?NODE_INFO(0,0,1)", "165");
    QueryNodeTable();
    Reply("?NODE_INFO(0,0,1)", "");
    controller().replies["?NODE_INFO(0,0,0)"] = {20001, ""};
    QueryNodeTable();
    EXPECT_EQ(g_nodeTable[0].deviceId, 165);
    EXPECT_EQ(g_nodeTable[0].vendorId, 9);
}

TEST_F(NodeTableTest, AShrunkBusRewritesOnlyItsOwnRecords) {
    controller().fallback = {0, "6"};
    EXPECT_EQ(QueryNodeTable(), 6);
    controller().fallback = {0, "4"};
    EXPECT_EQ(QueryNodeTable(), 4);
    EXPECT_EQ(g_nodeTable[3].vendorId, 4);
    EXPECT_EQ(g_nodeTable[4].vendorId, 6);
    EXPECT_EQ(g_nodeTable[5].nodeNo, 5);
}

TEST_F(NodeTableTest, CountsThatCannotBeUsedAsTheyAre) {
    // No count: nothing is asked and nothing written.
    controller().replies["?NODE_COUNT(0)"] = {20004, "3"};
    EXPECT_EQ(QueryNodeTable(), 0);
    EXPECT_EQ(controller().Commands().size(), 1u);
    controller() = {};
    SetCount("-3");
    EXPECT_EQ(QueryNodeTable(), 0);
    EXPECT_EQ(controller().Commands().size(), 1u);

    // More nodes than the table holds: the table's worth, and not one command beyond.
    controller() = {};
    SetCount("100000");
    EXPECT_EQ(QueryNodeTable(), kNodeTableSize);
    EXPECT_EQ(controller().Commands().size(), 1u + 10u * kNodeTableSize);
    EXPECT_EQ(controller().Commands().back(), "?NODE_INFO(0,255,13)");
}

}  // namespace
}  // namespace pelvane::testing
