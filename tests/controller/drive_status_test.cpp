#include "controller/drive_status.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "controller/queries.h"
#include "controller/reply_scan.h"
#include "tests/controller/controller_fixture.h"

namespace pelvane::testing {
namespace {

using fake::Function;

constexpr float kUntouched = -777.0f;
constexpr const char* kSdoRead5 = "SDO_READ(0,5,24641,0,7,0)";

// Built here independently of the code under test: "?" and one "TABLE(n) " per entry.
std::string TableCommand(int first, int count) {
    std::string command = "?";
    for (int i = first; i < first + count; ++i) command += "TABLE(" + std::to_string(i) + ") ";
    return command;
}

using StatusWordTest = ControllerTest;

TEST_F(StatusWordTest, SdoReadThenTableReadOnTheGivenHandle) {
    controller().replies["?TABLE(0) "] = {0, "4663\r\n"};
    int32_t word = 0;
    EXPECT_EQ(ReadDriveStatusWord(fake::Handle(0x77), 128, &word), 0);
    EXPECT_EQ(word, 4663);
    const auto& calls = controller().calls;
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].function, Function::Execute);
    EXPECT_EQ(calls[0].command, "SDO_READ(0,128,24641,0,7,0)");
    EXPECT_EQ(calls[0].timeoutMs, std::optional<uint32_t>(1000));
    EXPECT_EQ(calls[1].function, Function::DirectCommand);
    EXPECT_EQ(calls[1].command, "?TABLE(0) ");
    EXPECT_EQ(calls[1].timeoutMs, std::nullopt);
    for (const fake::Call& call : calls) EXPECT_EQ(call.handle, fake::Handle(0x77));

    // Nodes above 128, compared unsigned, and a missing place are refused unsent.
    controller() = {};
    for (const int32_t node : {129, -1, INT32_MIN}) {
        EXPECT_EQ(ReadDriveStatusWord(g_controllerHandle, node, &word), kResultBadArgument) << node;
    }
    EXPECT_EQ(ReadDriveStatusWord(g_controllerHandle, 0, nullptr), kResultBadArgument);
    EXPECT_TRUE(controller().calls.empty());
    EXPECT_EQ(word, 4663);
}

// Any text from SDO_READ is a failure whatever its status, and the table is then not
// read; the table value is truncated toward zero and saturated; on failure the word
// keeps its value.
TEST_F(StatusWordTest, RepliesBecomeTheWordOrTheFailure) {
    struct Case {
        fake::Response sdo;
        fake::Response table;
        int32_t result;
        int32_t word;
    };
    const fake::Response ok;
    for (const Case& c :
         {Case{{0, "Error: SDO abort"}, ok, kResultUnexpectedText, 9},
          Case{{20007, "Error: SDO abort"}, ok, kResultUnexpectedText, 9},
          Case{{20007, ""}, ok, 20007, 9}, Case{ok, {20008, "5"}, 20008, 9},
          Case{ok, {0, ""}, kResultEmptyReply, 9}, Case{ok, {0, "Error"}, kResultNotANumber, 9},
          Case{ok, {0, "\t5"}, kResultNotANumber, 9}, Case{ok, {0, "1.9"}, 0, 1},
          Case{ok, {0, "-1.5"}, 0, -1}, Case{ok, {0, "-0.9"}, 0, 0},
          Case{ok, {0, "2147483520"}, 0, 2147483520}, Case{ok, {0, "-2147483648"}, 0, INT32_MIN},
          Case{ok, {0, "2147483648"}, 0, INT32_MAX}, Case{ok, {0, "1e10"}, 0, INT32_MAX},
          Case{ok, {0, "-1e10"}, 0, INT32_MIN}, Case{ok, {0, "-1e999"}, 0, INT32_MIN}}) {
        SCOPED_TRACE(c.sdo.reply + "|" + c.table.reply);
        controller() = {};
        controller().replies[kSdoRead5] = c.sdo;
        controller().replies["?TABLE(0) "] = c.table;
        int32_t word = 9;
        EXPECT_EQ(ReadDriveStatusWord(g_controllerHandle, 5, &word), c.result);
        EXPECT_EQ(word, c.word);
        const bool sdoFailed = c.sdo.status != 0 || !c.sdo.reply.empty();
        EXPECT_EQ(controller().Commands().size(), sdoFailed ? 1u : 2u);
    }
    EXPECT_EQ(TableValueToStatusWord(std::numeric_limits<float>::quiet_NaN()), INT32_MIN);
    EXPECT_EQ(TableValueToStatusWord(-std::numeric_limits<float>::quiet_NaN()), INT32_MIN);
}

using TableReadTest = ControllerTest;

// 0, 1, ... count - 1 and kUntouched up to size.
std::vector<float> Ramp(int count, int size) {
    std::vector<float> values(static_cast<std::size_t>(size), kUntouched);
    for (int i = 0; i < count; ++i) values[static_cast<std::size_t>(i)] = float(i);
    return values;
}

// Every entry replies with its own number, so a value in the wrong place shows.
TEST_F(TableReadTest, AsksForAtMost15EntriesPerCommand) {
    for (const int count : {1, 15, 16, 31}) {
        SCOPED_TRACE(count);
        controller() = {};
        std::vector<std::string> expected;
        for (int first = 0; first < count; first += 15) {
            const int chunk = std::min(15, count - first);
            std::string reply;
            for (int i = first; i < first + chunk; ++i) reply += std::to_string(i) + " ";
            expected.push_back(TableCommand(first, chunk));
            controller().replies[expected.back()] = {0, reply + "\r\n"};
        }
        std::vector<float> values(static_cast<std::size_t>(count) + 1, kUntouched);
        EXPECT_EQ(ReadTableValues(g_controllerHandle, count, values.data()), 0);
        EXPECT_EQ(controller().Commands(), expected);
        EXPECT_EQ(values, Ramp(count, count + 1));
    }
    // A failing last chunk keeps what the earlier ones stored.
    for (const auto& [last, result] : {std::pair{fake::Response{20010, ""}, 20010},
                                       std::pair{fake::Response{0, "abc"}, kResultNotANumber}}) {
        controller().replies[TableCommand(30, 1)] = last;
        std::vector<float> values(32, kUntouched);
        EXPECT_EQ(ReadTableValues(g_controllerHandle, 31, values.data()), result);
        EXPECT_EQ(values, Ramp(30, 32));
    }
    EXPECT_EQ(ReadTableValues(g_controllerHandle, 1, nullptr), kResultBadArgument);
    EXPECT_EQ(TableCommand(0, 2), "?TABLE(0) TABLE(1) ");
}

}  // namespace
}  // namespace pelvane::testing
