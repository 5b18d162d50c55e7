#include "controller/queries.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "tests/controller/controller_fixture.h"

namespace pelvane::testing {
namespace {

using NodeQueryTest = ControllerTest;

TEST_F(NodeQueryTest, EachSendsItsCommandOnceAndStoresOnlyAValidValue) {
    struct NodeQuery {
        std::string command;  // what the query sends
        KST_HANDLE handle;    // where it must go
        std::function<int32_t(int32_t*)> run;
    };
    // Odd node numbers show that they are passed signed and unchecked.
    const NodeQuery queries[] = {
        {"?NODE_COUNT(0)", fake::Handle(0x51), [](int32_t* out) { return GetNodeCount(out); }},
        {"?NODE_AXIS_COUNT(0,300)", fake::Handle(0x99),
         [](int32_t* out) { return GetNodeAxisCount(fake::Handle(0x99), 300, out); }},
        {"?NODE_IO(0,2147483647)", fake::Handle(0x51),
         [](int32_t* out) { return GetNodeIoBase(INT_MAX, out); }},
        {"?NODE_AIO(0,-5,0)", fake::Handle(0x51),
         [](int32_t* out) { return GetNodeAioBase(-5, out); }},
        {"?NODE_INFO(0,-1,-2147483648)", fake::Handle(0x51),
         [](int32_t* out) { return GetNodeInfo(-1, INT_MIN, out); }}};
    for (const NodeQuery& query : queries) {
        SCOPED_TRACE(query.command);
        controller() = {};
        controller().replies[query.command] = {0, "7\r\n"};
        int32_t value = -1;
        EXPECT_EQ(query.run(&value), 0);
        EXPECT_EQ(value, 7);
        ASSERT_EQ(controller().calls.size(), 1u);
        const fake::Call& call = controller().calls[0];
        EXPECT_EQ(call.function, fake::Function::Execute);
        EXPECT_EQ(call.command, query.command);
        EXPECT_EQ(call.handle, query.handle);
        EXPECT_EQ(call.timeoutMs, std::optional<uint32_t>(1000));

        controller() = {};
        EXPECT_EQ(query.run(nullptr), kResultBadArgument);
        EXPECT_TRUE(controller().calls.empty());
        controller().replies[query.command] = {0, ""};
        EXPECT_EQ(query.run(&value), kResultEmptyReply);
        // A failed command may still have printed a number; it must not be taken.
        for (const int32_t status : {20004, -8}) {
            controller().replies[query.command] = {status, "12"};
            EXPECT_EQ(query.run(&value), status);
        }
        EXPECT_EQ(value, 7);
    }
}

// A reply without a number succeeds and leaves the value alone.
TEST_F(NodeQueryTest, ReplyIsScannedAsADecimalInteger) {
    constexpr int32_t kUnchanged = 424242;
    struct Case {
        const char* reply;
        int32_t expected;
    };
    for (const Case& c :
         {Case{"-3", -3}, Case{"+12", 12}, Case{" \t\r\n\v\f42", 42}, Case{"12.5", 12},
          Case{"12abc 99", 12}, Case{"0x1F", 0}, Case{"Error: no node", kUnchanged},
          Case{"   \r\n", kUnchanged}, Case{"-", kUnchanged}, Case{"- 3", kUnchanged},
          Case{".5", kUnchanged}, Case{"2147483647", INT32_MAX}, Case{"2147483648", INT32_MAX},
          Case{"-2147483648", INT32_MIN}, Case{"-2147483649", INT32_MIN},
          Case{"184467440737095516170000", INT32_MAX}, Case{"-000000000000000000000000001", -1}}) {
        controller().fallback = fake::Response{0, c.reply};
        int32_t value = kUnchanged;
        EXPECT_EQ(GetNodeInfo(0, 1, &value), 0) << c.reply;
        EXPECT_EQ(value, c.expected) << c.reply;
    }
}

class ControllerInfoTest : public ControllerTest {
  protected:
    // One block, so that a write past a 128-byte place lands in a guard, not elsewhere.
    struct Places {
        char model[kIdentityFieldSize] = "old model";
        char version[kIdentityFieldSize] = "old version";
        char id[kIdentityFieldSize] = "old id";
        char guard[16] = "GGGGGGGGGGGGGGG";
    } places_;

    int32_t Run() { return GetControllerInfo(places_.model, places_.version, places_.id); }
};

TEST_F(ControllerInfoTest, StoresTheFirstWordOfEachReplyCutToItsPlace) {
    const std::string longWord(300, 'w');
    controller().replies["?CONTROL"] = {0, "  \xd6\xd0-308\tMotion Controller\r\n"};
    controller().replies["?VERSION_DATE"] = {0, " \t\r\n"};  // no word: the place stays
    controller().replies["?SERIAL_NUMBER"] = {0, longWord + " tail"};
    EXPECT_EQ(Run(), 0);
    EXPECT_STREQ(places_.model, "\xd6\xd0-308");
    EXPECT_STREQ(places_.version, "old version");
    EXPECT_EQ(std::string(places_.id), longWord.substr(0, kIdentityFieldSize - 1));
    EXPECT_STREQ(places_.guard, "GGGGGGGGGGGGGGG");
    EXPECT_EQ(controller().Commands(),
              (std::vector<std::string>{"?CONTROL", "?VERSION_DATE", "?SERIAL_NUMBER"}));
    for (const fake::Call& call : controller().calls) {
        EXPECT_EQ(call.function, fake::Function::Execute);
        EXPECT_EQ(call.handle, g_controllerHandle);
    }
}

TEST_F(ControllerInfoTest, AFailingStepStopsAndKeepsEarlierPlaces) {
    controller().replies["?CONTROL"] = {0, "XC-308"};
    EXPECT_EQ(Run(), kResultEmptyReply);  // ?VERSION_DATE gets the empty reply
    EXPECT_STREQ(places_.model, "XC-308");
    EXPECT_STREQ(places_.version, "old version");
    EXPECT_STREQ(places_.id, "old id");
    EXPECT_EQ(controller().Commands(), (std::vector<std::string>{"?CONTROL", "?VERSION_DATE"}));
}

}  // namespace
}  // namespace pelvane::testing
