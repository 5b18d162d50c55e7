#include "controller/gbk.h"

#include <gtest/gtest.h>

namespace pelvane {
namespace {

// 控制器 and 伺服 in code page 936.
constexpr const char* kController = "\xBF\xD8\xD6\xC6\xC6\xF7";

TEST(Gbk, DecodesAndMarksEachBadByteThenGoesOn) {
    EXPECT_EQ(GbkToUtf8(kController), "控制器");
    EXPECT_EQ(GbkToUtf8("KSM\xCB\xC5\xB7\xFE-2"), "KSM伺服-2");
    EXPECT_EQ(GbkToUtf8("A\xFF"
                        "B"),
              "A\xEF\xBF\xBD"
              "B");
    // A lead byte cut off at the end.
    EXPECT_EQ(GbkToUtf8("AB\xBF"), "AB\xEF\xBF\xBD");
}

TEST(Gbk, EncodesWhatGbkHoldsAndAQuestionMarkForEachCharacterItDoesNot) {
    EXPECT_EQ(Utf8ToGbk("控制器"), kController);
    EXPECT_EQ(Utf8ToGbk("127.0.0.1"), "127.0.0.1");
    // U+1F600 is four UTF-8 bytes and not in GBK; a stray continuation byte is not UTF-8.
    EXPECT_EQ(Utf8ToGbk("A\xF0\x9F\x98\x80"
                        "B"),
              "A?B");
    EXPECT_EQ(Utf8ToGbk("A\x80"
                        "B控"),
              "A?B\xBF\xD8");
}

TEST(Gbk, ControllerFieldsEndAtTheirZeroOrTheirSize) {
    const char field[8] = {'A', 'B', '\0', 'C', 'D', 'E', 'F', 'G'};
    EXPECT_EQ(DecodeControllerField(field, sizeof field), "AB");
    const char full[4] = {'W', 'X', 'Y', 'Z'};
    EXPECT_EQ(DecodeControllerField(full, sizeof full), "WXYZ");
    const char gbk[5] = {'\xCB', '\xC5', '\xB7', '\xFE', '\0'};
    EXPECT_EQ(DecodeControllerField(gbk, sizeof gbk), "伺服");
}

}  // namespace
}  // namespace pelvane
