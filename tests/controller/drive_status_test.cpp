#include "drive_status.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "controller_fixture.h"
#include "queries.h"
#include "reply_scan.h"

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

TEST(ParseNumbersTest, StoresWhatTheTextHolds) {
    struct Case {
        std::string text;
        int32_t count;
        int32_t result;
        std::vector<float> values;  // kUntouched where the place must keep its value
    };
    constexpr float kInf = std::numeric_limits<float>::infinity();
    constexpr float kU = kUntouched;
    const std::string tinyHugeLong = "0." + std::string(400, '0') + "1 1" + std::string(400, '0') +
                                     "e-5 " + std::string(1000, '9') + ".5";
    const Case cases[] = {
        // What the controller prints, and where parsing stops without an error.
        Case{"12\r\n", 1, 0, {12}}, Case{"  7 8", 2, 0, {7, 8}}, Case{"1\t 2", 2, 0, {1, 2}},
        Case{"1 2", 3, 0, {1, 2, kU}}, Case{"3,rest", 2, 0, {3, kU}}, Case{"1\r\n2", 2, 0, {1, kU}},
        Case{"7 0x10", 2, 30001, {7, kU}}, Case{"1e 2", 2, 0, {1, kU}}, Case{"5", 0, 0, {kU}},
        Case{"1 -", 2, 30001, {1, kU}}, Case{"1 -nan", 2, 30001, {1, kU}},
        // The decimal grammar.
        Case{"-3.25 -.5 2. 1.5e-3 2E+2 -0", 6, 0, {-3.25f, -0.5f, 2, 1.5e-3f, 200, -0.0f}},
        // Rounded once to the nearest float: through double this would tie down to 1.
        Case{"1.00000005960464477539062500001", 1, 0, {0x1.000002p0f}},
        Case{"1e-40", 1, 0, {1e-40f}},
        // Beyond float and double.
        Case{"3.40282356e38 3.4028236e38 -1e39", 3, 0, {FLT_MAX, kInf, -kInf}},
        Case{"1e400 -1e400 1e-400 -1e-400 1e-50", 5, 0, {kInf, -kInf, 0, -0.0f, 0}},
        Case{tinyHugeLong, 3, 0, {0, kInf, kInf}},
        Case{"1e99999999999999999999999 7", 2, 0, {kInf, 7}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << '"' << c.text << "\" count " << c.count);
        std::vector<float> values(c.values.size(), kUntouched);
        EXPECT_EQ(ParseNumbers(c.text.c_str(), c.count, values.data()), c.result);
        for (std::size_t i = 0; i < values.size(); ++i) {
            EXPECT_EQ(values[i], c.values[i]) << i;
            EXPECT_EQ(std::signbit(values[i]), std::signbit(c.values[i])) << i;
        }
    }
    // The first character decides, and a lone minus sign is not a number.
    float value = kUntouched;
    for (const char* text :
         {"\t7", "+7", ".5", "", "   ", "-", "--1", "-.", "-inf", "nan", "0x10", "-0X1"}) {
        EXPECT_EQ(ParseNumbers(text, 1, &value), kResultNotANumber) << '"' << text << '"';
    }
    EXPECT_EQ(ParseNumbers(nullptr, 1, &value), kResultNotANumber);
    EXPECT_EQ(ParseNumbers("1", 1, nullptr), kResultBadArgument);
    EXPECT_EQ(value, kUntouched);
}

// Qt sets the process locale from the environment; a comma as decimal point must not
// change how replies are read.
TEST(LocaleTest, CommaDecimalLocaleChangesNothing) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) break;
    }
    if (std::strcmp(std::localeconv()->decimal_point, ",") != 0) {
        std::setlocale(LC_ALL, saved.c_str());
        GTEST_SKIP() << "no comma-decimal locale is installed";
    }
    std::vector<float> values(3, kUntouched);
    const int32_t result = ParseNumbers("1.5 2,5 -3e1", 3, values.data());
    int32_t integer = 0;
    const bool scanned = ScanInteger("  -1.234", &integer);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(result, 0);
    EXPECT_EQ(values, (std::vector<float>{1.5f, 2.0f, kUntouched}));
    EXPECT_TRUE(scanned);
    EXPECT_EQ(integer, -1);
}

}  // namespace
}  // namespace pelvane::testing
