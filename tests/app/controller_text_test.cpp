#include "app/controller_text.h"

#include <gtest/gtest.h>

#include <string>

namespace pelvane {
namespace {

TEST(ControllerText, FieldsEndAtTheirZeroOrTheirSize) {
    const char field[8] = {'A', 'B', '\0', 'C', 'D', 'E', 'F', 'G'};
    EXPECT_EQ(DecodeControllerField(field, sizeof field), "AB");
    const char full[4] = {'W', 'X', 'Y', 'Z'};
    EXPECT_EQ(DecodeControllerField(full, sizeof full), "WXYZ");
    const char gbk[5] = {'\xCB', '\xC5', '\xB7', '\xFE', '\0'};
    EXPECT_EQ(DecodeControllerField(gbk, sizeof gbk), "伺服");
}

TEST(ControllerText, PlaceholdersInTheIdentityStayAsTheyAre) {
    EXPECT_EQ(FormatIdentityLine("%2", "%3", "%1"), "软件型号：%2  软件版本：%3  控制器ID：%1");
}

TEST(ControllerText, AddressesAreCutTo254BytesNeverInsideACharacter) {
    EXPECT_EQ(AddressForOpen(std::string(300, '1')), std::string(254, '1'));
    EXPECT_EQ(AddressForOpen(std::string(253, '1') + "控"), std::string(253, '1'));
    EXPECT_EQ(AddressForOpen(std::string(252, '1') + "控"), std::string(252, '1') + "\xBF\xD8");
}

}  // namespace
}  // namespace pelvane
