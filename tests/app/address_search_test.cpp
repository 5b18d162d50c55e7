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

TEST(SearchReplyTokens, BlanksSeparateAddresses) {
    EXPECT_EQ(SearchReplyTokens("127.0.0.2 127.0.0.3"), (Tokens{"127.0.0.2", "127.0.0.3"}));
    // The extra blank of two is skipped.
    EXPECT_EQ(SearchReplyTokens("127.0.0.2  127.0.0.3 "), (Tokens{"127.0.0.2", "127.0.0.3"}));
    EXPECT_EQ(SearchReplyTokens(""), Tokens{});
    EXPECT_EQ(SearchReplyTokens("   "), Tokens{});
    EXPECT_EQ(SearchReplyTokens(nullptr), Tokens{});
}

TEST(SearchReplyTokens, AtMostTwentyAreExamined) {
    const Tokens tokens = SearchReplyTokens(Addresses(25).c_str());
    ASSERT_EQ(tokens.size(), 20u);
    EXPECT_EQ(tokens.front(), "127.0.1.1");
    EXPECT_EQ(tokens.back(), "127.0.1.20");
}

TEST(SearchReplyTokens, OtherWhiteSpaceFollowsTheOldScanRules) {
    // A line break is no separator for the scan: what follows it is passed over...
    EXPECT_EQ(SearchReplyTokens("127.0.0.2\n127.0.0.3"), (Tokens{"127.0.0.2"}));
    // ...unless a blank comes first; then the reader skips the line break.
    EXPECT_EQ(SearchReplyTokens("127.0.0.2 \n127.0.0.3"), (Tokens{"127.0.0.2", "127.0.0.3"}));
    // A blank after the line break has the scan read the address twice.
    EXPECT_EQ(SearchReplyTokens("127.0.0.2 \n 127.0.0.3"),
              (Tokens{"127.0.0.2", "127.0.0.3", "127.0.0.3"}));
    // The scan stops at a tab and never gets past it: every later pass reads the address
    // after the tab, and nothing behind that one is seen.
    const Tokens afterTab = SearchReplyTokens("127.0.0.2\t127.0.0.3 127.0.0.4");
    ASSERT_EQ(afterTab.size(), 20u);
    EXPECT_EQ(afterTab[0], "127.0.0.2");
    for (size_t i = 1; i < afterTab.size(); ++i) EXPECT_EQ(afterTab[i], "127.0.0.3");
    EXPECT_EQ(NewAddresses({}, "127.0.0.2\t127.0.0.3 127.0.0.4"),
              (QStringList{"127.0.0.2", "127.0.0.3"}));
}

TEST(SearchReplyTokens, LongTokensAreCut) {
    const std::string longToken(300, '7');
    const Tokens tokens = SearchReplyTokens((longToken + " 127.0.0.2").c_str());
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[0], std::string(255, '7'));
    EXPECT_EQ(tokens[1], "127.0.0.2");
}

TEST(NewAddresses, AnEntryThatBeginsWithTheAddressKeepsItOut) {
    const QStringList preset{"192.168.0.11"};
    EXPECT_EQ(NewAddresses(preset, "192.168.0.1"), QStringList{});
    EXPECT_EQ(NewAddresses(preset, "192.168.0.11"), QStringList{});
    EXPECT_EQ(NewAddresses(preset, "192.168"), QStringList{});
    // The other way round is a new address.
    EXPECT_EQ(NewAddresses(preset, "192.168.0.111"), QStringList{"192.168.0.111"});
    EXPECT_EQ(NewAddresses({"Controller-A"}, "controller"), QStringList{});
}

TEST(NewAddresses, CountsWhatTheSameReplyAddedBefore) {
    EXPECT_EQ(NewAddresses({}, "127.0.0.3 127.0.0.2 127.0.0.3"),
              (QStringList{"127.0.0.3", "127.0.0.2"}));
    // Order matters: once 127.0.0.21 is in, 127.0.0.2 is its beginning and stays out.
    EXPECT_EQ(NewAddresses({}, "127.0.0.21 127.0.0.2"), QStringList{"127.0.0.21"});
    EXPECT_EQ(NewAddresses({}, "127.0.0.2 127.0.0.21"), (QStringList{"127.0.0.2", "127.0.0.21"}));
}

TEST(NewAddresses, AtMostTwentyAreAdded) {
    const QStringList added = NewAddresses({"192.168.0.11"}, Addresses(21).c_str());
    EXPECT_EQ(added.size(), 20);
    EXPECT_FALSE(added.contains("127.0.1.21"));
    // Repeats use up passes too.
    EXPECT_EQ(NewAddresses({}, ("127.0.0.9 127.0.0.9 " + Addresses(19)).c_str()).size(), 19);
}

}  // namespace
}  // namespace pelvane
