#include "queries.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "controller_fixture.h"
#include "reply_scan.h"

namespace pelvane::testing {
namespace {

using fake::Function;

class NodeQueryTest : public ControllerTest {};

struct NodeQuery {
    const char* name;
    std::string command;  // what the query sends for node 2 (item 768)
    std::function<int32_t(int32_t*)> run;
};

std::vector<NodeQuery> NodeQueries() {
    return {
        {"GetNodeCount", "?NODE_COUNT(0)", [](int32_t* out) { return GetNodeCount(out); }},
        {"GetNodeAxisCount", "?NODE_AXIS_COUNT(0,2)",
         [](int32_t* out) { return GetNodeAxisCount(g_controllerHandle, 2, out); }},
        {"GetNodeIoBase", "?NODE_IO(0,2)", [](int32_t* out) { return GetNodeIoBase(2, out); }},
        {"GetNodeAioBase", "?NODE_AIO(0,2,0)", [](int32_t* out) { return GetNodeAioBase(2, out); }},
        {"GetNodeInfo", "?NODE_INFO(0,2,768)",
         [](int32_t* out) { return GetNodeInfo(2, 768, out); }},
    };
}

TEST_F(NodeQueryTest, EachSendsItsCommandOnceAndStoresTheValue) {
    for (const NodeQuery& query : NodeQueries()) {
        SCOPED_TRACE(query.name);
        controller().Reset();
        controller().Reply(query.command, "7\r\n");
        int32_t value = -1;
        EXPECT_EQ(query.run(&value), 0);
        EXPECT_EQ(value, 7);
        ASSERT_EQ(controller().Calls().size(), 1u);
        const fake::Call& call = controller().Calls()[0];
        EXPECT_EQ(call.function, Function::Execute);
        EXPECT_EQ(call.command, query.command);
        EXPECT_EQ(call.handle, g_controllerHandle);
        EXPECT_EQ(call.timeoutMs, std::optional<uint32_t>(1000));
    }
}

TEST_F(NodeQueryTest, FailuresLeaveTheOutputUntouched) {
    for (const NodeQuery& query : NodeQueries()) {
        SCOPED_TRACE(query.name);
        controller().Reset();
        EXPECT_EQ(query.run(nullptr), kResultBadArgument);
        EXPECT_TRUE(controller().Calls().empty());

        int32_t value = 55;
        controller().Reply(query.command, "", 0);
        EXPECT_EQ(query.run(&value), kResultEmptyReply);
        EXPECT_EQ(value, 55);

        // A failed command may still have printed a number; it must not be taken.
        controller().Reply(query.command, "12", 20004);
        EXPECT_EQ(query.run(&value), 20004);
        EXPECT_EQ(value, 55);
        controller().Reply(query.command, "12", -8);
        EXPECT_EQ(query.run(&value), -8);
        EXPECT_EQ(value, 55);
    }
}

TEST_F(NodeQueryTest, AxisCountUsesTheHandleGiven) {
    int32_t value = 0;
    controller().SetDefault(fake::Response{0, "2"});
    EXPECT_EQ(GetNodeAxisCount(fake::Handle(0x99), 300, &value), 0);
    ASSERT_EQ(controller().Calls().size(), 1u);
    EXPECT_EQ(controller().Calls()[0].handle, fake::Handle(0x99));
    EXPECT_EQ(controller().Calls()[0].command, "?NODE_AXIS_COUNT(0,300)");
}

TEST_F(NodeQueryTest, NumbersAreFormattedSignedAndUntested) {
    int32_t value = 0;
    GetNodeInfo(-1, INT_MIN, &value);
    GetNodeIoBase(INT_MAX, &value);
    GetNodeAioBase(-5, &value);
    EXPECT_EQ(controller().Commands(),
              (std::vector<std::string>{"?NODE_INFO(0,-1,-2147483648)", "?NODE_IO(0,2147483647)",
                                        "?NODE_AIO(0,-5,0)"}));
}

struct IntegerScanCase {
    const char* reply;
    int32_t expected;  // kUnchanged when the value must stay as it was
};
constexpr int32_t kUnchanged = 424242;

class IntegerScanTest : public ControllerTest,
                        public ::testing::WithParamInterface<IntegerScanCase> {};

TEST_P(IntegerScanTest, ReplyIsScannedAsADecimalInteger) {
    controller().SetDefault(fake::Response{0, GetParam().reply});
    int32_t value = kUnchanged;
    EXPECT_EQ(GetNodeInfo(0, 1, &value), 0);
    EXPECT_EQ(value, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, IntegerScanTest,
    ::testing::Values(
        IntegerScanCase{"-3", -3}, IntegerScanCase{"+12", 12}, IntegerScanCase{" \t\r\n\v\f42", 42},
        IntegerScanCase{"12.5", 12}, IntegerScanCase{"12abc 99", 12}, IntegerScanCase{"0x1F", 0},
        IntegerScanCase{"007", 7}, IntegerScanCase{"Error: no node", kUnchanged},
        IntegerScanCase{"   \r\n", kUnchanged}, IntegerScanCase{"-", kUnchanged},
        IntegerScanCase{"- 3", kUnchanged}, IntegerScanCase{".5", kUnchanged},
        IntegerScanCase{"2147483647", INT32_MAX}, IntegerScanCase{"2147483648", INT32_MAX},
        IntegerScanCase{"-2147483648", INT32_MIN}, IntegerScanCase{"-2147483649", INT32_MIN},
        IntegerScanCase{"184467440737095516170000", INT32_MAX},
        IntegerScanCase{"-000000000000000000000000001", -1}));

class ControllerInfoTest : public ControllerTest {
  protected:
    // One block, so that a write past a 128-byte place lands in a guard, not elsewhere.
    struct Places {
        char model[kIdentityFieldSize];
        char version[kIdentityFieldSize];
        char id[kIdentityFieldSize];
        char guard[16];
    };
    Places places_{};

    void SetUp() override {
        ControllerTest::SetUp();
        std::strcpy(places_.model, "old model");
        std::strcpy(places_.version, "old version");
        std::strcpy(places_.id, "old id");
        std::memset(places_.guard, 'G', sizeof places_.guard);
    }
    int32_t Run() { return GetControllerInfo(places_.model, places_.version, places_.id); }
};

TEST_F(ControllerInfoTest, StoresTheFirstWordOfEachReply) {
    controller().Reply("?CONTROL", "  XC-308\tMotion Controller\r\n");
    controller().Reply("?VERSION_DATE", "20261130 build 7");
    controller().Reply("?SERIAL_NUMBER", "\r\n\xd6\xd0\xce\xc4-12 ");
    EXPECT_EQ(Run(), 0);
    EXPECT_STREQ(places_.model, "XC-308");
    EXPECT_STREQ(places_.version, "20261130");
    EXPECT_STREQ(places_.id, "\xd6\xd0\xce\xc4-12");
    EXPECT_EQ(controller().Commands(),
              (std::vector<std::string>{"?CONTROL", "?VERSION_DATE", "?SERIAL_NUMBER"}));
    for (const fake::Call& call : controller().Calls()) {
        EXPECT_EQ(call.function, Function::Execute);
        EXPECT_EQ(call.handle, g_controllerHandle);
    }
}

TEST_F(ControllerInfoTest, AFailingStepStopsAndKeepsEarlierPlaces) {
    controller().Reply("?CONTROL", "XC-308");
    controller().Reply("?VERSION_DATE", "");
    EXPECT_EQ(Run(), kResultEmptyReply);
    EXPECT_STREQ(places_.model, "XC-308");
    EXPECT_STREQ(places_.version, "old version");
    EXPECT_STREQ(places_.id, "old id");
    EXPECT_EQ(controller().Commands(), (std::vector<std::string>{"?CONTROL", "?VERSION_DATE"}));

    controller().Reset();
    controller().Reply("?CONTROL", "XC-999", 20005);
    EXPECT_EQ(Run(), 20005);
    EXPECT_STREQ(places_.model, "XC-308");
    EXPECT_EQ(controller().Commands().size(), 1u);
}

TEST_F(ControllerInfoTest, WhiteSpaceOnlyReplyLeavesThePlaceAndSucceeds) {
    controller().SetDefault(fake::Response{0, "Z1"});
    controller().Reply("?VERSION_DATE", " \t\r\n");
    EXPECT_EQ(Run(), 0);
    EXPECT_STREQ(places_.version, "old version");
    EXPECT_STREQ(places_.id, "Z1");
}

TEST_F(ControllerInfoTest, OverlongWordIsCutToFitItsPlace) {
    const std::string word(300, 'w');
    controller().SetDefault(fake::Response{0, word + " tail"});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(std::string(places_.model), word.substr(0, kIdentityFieldSize - 1));
    EXPECT_EQ(std::string(places_.version), word.substr(0, kIdentityFieldSize - 1));
    EXPECT_EQ(std::string(places_.id), word.substr(0, kIdentityFieldSize - 1));
    EXPECT_EQ(std::string(places_.guard, sizeof places_.guard), std::string(16, 'G'));

    char exact[kIdentityFieldSize];
    EXPECT_TRUE(ScanWord(std::string(127, 'e').c_str(), exact, sizeof exact));
    EXPECT_EQ(std::string(exact), std::string(127, 'e'));
}

}  // namespace
}  // namespace pelvane::testing
