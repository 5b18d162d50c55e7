#include "controller/search_reply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

namespace pelvane {
namespace {

using Tokens = std::vector<std::string>;

Tokens Read(const char* reply) {
    return SearchReplyTokens(reply, kMaxSearchTokens);
}

std::string Addresses(int count) {
    std::string reply;
    for (int i = 1; i <= count; ++i) reply += "127.0.1." + std::to_string(i) + " ";
    return reply;
}

TEST(SearchReplyTokens, FollowTheScanRules) {
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
    for (const auto& [reply, tokens] : cases) EXPECT_EQ(Read(reply), tokens) << reply;
    EXPECT_EQ(Read(nullptr), Tokens{});

    // At most twenty are examined, each cut to 255 bytes.
    const Tokens twenty = Read(Addresses(25).c_str());
    ASSERT_EQ(twenty.size(), 20u);
    EXPECT_EQ(twenty.back(), "127.0.1.20");
    EXPECT_EQ(Read((std::string(300, '7') + " 1").c_str()), (Tokens{std::string(255, '7'), "1"}));
    // The scan stops at a tab and never gets past it: every later pass reads the address
    // after the tab.
    const Tokens afterTab = Read("127.0.0.2\t127.0.0.3 127.0.0.4");
    ASSERT_EQ(afterTab.size(), 20u);
    EXPECT_EQ(afterTab[0], "127.0.0.2");
    EXPECT_EQ(std::count(afterTab.begin(), afterTab.end(), "127.0.0.3"), 19);
}

TEST(SearchReplyTokens, AWiderBoundReadsTheWholeReply) {
    const Tokens all = SearchReplyTokens(Addresses(1000).c_str(), 5000);
    ASSERT_EQ(all.size(), 1000u);
    EXPECT_EQ(all.back(), "127.0.1.1000");
}

}  // namespace
}  // namespace pelvane
