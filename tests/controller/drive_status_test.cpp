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

class StatusWordTest : public ControllerTest {};

TEST_F(StatusWordTest, SdoReadThenTableReadOnTheGivenHandle) {
    controller().Reply(kSdoRead5, "");
    controller().Reply("?TABLE(0) ", "4663\r\n");
    int32_t word = 0;
    EXPECT_EQ(ReadDriveStatusWord(fake::Handle(0x77), 5, &word), 0);
    EXPECT_EQ(word, 4663);

    const auto& calls = controller().Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].function, Function::Execute);
    EXPECT_EQ(calls[0].command, kSdoRead5);
    EXPECT_EQ(calls[0].timeoutMs, std::optional<uint32_t>(1000));
    EXPECT_EQ(calls[1].function, Function::DirectCommand);
    EXPECT_EQ(calls[1].command, "?TABLE(0) ");
    EXPECT_EQ(calls[1].timeoutMs, std::nullopt);
    for (const fake::Call& call : calls) EXPECT_EQ(call.handle, fake::Handle(0x77));
}

TEST_F(StatusWordTest, NodeIsLimitedTo128AsAnUnsignedNumber) {
    controller().SetDefault(fake::Response{0, "1"});
    controller().Reply("SDO_READ(0,128,24641,0,7,0)", "");
    int32_t word = 9;
    EXPECT_EQ(ReadDriveStatusWord(g_controllerHandle, 128, &word), 0);
    EXPECT_EQ(word, 1);
    EXPECT_EQ(controller().Calls().size(), 2u);

    controller().Reset();
    for (const int32_t node : {129, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(ReadDriveStatusWord(g_controllerHandle, node, &word), kResultBadArgument) << node;
    }
    EXPECT_EQ(ReadDriveStatusWord(g_controllerHandle, 0, nullptr), kResultBadArgument);
    EXPECT_TRUE(controller().Calls().empty());
    EXPECT_EQ(word, 1);
}

TEST_F(StatusWordTest, TextFromSdoReadWinsOverItsStatus) {
    int32_t word = 9;
    for (const int32_t status : {0, 20007}) {
        controller().Reset();
        controller().Reply(kSdoRead5, "Error: SDO abort", status);
        EXPECT_EQ(ReadDriveStatusWord(g_controllerHandle, 5, &word), kResultUnexpectedText);
        EXPECT_EQ(controller().Commands(), std::vector<std::string>{kSdoRead5});
    }
    controller().Reset();
    controller().Reply(kSdoRead5, "", 20007);
    EXPECT_EQ(ReadDriveStatusWord(g_controllerHandle, 5, &word), 20007);
    EXPECT_EQ(controller().Commands().size(), 1u);
    EXPECT_EQ(word, 9);
}

TEST_F(StatusWordTest, FailedTableReadKeepsTheOutput) {
    struct Case {
        fake::Response table;
        int32_t expected;
    };
    for (const Case& c : {Case{{20008, "5"}, 20008}, Case{{0, ""}, kResultEmptyReply},
                          Case{{0, "Error"}, kResultNotANumber}, Case{{0, "-"}, kResultNotANumber},
                          Case{{0, "\t5"}, kResultNotANumber}}) {
        controller().Reset();
        controller().Reply("?TABLE(0) ", c.table);
        int32_t word = 9;
        EXPECT_EQ(ReadDriveStatusWord(g_controllerHandle, 5, &word), c.expected) << c.table.reply;
        EXPECT_EQ(word, 9);
    }
}

TEST_F(StatusWordTest, TableValueIsTruncatedAndSaturated) {
    struct Case {
        const char* reply;
        int32_t expected;
    };
    for (const Case& c :
         {Case{"1.9", 1}, Case{"-1.5", -1}, Case{"-0.9", 0}, Case{"65535", 65535}, Case{"-1", -1},
          Case{"2147483520", 2147483520}, Case{"-2147483648", INT32_MIN},
          Case{"2147483648", INT32_MAX}, Case{"1e10", INT32_MAX}, Case{"-1e10", INT32_MIN},
          Case{"1e999", INT32_MAX}, Case{"-1e999", INT32_MIN}}) {
        controller().Reset();
        controller().Reply("?TABLE(0) ", c.reply);
        int32_t word = 9;
        EXPECT_EQ(ReadDriveStatusWord(g_controllerHandle, 5, &word), 0) << c.reply;
        EXPECT_EQ(word, c.expected) << c.reply;
    }
    EXPECT_EQ(TableValueToStatusWord(std::numeric_limits<float>::quiet_NaN()), INT32_MIN);
    EXPECT_EQ(TableValueToStatusWord(-std::numeric_limits<float>::quiet_NaN()), INT32_MIN);
}

class TableReadTest : public ControllerTest {};

// Every entry replies with its own number, so a value in the wrong place shows.
TEST_F(TableReadTest, AsksForAtMost15EntriesPerCommand) {
    for (const int count : {1, 15, 16, 31}) {
        SCOPED_TRACE(count);
        controller().Reset();
        std::vector<std::string> expected;
        for (int first = 0; first < count; first += 15) {
            const int chunk = std::min(15, count - first);
            std::string reply;
            for (int i = first; i < first + chunk; ++i) reply += std::to_string(i) + " ";
            expected.push_back(TableCommand(first, chunk));
            controller().Reply(expected.back(), reply + "\r\n");
        }
        std::vector<float> values(static_cast<std::size_t>(count) + 1, kUntouched);
        EXPECT_EQ(ReadTableValues(g_controllerHandle, count, values.data()), 0);
        EXPECT_EQ(controller().Commands(), expected);
        for (int i = 0; i < count; ++i) EXPECT_EQ(values[static_cast<std::size_t>(i)], float(i));
        EXPECT_EQ(values.back(), kUntouched);
        for (const fake::Call& call : controller().Calls()) {
            EXPECT_EQ(call.function, Function::DirectCommand);
        }
    }
    EXPECT_EQ(TableCommand(0, 1), "?TABLE(0) ");
}

TEST_F(TableReadTest, LaterFailureKeepsEarlierValues) {
    std::string first;
    for (int i = 0; i < 15; ++i) first += "1.5 ";
    controller().Reply(TableCommand(0, 15), first);
    controller().Reply(TableCommand(15, 2), "", 20010);
    std::vector<float> values(17, kUntouched);
    EXPECT_EQ(ReadTableValues(g_controllerHandle, 17, values.data()), 20010);
    for (int i = 0; i < 15; ++i) EXPECT_EQ(values[static_cast<std::size_t>(i)], 1.5f);
    EXPECT_EQ(values[15], kUntouched);
    EXPECT_EQ(values[16], kUntouched);

    controller().Reply(TableCommand(15, 2), "abc");
    EXPECT_EQ(ReadTableValues(g_controllerHandle, 17, values.data()), kResultNotANumber);
    EXPECT_EQ(ReadTableValues(g_controllerHandle, 1, nullptr), kResultBadArgument);
}

struct ParseCase {
    const char* text;
    int32_t count;
    int32_t result;
    std::vector<float> values;  // kUntouched where the place must keep its value
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << '"' << c.text << "\" count " << c.count;
}

class ParseNumbersTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumbersTest, StoresWhatTheTextHolds) {
    const ParseCase& c = GetParam();
    std::vector<float> values(c.values.size(), kUntouched);
    EXPECT_EQ(ParseNumbers(c.text, c.count, values.data()), c.result);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (std::isnan(c.values[i])) {
            EXPECT_TRUE(std::isnan(values[i])) << i;
        } else {
            EXPECT_EQ(values[i], c.values[i]) << i;
            EXPECT_EQ(std::signbit(values[i]), std::signbit(c.values[i])) << i;
        }
    }
}

constexpr float kInf = std::numeric_limits<float>::infinity();
const std::string kTiny = "0." + std::string(400, '0') + "1";
const std::string kHuge = "1" + std::string(400, '0') + "e-5";
const std::string kLong = std::string(1000, '9') + ".5";

INSTANTIATE_TEST_SUITE_P(
    Replies, ParseNumbersTest,
    ::testing::Values(
        // What the controller prints, and where parsing stops without an error.
        ParseCase{"12\r\n", 1, 0, {12.0f}}, ParseCase{"  7 8", 2, 0, {7.0f, 8.0f}},
        ParseCase{"1\t 2", 2, 0, {1.0f, 2.0f}}, ParseCase{"1 2", 3, 0, {1.0f, 2.0f, kUntouched}},
        ParseCase{"3,rest", 2, 0, {3.0f, kUntouched}},
        ParseCase{"1\r\n2", 2, 0, {1.0f, kUntouched}},
        ParseCase{"1 x 3", 3, 0, {1.0f, kUntouched, kUntouched}},
        ParseCase{"0x10", 2, 0, {0.0f, kUntouched}}, ParseCase{"5", 0, 0, {kUntouched}},
        // The first character decides, and a lone minus sign is not a number.
        ParseCase{"\t7", 1, 30001, {kUntouched}}, ParseCase{"+7", 1, 30001, {kUntouched}},
        ParseCase{".5", 1, 30001, {kUntouched}}, ParseCase{"", 1, 30001, {kUntouched}},
        ParseCase{"   ", 1, 30001, {kUntouched}}, ParseCase{"-", 1, 30001, {kUntouched}},
        ParseCase{"1 -", 2, 30001, {1.0f, kUntouched}}, ParseCase{"--1", 1, 30001, {kUntouched}},
        ParseCase{"-.", 1, 30001, {kUntouched}}, ParseCase{"-inf", 1, 30001, {kUntouched}},
        ParseCase{"1 -nan", 2, 30001, {1.0f, kUntouched}}, ParseCase{"x", 0, 30001, {kUntouched}},
        // The decimal grammar.
        ParseCase{"-3.25", 1, 0, {-3.25f}}, ParseCase{"-.5", 1, 0, {-0.5f}},
        ParseCase{"2.", 1, 0, {2.0f}}, ParseCase{"1e5", 1, 0, {1e5f}},
        ParseCase{"1.5e-3", 1, 0, {1.5e-3f}}, ParseCase{"2E+2", 1, 0, {200.0f}},
        ParseCase{"1e 2", 2, 0, {1.0f, kUntouched}}, ParseCase{"-0", 1, 0, {-0.0f}},
        ParseCase{"0.1", 1, 0, {0.1f}},
        // Rounded once to the nearest float: through double this would tie down to 1.
        ParseCase{"1.00000005960464477539062500001", 1, 0, {0x1.000002p0f}},
        ParseCase{"16777217", 1, 0, {16777216.0f}}, ParseCase{"1e-40", 1, 0, {1e-40f}},
        // Beyond float and double.
        ParseCase{"3.4028235e38", 1, 0, {FLT_MAX}}, ParseCase{"3.40282356e38", 1, 0, {FLT_MAX}},
        ParseCase{"3.4028236e38", 1, 0, {kInf}}, ParseCase{"-1e39", 1, 0, {-kInf}},
        ParseCase{"1e400 -1e400", 2, 0, {kInf, -kInf}},
        ParseCase{"1e-400 -1e-400", 2, 0, {0.0f, -0.0f}}, ParseCase{"1e-50", 1, 0, {0.0f}},
        ParseCase{kTiny.c_str(), 1, 0, {0.0f}}, ParseCase{kHuge.c_str(), 1, 0, {kInf}},
        ParseCase{kLong.c_str(), 1, 0, {kInf}},
        ParseCase{"1e99999999999999999999999 7", 2, 0, {kInf, 7.0f}}));

TEST(ParseNumbersArgumentsTest, MissingPlacesAreRefused) {
    float value = kUntouched;
    EXPECT_EQ(ParseNumbers(nullptr, 1, &value), kResultNotANumber);
    EXPECT_EQ(ParseNumbers("1", 1, nullptr), kResultBadArgument);
    EXPECT_EQ(value, kUntouched);
}

// Qt sets the process locale from the environment; a comma as decimal point must not
// change how replies are read.
TEST(LocaleTest, CommaDecimalLocaleChangesNothing) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const char* chosen = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "ru_RU.UTF-8",
                             "nl_NL.UTF-8", "it_IT.UTF-8", "es_ES.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            chosen = name;
            break;
        }
    }
    if (chosen == nullptr || std::strcmp(std::localeconv()->decimal_point, ",") != 0) {
        std::setlocale(LC_ALL, saved.c_str());
        GTEST_SKIP() << "no comma-decimal locale is installed";
    }
    float values[3] = {kUntouched, kUntouched, kUntouched};
    const int32_t result = ParseNumbers("1.5 2,5 -3e1", 3, values);
    int32_t integer = 0;
    const bool scanned = ScanInteger("  -1.234", &integer);
    std::setlocale(LC_ALL, saved.c_str());

    EXPECT_EQ(result, 0) << chosen;
    EXPECT_EQ(values[0], 1.5f);
    EXPECT_EQ(values[1], 2.0f);
    EXPECT_EQ(values[2], kUntouched);
    EXPECT_TRUE(scanned);
    EXPECT_EQ(integer, -1);
}

}  // namespace
}  // namespace pelvane::testing
