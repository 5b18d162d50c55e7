// A controller that falls silent, drops the link or sends frames we cannot accept.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "kestrum.h"
#include "kestrum/wire/wire.h"
#include "tests/kestrum/sim_fixture.h"

namespace kestrum::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

using Overdue = SimLinkTest;

TEST_F(Overdue, OneTimeOutThenInstantFailuresThenRecovery) {
    ASSERT_EQ(Execute("@SIM STALL 1500"), 0);
    const auto stalled = Clock::now();
    char reply[32] = "garbage";
    EXPECT_EQ(KST_Execute(handle_, "?CONTROL", 300, reply, sizeof reply), KST_ERR_TIMEOUT);
    EXPECT_GE(Since(stalled), milliseconds(290));
    EXPECT_LT(Since(stalled), milliseconds(1000));
    EXPECT_STREQ(reply, "");

    // Nothing more goes out while that reply is owed, and nobody waits for it.
    const auto start = Clock::now();
    for (int i = 0; i < 20; ++i) {
        std::strcpy(reply, "garbage");
        EXPECT_EQ(KST_Execute(handle_, "?NODE_COUNT(0)", 1000, reply, sizeof reply),
                  KST_ERR_REPLY_OVERDUE);
        EXPECT_EQ(KST_DirectCommand(handle_, "?NODE_COUNT(0)", reply, sizeof reply),
                  KST_ERR_REPLY_OVERDUE);
        EXPECT_STREQ(reply, "");
    }
    EXPECT_LT(Since(start), milliseconds(200));

    // Once the stall is over, the late "?CONTROL" reply is dropped, not handed out.
    std::this_thread::sleep_until(stalled + milliseconds(1500 + 300));
    std::string printed;
    EXPECT_EQ(Execute("?NODE_COUNT(0)", &printed), 0);
    EXPECT_EQ(printed, "3\r\n");
    EXPECT_EQ(Execute("?CONTROL", &printed), 0);
    EXPECT_EQ(printed, "KSM464\r\n");
#ifndef _WIN32
    EXPECT_EQ(
        sim_->server().ReceivedCommands(),
        (std::vector<std::string>{"@SIM STALL 1500", "?CONTROL", "?NODE_COUNT(0)", "?CONTROL"}));
#endif
}

// Execute given 0 waits for the time-out set on the handle; DirectCommand on a handle
// never told one waits 1000 ms.
TEST_F(Overdue, ZeroAndDirectCommandsWaitForTheHandleTimeOut) {
    KST_HANDLE fresh = nullptr;
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

using LinkFault = SimLinkTest;

// Each fault breaks its own link for good, at once, and leaves the others alone.
TEST_F(LinkFault, BrokenLinksFailEveryLaterCallAtOnce) {
    struct Case {
        const char* fault;
        int32_t faultStatus;  // of the command that sets the fault up
        int32_t later;
    };
    for (const Case& c : {Case{"@SIM DROP_LINK", KST_ERR_LINK_CLOSED, KST_ERR_LINK_CLOSED},
                          Case{"@SIM LINK CUT", 0, KST_ERR_LINK_CLOSED},
                          Case{"@SIM LINK WRONG_SEQ", 0, KST_ERR_MALFORMED_REPLY},
                          Case{"@SIM LINK OVERSIZE", 0, KST_ERR_MALFORMED_REPLY}}) {
        SCOPED_TRACE(c.fault);
        KST_HANDLE link = nullptr;
        ASSERT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, address_.c_str(), 500, &link), 0);
        char reply[64];
        EXPECT_EQ(KST_Execute(link, c.fault, 1000, reply, sizeof reply), c.faultStatus);
        const auto start = Clock::now();
        for (int i = 0; i < 3; ++i) {
            std::strcpy(reply, "garbage");
            EXPECT_EQ(KST_DirectCommand(link, "?CONTROL", reply, sizeof reply), c.later);
            EXPECT_STREQ(reply, "");
        }
        EXPECT_LT(Since(start), milliseconds(500));
        EXPECT_EQ(KST_Close(link), 0);
        EXPECT_EQ(Execute("?CONTROL"), 0);
    }
#ifndef _WIN32
    // We hang up on a peer that breaks the protocol.
    const auto until = Clock::now() + milliseconds(2000);
    while (sim_->server().OpenLinks() > 1 && Clock::now() < until)
        std::this_thread::sleep_for(milliseconds(5));
    EXPECT_EQ(sim_->server().OpenLinks(), 1u);
#endif
}

#ifndef _WIN32
// A peer that takes the request and resets the connection instead of replying.
TEST(LinkReset, ResetByThePeerIsAClosedLink) {
    const std::string address = BlockAddress(253);
    sockaddr_in at{AF_INET, htons(wire::kPort), {}, {}};
    inet_pton(AF_INET, address.c_str(), &at.sin_addr);
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    std::thread peer([listener] {
        const int fd = accept(listener, nullptr, nullptr);
        char request[256];
        const linger reset{1, 0};
        if (recv(fd, request, sizeof request, 0) > 0)
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        close(fd);
    });
    KST_HANDLE link = nullptr;
    ASSERT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, address.c_str(), 500, &link), 0);
    char reply[16];
    EXPECT_EQ(KST_Execute(link, "?CONTROL", 1000, reply, sizeof reply), KST_ERR_LINK_CLOSED);
    EXPECT_EQ(KST_Execute(link, "?CONTROL", 1000, reply, sizeof reply), KST_ERR_LINK_CLOSED);
    peer.join();
    KST_Close(link);
    close(listener);
}
#endif

TEST_F(LinkFault, ByteByByteRepliesArePutTogether) {
    ASSERT_EQ(Execute("@SIM LINK BYTEWISE 1"), 0);
    ASSERT_EQ(Execute("@SIM ODD ?VERSION_DATE LONG"), 0);
    std::string printed;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Execute("?*ETHERCAT", &printed), 0);
        EXPECT_NE(printed.find("Lostcount:"), std::string::npos);
        EXPECT_EQ(Execute("?NODE_COUNT(0)", &printed), 0);
        EXPECT_EQ(printed, "3\r\n");
    }
    EXPECT_EQ(Execute("?VERSION_DATE", &printed, 5000), 0);
    EXPECT_GT(printed.size(), 2048u);
    EXPECT_EQ(printed.substr(printed.size() - 3), "#\r\n");
}

}  // namespace
}  // namespace kestrum::testing
