#include "nodes/error_poll.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A count not read is no line that broke, and no clean bus either.
TEST_F(ErrorPollTest, ANodeCountNotReadIsNoLineThatBroke) {
    PollSession session;
    for (const char* reply : {"busy", "2\r\n", "busy"}) {
        Reply("?NODE_COUNT(0)", reply);
        ASSERT_TRUE(session.PollOnce());
        EXPECT_FALSE(session.Judge().faultFound()) << VerdictText(session.Judge());
        EXPECT_FALSE(session.Judge().clean());
    }
    EXPECT_EQ(VerdictText(session.Judge()),
              "not judged: node count unread (the controller answered ?NODE_COUNT(0) with no "
              "value)");
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
}

// Only behaviour tells whether a controller knows our extensions, never its error numbers:
// any refusal or odd answer steps the link down for good, a failed link never does.
TEST_F(ErrorPollTest, AnyRefusalOrOddAnswerStepsDownAFailedReadNever) {
    struct Case {
        fake::Response regs;
        RegisterSource after;
    };
    std::vector<Case> cases;
    for (const int32_t status : {1, 2, 4, 777, 2001, 9999})
        cases.push_back(
            {{status, "Error " + std::to_string(status) + ": ?\r\n"}, RegisterSource::kItems});
    cases.push_back({{0, ""}, RegisterSource::kItems});
    cases.push_back({{0, "abc\r\n"}, RegisterSource::kItems});
    cases.push_back({{KST_ERR_TIMEOUT, ""}, RegisterSource::kBulk});
    Reply("?NODE_COUNT(0)", "1\r\n");
    Reply("?NODE_REGS(0,0,768,20)", "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n");
    for (const Case& c : cases) {
        controller().replies["?NODE_REGS(0,0,272,2)"] = c.regs;
        PollSession session;
        ASSERT_TRUE(session.PollOnce());
        EXPECT_EQ(session.registerSource(), c.after) << c.regs.status << " " << c.regs.reply;
        EXPECT_EQ(session.Judge().registerSteps.size(), c.after == RegisterSource::kBulk ? 0u : 1u);
    }

    // Items: a value out of a byte's range steps down too; the window's counters then
    // answered two bytes wide are taken by their low byte.
    controller().replies["?NODE_REGS(0,0,272,2)"] = {4, "Error 4: ?\r\n"};
    Reply("?NODE_INFO(0,0,272)", "300\r\n");
    Reply("?NODE_INFO(0,0,768)", "1027\r\n");
    PollSession session;
    ASSERT_TRUE(session.PollOnce());
    EXPECT_EQ(session.registerSource(), RegisterSource::kCountersOnly);
    EXPECT_EQ(session.last().counters[0][0], 3);
    EXPECT_EQ(ReadingNotes(session.Judge()),
              (std::vector<std::string>{
                  "topology: not reported by the controller, read as a line",
                  "registers: the controller refused ?NODE_REGS(0,0,272,2) with Error 4; "
                  "reading items",
                  "registers: the controller answered ?NODE_INFO(0,0,272) with 300, out of "
                  "the register's range; reading 300H..303H alone, as the window does",
                  "registers: the controller answered ?NODE_INFO(0,0,768) with 1027, out of "
                  "the register's range; taking each counter's low byte"}));
    EXPECT_TRUE(session.Judge().clean());
}

// Once the bulk read has served on a link, one node's refusal costs that node alone.
TEST_F(ErrorPollTest, ARefusalOnOneNodeCostsThatNodeAlone) {
    Reply("?NODE_COUNT(0)", "4\r\n");
    for (int node = 0; node < 4; ++node) {
        const std::string n = std::to_string(node);
        Reply("?NODE_REGS(0," + n + ",272,2)", "1 0\r\n");
        Reply("?NODE_REGS(0," + n + ",768,20)", "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\r\n");
    }
    controller().replies["?NODE_REGS(0,3,768,20)"] = {4, "Error 4: ?\r\n"};
    controller().replies["?NODE_INFO(0,3,769)"] = {4, "Error 4: ?\r\n"};
    PollSession session;
    ASSERT_TRUE(session.PollOnce());
    EXPECT_EQ(session.registerSource(), RegisterSource::kBulk);
    const std::vector<std::string> commands = controller().Commands();
    EXPECT_NE(std::ranges::find(commands, "?NODE_INFO(0,3,272)"), commands.end());
    EXPECT_EQ(session.last().counters[3][0], 0);
    EXPECT_FALSE(session.last().counters[3][1]);
    EXPECT_EQ(VerdictText(session.Judge()),
              "not judged: counters unread on Node3 (the controller answered "
              "?NODE_INFO(0,3,769) with Error 4)");
}

}  // namespace
}  // namespace pelvane::testing
