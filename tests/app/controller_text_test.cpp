#include "controller_text.h"
#include "gbk_text.h"

#include <gtest/gtest.h>

namespace pelvane {
namespace {

TEST(ControllerText, GbkIsDecodedAndFieldsEndAtTheirZeroOrTheirSize) {
    // 控制器 and 伺服 in code page 936.
    EXPECT_EQ(FromGbk("\xBF\xD8\xD6\xC6\xC6\xF7"), u"控制器"_qs);
    EXPECT_EQ(FromGbk("KSM\xCB\xC5\xB7\xFE-2"), u"KSM伺服-2"_qs);
    const char field[8] = {'A', 'B', '\0', 'C', 'D', 'E', 'F', 'G'};
    EXPECT_EQ(DecodeControllerField(field, sizeof field), "AB");
    const char full[4] = {'W', 'X', 'Y', 'Z'};
    EXPECT_EQ(DecodeControllerField(full, sizeof full), "WXYZ");
}

TEST(ControllerText, PlaceholdersInTheIdentityStayAsTheyAre) {
    EXPECT_EQ(FormatIdentityLine("%2", "%3", "%1"), u"软件型号：%2  软件版本：%3  控制器ID：%1"_qs);
}

TEST(ControllerText, AddressesAreCutTo254BytesNeverInsideACharacter) {
    EXPECT_EQ(AddressForOpen(QString(300, QLatin1Char('1'))), std::string(254, '1'));
    EXPECT_EQ(AddressForOpen(QString(253, QLatin1Char('1')) + u"控"_qs), std::string(253, '1'));
    EXPECT_EQ(AddressForOpen(QString(252, QLatin1Char('1')) + u"控"_qs),
              std::string(252, '1') + "\xBF\xD8");
}

}  // namespace
}  // namespace pelvane
