#include "address_search.h"

#include <gtest/gtest.h>

#include <string>

namespace pelvane {
namespace {

using Tokens = std::vector<std::string>;

std::string Addresses(int count) {
    std::string reply;
    for (int i = 1; i <= count; ++i) reply += "127.0.1." + std::to_string(i) + " ";
    return reply;
}

TEST(SearchReplyTokens, FollowTheOldScanRules) {
    const std::pair<const char*, Tokens> cases[] = {
        {"127.0.0.2 127.0.0.3", {"127.0.0.2", "127.0.0.3"}},
        // The extra blank of two is skipped.
        {"127.0.0.2  127.0.0.3 ", {"127.0.0.2", "127.0.0.3"}},
        {"   ", {}},
        // A line break is no separator for the scan: what follows it is passed over...
        {"127.0.0.2\n127.0.0.3", {"127.0.0.2"}},
        // ...unless a blank comes first; then the reader skips the line break.
        {"127.0.0.2 \n127.0.0.3", {"127.0.0.2", "127.0.0.3"}},
        // A blank after the line break has the scan read the address twice.
        {"127.0.0.2 \n 127.0.0.3", {"127.0.0.2", "127.0.0.3", "127.0.0.3"}}};
    for (const auto& [reply, tokens] : cases) EXPECT_EQ(SearchReplyTokens(reply), tokens) << reply;
    EXPECT_EQ(SearchReplyTokens(nullptr), Tokens{});

    // At most twenty are examined, each cut to 255 bytes.
    const Tokens twenty = SearchReplyTokens(Addresses(25).c_str());
    ASSERT_EQ(twenty.size(), 20u);
    EXPECT_EQ(twenty.back(), "127.0.1.20");
    EXPECT_EQ(SearchReplyTokens((std::string(300, '7') + " 1").c_str()),
              (Tokens{std::string(255, '7'), "1"}));
    // The scan stops at a tab and never gets past it: every later pass reads the address
    // after the tab.
    const Tokens afterTab = SearchReplyTokens("127.0.0.2\t127.0.0.3 127.0.0.4");
    ASSERT_EQ(afterTab.size(), 20u);
    EXPECT_EQ(afterTab[0], "127.0.0.2");
    EXPECT_EQ(std::count(afterTab.begin(), afterTab.end(), "127.0.0.3"), 19);
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
