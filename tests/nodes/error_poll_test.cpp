#include "nodes/error_poll.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nodes/poll_session.h"
#include "tests/controller/controller_fixture.h"

namespace pelvane::testing {
namespace {

class ErrorPollTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        controller().fallback = {0, "0\r\n"};
        Reply("?*ETHERCAT", "State:OP.\r\nLostcount:3.\r\n");
        Reply("?NODE_COUNT(0)", "2\r\n");
    }
    void Reply(const std::string& command, const char* reply) {
        controller().replies[command] = {0, reply};
    }
    // Node 1 drives an axis whose status word reads 1237H (4663).
    void GiveNode1AnAxis() {
        Reply("?NODE_AXIS_COUNT(0,1)", "1\r\n");
        Reply("SDO_READ(0,1,24641,0,7,0)", "");
        Reply("?TABLE(0) ", "4663\r\n");
    }
    // One poll as the page runs it; true when a value or the count changed.
    bool Poll() {
        lostcount = poll.ReadLostcountText();
        return poll.PollNodes(table, count);
    }
    ErrorCounterTable table{};
    ErrorPoll poll;
    int32_t count = 0;
    std::string lostcount;
};

TEST_F(ErrorPollTest, OnePollAsksInItsOrderAndReadsStatusWordsOfAxisNodesOnly) {
    GiveNode1AnAxis();
    Poll();
    EXPECT_EQ(lostcount, "Lostcount:3");
    const std::vector<std::string> expected = {"?*ETHERCAT",
                                               "?NODE_COUNT(0)",
                                               "?NODE_INFO(0,0,768)",
                                               "?NODE_INFO(0,0,769)",
                                               "?NODE_INFO(0,0,770)",
                                               "?NODE_INFO(0,0,771)",
                                               "?NODE_AXIS_COUNT(0,0)",
                                               "?NODE_INFO(0,1,768)",
                                               "?NODE_INFO(0,1,769)",
                                               "?NODE_INFO(0,1,770)",
                                               "?NODE_INFO(0,1,771)",
                                               "?NODE_AXIS_COUNT(0,1)",
                                               "SDO_READ(0,1,24641,0,7,0)",
                                               "?TABLE(0) "};
    EXPECT_EQ(controller().Commands(), expected);
    EXPECT_EQ(table[kStatusWord][0], 0);
    EXPECT_EQ(table[kStatusWord][1], 4663);
    EXPECT_EQ(count, 2);
}

TEST_F(ErrorPollTest, ChangedValuesMarkTheListStaleAndUnchangedOnesDoNot) {
    EXPECT_TRUE(Poll());  // the count went from 0 to 2
    EXPECT_FALSE(Poll());

    Reply("?NODE_INFO(0,0,770)", "3\r\n");
    Reply("?NODE_INFO(0,1,771)", "-1\r\n");
    EXPECT_TRUE(Poll());
    EXPECT_EQ(table[kRegister302H][0], 3);
    EXPECT_EQ(table[kRegister303H][1], -1);
    EXPECT_FALSE(CountersClear(table, 0));
    EXPECT_FALSE(CountersClear(table, 1));

    // Only the count changes: the rows must still follow the bus.
    Reply("?NODE_COUNT(0)", "1\r\n");
    EXPECT_TRUE(Poll());
    EXPECT_EQ(count, 1);
}

TEST_F(ErrorPollTest, FailuresKeepTableValuesAndMarkTheStatusWordMinusOne) {
    GiveNode1AnAxis();
    Reply("?NODE_INFO(0,0,768)", "5\r\n");
    Poll();

    controller().replies["?NODE_INFO(0,0,768)"] = {20004, ""};
    Reply("?NODE_INFO(0,0,769)", "garbage");
    controller().replies["?NODE_AXIS_COUNT(0,0)"] = {20004, ""};
    Reply("?TABLE(0) ", "0x12");
    // The count cannot be read: the page goes on with the last one.
    controller().replies["?NODE_COUNT(0)"] = {20004, ""};
    EXPECT_TRUE(Poll());
    EXPECT_EQ(count, 2);
    EXPECT_EQ(table[kRegister300H][0], 5);
    EXPECT_EQ(table[kRegister301H][0], 0);
    EXPECT_EQ(table[kStatusWord][0], -1);
    EXPECT_EQ(table[kStatusWord][1], -1);
}

TEST_F(ErrorPollTest, ACounterFirstReadLateBecomesTheBaselineNotARise) {
    PollSession session;
    controller().replies["?NODE_INFO(0,0,768)"] = {2003, ""};
    Reply("?NODE_INFO(0,0,769)", "no number");
    ASSERT_TRUE(session.PollOnce());
    const CounterReadings& read = session.last().counters[0];
    EXPECT_EQ(std::vector(read.begin(), read.begin() + kCounterCount),
              (std::vector<std::optional<int32_t>>{std::nullopt, std::nullopt, 0, 0}));
    EXPECT_FALSE(session.rises().at(0, kRegister300H).seen);

    Reply("?NODE_INFO(0,0,768)", "40");
    ASSERT_TRUE(session.PollOnce());
    EXPECT_EQ(session.rises().at(0, kRegister300H).total, 0);
    Reply("?NODE_INFO(0,0,768)", "45");
    ASSERT_TRUE(session.PollOnce());
    EXPECT_EQ(session.rises().at(0, kRegister300H).total, 5);
    // A link that fails mid-poll gives no reading at all.
    controller().fallback = {KST_ERR_LINK_CLOSED, ""};
    EXPECT_FALSE(session.PollOnce());
    EXPECT_EQ(session.readings(), 3);
}

TEST_F(ErrorPollTest, ANodeCountNotReadIsNoLineThatBroke) {
    PollSession session;
    for (const char* reply : {"busy", "2\r\n", "busy"}) {
        Reply("?NODE_COUNT(0)", reply);
        ASSERT_TRUE(session.PollOnce());
        EXPECT_TRUE(session.Judge().clean()) << VerdictText(session.Judge());
    }
}

TEST_F(ErrorPollTest, ABusLargerThanAPollIsPolledInPart) {
    Reply("?NODE_COUNT(0)", "300\r\n");
    table[kRegister300H][200] = 9;
    Poll();
    EXPECT_EQ(count, kPollCapacity);
    EXPECT_EQ(controller().Commands().back(), "?NODE_AXIS_COUNT(0,199)");
    EXPECT_EQ(table[kRegister300H][200], 9);
    Reply("?NODE_COUNT(0)", "-4\r\n");
    Poll();
    EXPECT_EQ(count, 0);
}

// The headless poll reads each node's registers in bulk where the controller answers it,
// item by item where it only knows the items, and as the window does from a controller that
// knows neither; an odd reply costs only that node its bulk read.
TEST_F(ErrorPollTest, RegistersComeInBulkThenItemByItemThenAsTheWindowReadsThem) {
    Reply("?NODE_COUNT(0)", "1\r\n");
    Reply("?NODE_REGS(0,0,272,2)", "49 90\r\n");
    Reply("?NODE_REGS(0,0,768,20)", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20\r\n");
    PollSession session;
    const auto commandsOfAPoll = [&] {
        controller().calls.clear();
        EXPECT_TRUE(session.PollOnce());
        return controller().Commands();
    };
    const std::vector<std::string> bulk = {"?*ETHERCAT", "?NODE_COUNT(0)", "?NODE_REGS(0,0,272,2)",
                                           "?NODE_REGS(0,0,768,20)", "?NODE_AXIS_COUNT(0,0)"};
    EXPECT_EQ(commandsOfAPoll(), bulk);
    EXPECT_EQ(session.last().dlStatus[0], 0x5A31);
    const CounterReadings& read = session.last().counters[0];
    EXPECT_EQ(read[kProcessingUnitRegister], 13);
    EXPECT_EQ(read[LostLinkRegister(3)], 20);
    EXPECT_FALSE(read[14]);  // the PDI error code is no counter
    EXPECT_TRUE(session.topologyReported());

    for (const char* odd :
         {"1 2 3\r\n", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 256\r\n"}) {
        Reply("?NODE_REGS(0,0,768,20)", odd);
        const std::vector<std::string> items = commandsOfAPoll();
        EXPECT_EQ(items.size(), bulk.size() + 2 + 18) << odd;
        EXPECT_EQ(items[4], "?NODE_INFO(0,0,272)");
        EXPECT_EQ(items[6], "?NODE_INFO(0,0,780)");  // 30CH before the counts it includes
    }
    Reply("?NODE_REGS(0,0,768,20)", "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n");
    EXPECT_EQ(commandsOfAPoll(), bulk);

    controller().replies["?NODE_REGS(0,0,272,2)"] = {2001, "Error 2001: unknown command\r\n"};
    commandsOfAPoll();
    EXPECT_EQ(session.registerSource(), RegisterSource::kItems);
    controller().replies["?NODE_INFO(0,0,272)"] = {2002, "Error 2002: no such item\r\n"};
    commandsOfAPoll();
    EXPECT_EQ(commandsOfAPoll(),
              (std::vector<std::string>{"?*ETHERCAT", "?NODE_COUNT(0)", "?NODE_INFO(0,0,768)",
                                        "?NODE_INFO(0,0,769)", "?NODE_INFO(0,0,770)",
                                        "?NODE_INFO(0,0,771)", "?NODE_AXIS_COUNT(0,0)"}));
    EXPECT_FALSE(session.topologyReported());
    EXPECT_EQ(TopologyNote(session.Judge()),
              "topology: not reported by the controller, read as a line");
}

}  // namespace
}  // namespace pelvane::testing
