#include "controller/reply_scan.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "controller/result_codes.h"

namespace pelvane::testing {
namespace {

constexpr float kUntouched = -777.0f;

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
    for (const char* name :
         {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8", "German_Germany.1252"}) {
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
