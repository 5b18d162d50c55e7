#include "app/address_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace pelvane {
namespace {

std::string Addresses(int count) {
    std::string reply;
    for (int i = 1; i <= count; ++i) reply += "127.0.1." + std::to_string(i) + " ";
    return reply;
}

TEST(NewAddresses, AnEntryThatBeginsWithTheAddressKeepsItOut) {
    const ui::StringList preset{"192.168.0.11"};
    EXPECT_EQ(NewAddresses(preset, "192.168.0.1"), ui::StringList{});
    EXPECT_EQ(NewAddresses(preset, "192.168.0.11"), ui::StringList{});
    // The other way round is a new address.
    EXPECT_EQ(NewAddresses(preset, "192.168.0.111"), ui::StringList{"192.168.0.111"});
    EXPECT_EQ(NewAddresses({"Controller-A"}, "controller"), ui::StringList{});
    // What the same reply added before counts, so order matters.
    EXPECT_EQ(NewAddresses({}, "127.0.0.3 127.0.0.2 127.0.0.3"),
              (ui::StringList{"127.0.0.3", "127.0.0.2"}));
    EXPECT_EQ(NewAddresses({}, "127.0.0.21 127.0.0.2"), ui::StringList{"127.0.0.21"});
    EXPECT_EQ(NewAddresses({}, "127.0.0.2 127.0.0.21"),
              (ui::StringList{"127.0.0.2", "127.0.0.21"}));
    EXPECT_EQ(NewAddresses({}, "127.0.0.2\t127.0.0.3 127.0.0.4"),
              (ui::StringList{"127.0.0.2", "127.0.0.3"}));
}

TEST(NewAddresses, AtMostTwentyAreAddedAndRepeatsUseUpPasses) {
    const ui::StringList added = NewAddresses({"192.168.0.11"}, Addresses(21).c_str());
    EXPECT_EQ(added.size(), 20u);
    EXPECT_EQ(std::count(added.begin(), added.end(), "127.0.1.21"), 0);
    EXPECT_EQ(NewAddresses({}, ("127.0.0.9 127.0.0.9 " + Addresses(19)).c_str()).size(), 19u);
}

}  // namespace
}  // namespace pelvane
