#include "address_search.h"

#include <gtest/gtest.h>

#include <string>

namespace pelvane {
namespace {

std::string Addresses(int count) {
    std::string reply;
    for (int i = 1; i <= count; ++i) reply += "127.0.1." + std::to_string(i) + " ";
    return reply;
}

TEST(NewAddresses, AnEntryThatBeginsWithTheAddressKeepsItOut) {
    const QStringList preset{"192.168.0.11"};
    EXPECT_EQ(NewAddresses(preset, "192.168.0.1"), QStringList{});
    EXPECT_EQ(NewAddresses(preset, "192.168.0.11"), QStringList{});
    // The other way round is a new address.
    EXPECT_EQ(NewAddresses(preset, "192.168.0.111"), QStringList{"192.168.0.111"});
    EXPECT_EQ(NewAddresses({"Controller-A"}, "controller"), QStringList{});
    // What the same reply added before counts, so order matters.
    EXPECT_EQ(NewAddresses({}, "127.0.0.3 127.0.0.2 127.0.0.3"),
              (QStringList{"127.0.0.3", "127.0.0.2"}));
    EXPECT_EQ(NewAddresses({}, "127.0.0.21 127.0.0.2"), QStringList{"127.0.0.21"});
    EXPECT_EQ(NewAddresses({}, "127.0.0.2 127.0.0.21"), (QStringList{"127.0.0.2", "127.0.0.21"}));
    EXPECT_EQ(NewAddresses({}, "127.0.0.2\t127.0.0.3 127.0.0.4"),
              (QStringList{"127.0.0.2", "127.0.0.3"}));
}

TEST(NewAddresses, AtMostTwentyAreAddedAndRepeatsUseUpPasses) {
    const QStringList added = NewAddresses({"192.168.0.11"}, Addresses(21).c_str());
    EXPECT_EQ(added.size(), 20);
    EXPECT_FALSE(added.contains("127.0.1.21"));
    EXPECT_EQ(NewAddresses({}, ("127.0.0.9 127.0.0.9 " + Addresses(19)).c_str()).size(), 19);
}

}  // namespace
}  // namespace pelvane
