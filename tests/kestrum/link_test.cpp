// Opening links, running commands and the reply buffer contract.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "connect_guard.h"
#include "kestrum.h"
#include "sim_fixture.h"

namespace kestrum::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// --- round trip and what the controller receives ---------------------------

using RoundTrip = SimLinkTest;

TEST_F(RoundTrip, RepliesReachTheirCommandsAndCommandsArriveUnchanged) {
    std::string printed;
    EXPECT_EQ(Execute("?CONTROL", &printed), 0);
    EXPECT_EQ(printed, "KSM464\r\n");

    char reply[64];
    EXPECT_EQ(KST_DirectCommand(handle_, "?NODE_COUNT(0)", reply, sizeof reply), 0);
    EXPECT_STREQ(reply, "3\r\n");

    // 8-bit text travels byte for byte; the longest command that fits travels whole.
    const std::string gbk = "?\xb2\xe2\xca\xd4 \x80\xff";
    const std::string longest(2047, 'A');
    EXPECT_EQ(Execute(gbk), 2001);  // the controller's own error code, passed through
    EXPECT_EQ(Execute(longest, &printed), 2001);
    EXPECT_NE(printed.find("2001"), std::string::npos);

    EXPECT_EQ(sim_->ReceivedCommands(),
              (std::vector<std::string>{"?CONTROL", "?NODE_COUNT(0)", gbk, longest}));
}

TEST_F(RoundTrip, CommandsThatCannotTravelAreRefusedUnsent) {
    EXPECT_EQ(Execute(std::string(2048, 'A')), KST_ERR_BAD_COMMAND);
    EXPECT_EQ(Execute("?CONTROL\r\n"), KST_ERR_BAD_COMMAND);
    EXPECT_EQ(Execute("?CONTROL\n?NODE_COUNT(0)"), KST_ERR_BAD_COMMAND);
    char reply[16];
    EXPECT_EQ(KST_Execute(handle_, nullptr, 1000, reply, sizeof reply), KST_ERR_INVALID_ARGUMENT);
    EXPECT_TRUE(sim_->ReceivedCommands().empty());
    // The link is still in step afterwards.
    std::string printed;
    EXPECT_EQ(Execute("?NODE_COUNT(0)", &printed), 0);
    EXPECT_EQ(printed, "3\r\n");
}

TEST_F(RoundTrip, ManyCallsStayInStep) {
    for (int i = 0; i < 500; ++i) {
        std::string printed;
        const bool even = i % 2 == 0;
        ASSERT_EQ(Execute(even ? "?NODE_COUNT(0)" : "?CONTROL", &printed), 0) << i;
        ASSERT_EQ(printed, even ? "3\r\n" : "KSM464\r\n") << i;
    }
}

// --- the reply buffer -------------------------------------------------------

using ReplyBuffer = SimLinkTest;

TEST_F(ReplyBuffer, TextIsCutToCapacityAndAlwaysTerminated) {
    char reply[8];
    std::memset(reply, '#', sizeof reply);
    EXPECT_EQ(KST_Execute(handle_, "?CONTROL", 1000, reply, 4), 0);
    EXPECT_STREQ(reply, "KSM");
    EXPECT_EQ(reply[4], '#');  // nothing written past the capacity

    std::memset(reply, '#', sizeof reply);
    EXPECT_EQ(KST_Execute(handle_, "?CONTROL", 1000, reply, 1), 0);
    EXPECT_EQ(reply[0], '\0');
    EXPECT_EQ(reply[1], '#');

    // Exactly full: 6 letters, CR, LF, and no room for the terminator.
    std::memset(reply, '#', sizeof reply);
    EXPECT_EQ(KST_DirectCommand(handle_, "?CONTROL", reply, 8), 0);
    EXPECT_STREQ(reply, "KSM464\r");
}

TEST_F(ReplyBuffer, OddRepliesComeOutAsCText) {
    ASSERT_EQ(Execute("@SIM ODD ?CONTROL LONG"), 0);
    ASSERT_EQ(Execute("@SIM ODD ?NODE_COUNT BINARY"), 0);
    ASSERT_EQ(Execute("@SIM ODD ?VERSION_DATE EMPTY"), 0);
    std::vector<char> reply(2048, '#');
    EXPECT_EQ(KST_Execute(handle_, "?CONTROL", 1000, reply.data(), 2048), 0);
    EXPECT_EQ(std::strlen(reply.data()), 2047u);
    EXPECT_EQ(std::string(reply.data(), 7), "KSM464 ");

    EXPECT_EQ(KST_Execute(handle_, "?NODE_COUNT(0)", 1000, reply.data(), 2048), 0);
    EXPECT_STREQ(reply.data(), "\xff\xfe");  // ends at the NUL it printed

    std::memset(reply.data(), '#', reply.size());
    EXPECT_EQ(KST_Execute(handle_, "?VERSION_DATE", 1000, reply.data(), 2048), 0);
    EXPECT_STREQ(reply.data(), "");
}

TEST_F(ReplyBuffer, EmptiedBeforeAnyFailure) {
    char reply[32];
    auto garbage = [&] { std::memset(reply, 'G', sizeof reply); };

    garbage();
    EXPECT_EQ(KST_Execute(nullptr, "?CONTROL", 1000, reply, sizeof reply), KST_ERR_BAD_HANDLE);
    EXPECT_STREQ(reply, "");
    garbage();
    EXPECT_EQ(KST_DirectCommand(handle_, nullptr, reply, sizeof reply), KST_ERR_INVALID_ARGUMENT);
    EXPECT_STREQ(reply, "");
    garbage();
    EXPECT_EQ(KST_Execute(handle_, "a\rb", 1000, reply, sizeof reply), KST_ERR_BAD_COMMAND);
    EXPECT_STREQ(reply, "");
    garbage();
    ASSERT_EQ(Execute("@SIM STALL 400"), 0);
    EXPECT_EQ(KST_Execute(handle_, "?CONTROL", 50, reply, sizeof reply), KST_ERR_TIMEOUT);
    EXPECT_STREQ(reply, "");
    garbage();
    EXPECT_EQ(KST_DirectCommand(handle_, "?CONTROL", reply, sizeof reply), KST_ERR_REPLY_OVERDUE);
    EXPECT_STREQ(reply, "");
    // A null buffer or no room at all is refused before anything is sent.
    EXPECT_EQ(KST_Execute(handle_, "?CONTROL", 1000, nullptr, 32), KST_ERR_INVALID_ARGUMENT);
    garbage();
    EXPECT_EQ(KST_Execute(handle_, "?CONTROL", 1000, reply, 0), KST_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(reply[0], 'G');
}

// --- handles ----------------------------------------------------------------

using Handles = SimLinkTest;

TEST_F(Handles, ClosedUnknownAndNullHandlesAreRefused) {
    KST_HANDLE closed = handle_;
    ASSERT_EQ(KST_Close(closed), 0);
    handle_ = nullptr;
    char reply[16];
    for (KST_HANDLE h : {closed, KST_HANDLE{nullptr}, reinterpret_cast<KST_HANDLE>(uintptr_t{8}),
                         reinterpret_cast<KST_HANDLE>(reply)}) {
        EXPECT_EQ(KST_Execute(h, "?CONTROL", 100, reply, sizeof reply), KST_ERR_BAD_HANDLE);
        EXPECT_EQ(KST_DirectCommand(h, "?CONTROL", reply, sizeof reply), KST_ERR_BAD_HANDLE);
        EXPECT_EQ(KST_SetTimeOut(h, 100), KST_ERR_BAD_HANDLE);
        EXPECT_EQ(KST_Close(h), KST_ERR_BAD_HANDLE);
    }
    // The connection itself is gone too.
    auto until = Clock::now() + milliseconds(2000);
    while (sim_->OpenLinks() != 0 && Clock::now() < until)
        std::this_thread::sleep_for(milliseconds(5));
    EXPECT_EQ(sim_->OpenLinks(), 0u);
}

TEST_F(Handles, NewLinksGetNewHandlesAndStayIndependent) {
    KST_HANDLE second = nullptr;
    ASSERT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, address_.c_str(), 500, &second), 0);
    EXPECT_NE(second, handle_);
    ASSERT_EQ(KST_Close(second), 0);
    KST_HANDLE third = nullptr;
    ASSERT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, address_.c_str(), 500, &third), 0);
    EXPECT_NE(third, second);  // a stale copy of a closed handle must not reach the new link
    char reply[16];
    EXPECT_EQ(KST_Execute(second, "?CONTROL", 100, reply, sizeof reply), KST_ERR_BAD_HANDLE);

    // A broken link leaves the others alone.
    EXPECT_EQ(KST_Execute(third, "@SIM DROP_LINK", 1000, reply, sizeof reply), KST_ERR_LINK_CLOSED);
    EXPECT_EQ(Execute("?CONTROL"), 0);
    EXPECT_EQ(KST_Close(third), 0);
}

TEST_F(Handles, CloseWakesACallBlockedOnAnotherThread) {
    ASSERT_EQ(Execute("@SIM STALL 3000"), 0);
    int32_t status = 0;
    auto start = Clock::now();
    std::thread caller([&] {
        char reply[16];
        status = KST_Execute(handle_, "?CONTROL", 5000, reply, sizeof reply);
    });
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(KST_Close(handle_), 0);
    caller.join();
    handle_ = nullptr;
    EXPECT_EQ(status, KST_ERR_LINK_CLOSED);
    EXPECT_LT(Clock::now() - start, milliseconds(2000));
}

// --- opening ----------------------------------------------------------------

std::string UnusedAddress(int host) {
    return "127.0." + std::to_string(KESTRUM_TEST_ADDRESS_BLOCK) + "." + std::to_string(host);
}

TEST(Open, AnythingButStrictDottedIPv4IsRefusedWithoutConnecting) {
    const std::string tooLong = "127.0.0.1" + std::string(250, ' ');
    for (const char* address :
         {"", "192.168.0", "1.2.3.4.5", "localhost", " 127.0.0.1", "127.0.0.1 ", "127.0.0.256",
          "127.0.0.01", "127.1", "0x7f.0.0.1", "127.0.0.-1", "127..0.1", "127.0.0.1.",
          "\xef\xbc\x91\x32\x37.0.0.1", "127.0.0.1\n", tooLong.c_str()}) {
        const std::size_t before = ConnectAttempts();
        KST_HANDLE handle = reinterpret_cast<KST_HANDLE>(uintptr_t{0x5A5A});
        auto start = Clock::now();
        EXPECT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, address, 500, &handle), KST_ERR_BAD_ADDRESS)
            << '"' << address << '"';
        EXPECT_LT(Clock::now() - start, milliseconds(50));
        EXPECT_EQ(ConnectAttempts(), before) << '"' << address << '"';
        EXPECT_EQ(handle, reinterpret_cast<KST_HANDLE>(uintptr_t{0x5A5A}));
    }
}

TEST(Open, NothingListeningIsRefusedAndLeavesTheHandleAlone) {
    KST_HANDLE handle = reinterpret_cast<KST_HANDLE>(uintptr_t{0x5A5A});
    const std::size_t before = ConnectAttempts();
    auto start = Clock::now();
    EXPECT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, UnusedAddress(254).c_str(), 500, &handle),
              KST_ERR_CONNECT_REFUSED);
    EXPECT_LT(Clock::now() - start, milliseconds(400));
    EXPECT_EQ(ConnectAttempts(), before + 1);
    EXPECT_EQ(handle, reinterpret_cast<KST_HANDLE>(uintptr_t{0x5A5A}));
    EXPECT_EQ(RefusedNonLoopbackConnects(), 0u);
}

}  // namespace
}  // namespace kestrum::testing
