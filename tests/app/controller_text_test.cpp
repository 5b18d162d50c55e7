#include "app/controller_text.h"

#include <gtest/gtest.h>

#include <string>

namespace pelvane {
namespace {

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
