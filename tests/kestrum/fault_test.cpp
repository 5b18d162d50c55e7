// A controller that falls silent, drops the link or sends frames we cannot accept.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "kestrum.h"
#include "sim_fixture.h"

namespace kestrum::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// --- a reply that does not come in time -------------------------------------

using Overdue = SimLinkTest;

TEST_F(Overdue, OneTimeOutThenInstantFailuresThenRecovery) {
    ASSERT_EQ(Execute("@SIM STALL 1500"), 0);
    auto stalled = Clock::now();

    auto start = Clock::now();
    EXPECT_EQ(Execute("?CONTROL", nullptr, 300), KST_ERR_TIMEOUT);
    EXPECT_GE(Since(start), milliseconds(290));
    EXPECT_LT(Since(start), milliseconds(1000));

    // Nothing more goes out while that reply is owed, and nobody waits for it.
    start = Clock::now();
    char reply[32] = "garbage";
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(KST_Execute(handle_, "?NODE_COUNT(0)", 1000, reply, sizeof reply),
                  KST_ERR_REPLY_OVERDUE);
        EXPECT_EQ(KST_DirectCommand(handle_, "?NODE_COUNT(0)", reply, sizeof reply),
                  KST_ERR_REPLY_OVERDUE);
    }
    EXPECT_LT(Since(start), milliseconds(200));
    EXPECT_STREQ(reply, "");

    // Once the stall is over, the late "?CONTROL" reply is dropped, not handed out.
    std::this_thread::sleep_until(stalled + milliseconds(1500 + 300));
    std::string printed;
    EXPECT_EQ(Execute("?NODE_COUNT(0)", &printed), 0);
    EXPECT_EQ(printed, "3\r\n");
    EXPECT_EQ(Execute("?CONTROL", &printed), 0);
    EXPECT_EQ(printed, "KSM464\r\n");
    EXPECT_EQ(sim_->ReceivedCommands(), (std::vector<std::string>{"@SIM STALL 1500", "?CONTROL",
                                                                  "?NODE_COUNT(0)", "?CONTROL"}));
}

TEST_F(Overdue, ZeroAndDirectCommandsWaitForTheHandleTimeOut) {
    KST_HANDLE fresh = nullptr;  // never told a time-out: 1000 ms
    ASSERT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, address_.c_str(), 500, &fresh), 0);
    ASSERT_EQ(KST_SetTimeOut(handle_, 200), 0);
    ASSERT_EQ(Execute("@SIM STALL 3000"), 0);

    char reply[16];
    auto start = Clock::now();
    EXPECT_EQ(KST_Execute(handle_, "?CONTROL", 0, reply, sizeof reply), KST_ERR_TIMEOUT);
    EXPECT_GE(Since(start), milliseconds(190));
    EXPECT_LT(Since(start), milliseconds(900));

    start = Clock::now();
    EXPECT_EQ(KST_DirectCommand(fresh, "?CONTROL", reply, sizeof reply), KST_ERR_TIMEOUT);
    EXPECT_GE(Since(start), milliseconds(990));
    EXPECT_LT(Since(start), milliseconds(2000));
    KST_Close(fresh);
}

// --- a connection that ends ---------------------------------------------------

using LinkLoss = SimLinkTest;

TEST_F(LinkLoss, DroppedLinkFailsThisAndEveryLaterCallAtOnce) {
    char reply[16] = "garbage";
    auto start = Clock::now();
    EXPECT_EQ(KST_Execute(handle_, "@SIM DROP_LINK", 1000, reply, sizeof reply),
              KST_ERR_LINK_CLOSED);
    EXPECT_STREQ(reply, "");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(KST_DirectCommand(handle_, "?CONTROL", reply, sizeof reply), KST_ERR_LINK_CLOSED);
    EXPECT_LT(Since(start), milliseconds(500));
    EXPECT_EQ(KST_Close(handle_), 0);
    handle_ = nullptr;
}

TEST_F(LinkLoss, ReplyCutShortIsALostLink) {
    ASSERT_EQ(Execute("@SIM LINK CUT"), 0);
    EXPECT_EQ(Execute("?*ETHERCAT"), KST_ERR_LINK_CLOSED);
    EXPECT_EQ(Execute("?CONTROL"), KST_ERR_LINK_CLOSED);
}

// --- frames we cannot accept --------------------------------------------------

using Malformed = SimLinkTest;

TEST_F(Malformed, WrongSeqOrOversizeBreaksTheLinkForGood) {
    for (const char* fault : {"@SIM LINK WRONG_SEQ", "@SIM LINK OVERSIZE"}) {
        KST_HANDLE link = nullptr;
        ASSERT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, address_.c_str(), 500, &link), 0);
        char reply[64];
        ASSERT_EQ(KST_Execute(link, fault, 1000, reply, sizeof reply), 0) << fault;
        auto start = Clock::now();
        EXPECT_EQ(KST_Execute(link, "?CONTROL", 1000, reply, sizeof reply), KST_ERR_MALFORMED_REPLY)
            << fault;
        EXPECT_STREQ(reply, "");
        EXPECT_EQ(KST_Execute(link, "?CONTROL", 1000, reply, sizeof reply), KST_ERR_MALFORMED_REPLY)
            << fault;
        EXPECT_LT(Since(start), milliseconds(500)) << fault;
        EXPECT_EQ(KST_Close(link), 0);
    }
    // We hang up on a peer that breaks the protocol.
    auto until = Clock::now() + milliseconds(2000);
    while (sim_->OpenLinks() > 1 && Clock::now() < until)
        std::this_thread::sleep_for(milliseconds(5));
    EXPECT_EQ(sim_->OpenLinks(), 1u);
    EXPECT_EQ(Execute("?CONTROL"), 0);
}

TEST_F(Malformed, ByteByByteRepliesArePutTogether) {
    ASSERT_EQ(Execute("@SIM LINK BYTEWISE 1"), 0);
    ASSERT_EQ(Execute("@SIM ODD ?VERSION_DATE LONG"), 0);
    for (int i = 0; i < 3; ++i) {
        std::string printed;
        EXPECT_EQ(Execute("?*ETHERCAT", &printed), 0);
        EXPECT_NE(printed.find("Lostcount:"), std::string::npos);
        EXPECT_EQ(Execute("?NODE_COUNT(0)", &printed), 0);
        EXPECT_EQ(printed, "3\r\n");
    }
    std::string printed;
    EXPECT_EQ(Execute("?VERSION_DATE", &printed, 5000), 0);
    EXPECT_GT(printed.size(), 2048u);
    EXPECT_EQ(printed.substr(printed.size() - 3), "#\r\n");
}

}  // namespace
}  // namespace kestrum::testing
