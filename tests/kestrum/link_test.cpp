// Opening links, running commands and the reply buffer contract.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "kestrum.h"
#include "tests/kestrum/sim_fixture.h"

namespace kestrum::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

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
#ifndef _WIN32
    EXPECT_EQ(sim_->server().ReceivedCommands(),
              (std::vector<std::string>{"?CONTROL", "?NODE_COUNT(0)", gbk, longest}));
#endif

    for (int i = 0; i < 500; ++i) {
        const bool even = i % 2 == 0;
        ASSERT_EQ(Execute(even ? "?NODE_COUNT(0)" : "?CONTROL", &printed), 0) << i;
        ASSERT_EQ(printed, even ? "3\r\n" : "KSM464\r\n") << i;
    }
}

// Refused calls send nothing, leave the link in step and still empty the reply.
TEST_F(RoundTrip, CommandsThatCannotTravelAreRefusedUnsent) {
    const std::string tooLong(2048, 'A');
    for (const char* command : {tooLong.c_str(), "?CONTROL\r\n", "?CONTROL\n?NODE_COUNT(0)", "a\rb",
                                (const char*)nullptr}) {
        char reply[32] = "garbage";
        EXPECT_EQ(KST_Execute(handle_, command, 1000, reply, sizeof reply),
                  command != nullptr ? KST_ERR_BAD_COMMAND : KST_ERR_INVALID_ARGUMENT);
        EXPECT_STREQ(reply, "");
    }
    char reply[32] = "garbage";
    EXPECT_EQ(KST_Execute(handle_, "?CONTROL", 1000, nullptr, 32), KST_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KST_Execute(handle_, "?CONTROL", 1000, reply, 0), KST_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(reply[0], 'g');  // no room, so nothing written
#ifndef _WIN32
    EXPECT_TRUE(sim_->server().ReceivedCommands().empty());
#endif
    std::string printed;
    EXPECT_EQ(Execute("?NODE_COUNT(0)", &printed), 0);
    EXPECT_EQ(printed, "3\r\n");
}

using ReplyBuffer = SimLinkTest;

// Cut to the capacity or at a NUL byte, always terminated, nothing written past it.
TEST_F(ReplyBuffer, TextIsCutToCapacityAndAlwaysTerminated) {
    ASSERT_EQ(Execute("@SIM ODD ?SERIAL_NUMBER LONG"), 0);
    ASSERT_EQ(Execute("@SIM ODD ?NODE_COUNT BINARY"), 0);
    ASSERT_EQ(Execute("@SIM ODD ?VERSION_DATE EMPTY"), 0);
    struct Case {
        const char* command;
        uint32_t capacity;
        std::string start;  // of the text written
        std::size_t length;
    };
    for (const Case& c :
         {Case{"?CONTROL", 4, "KSM", 3}, Case{"?CONTROL", 1, "", 0},
          Case{"?CONTROL", 8, "KSM464\r", 7}, Case{"?SERIAL_NUMBER", 2048, "00000001 ", 2047},
          Case{"?NODE_COUNT(0)", 2048, "\xff\xfe", 2}, Case{"?VERSION_DATE", 2048, "", 0}}) {
        SCOPED_TRACE(::testing::Message() << c.command << " " << c.capacity);
        std::vector<char> reply(c.capacity + 1, '#');
        EXPECT_EQ(KST_DirectCommand(handle_, c.command, reply.data(), c.capacity), 0);
        EXPECT_EQ(std::strlen(reply.data()), c.length);
        EXPECT_EQ(std::string(reply.data()).substr(0, c.start.size()), c.start);
        EXPECT_EQ(reply[c.capacity], '#');
    }
}

using Handles = SimLinkTest;

TEST_F(Handles, ClosedUnknownAndNullHandlesAreRefused) {
    KST_HANDLE closed = handle_;
    ASSERT_EQ(KST_Close(closed), 0);
    // A new link gets a new handle, so a stale copy of the old one cannot reach it.
    ASSERT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, address_.c_str(), 500, &handle_), 0);
    EXPECT_NE(handle_, closed);
    char reply[16];
    for (KST_HANDLE h : {closed, KST_HANDLE{nullptr}, reinterpret_cast<KST_HANDLE>(uintptr_t{8}),
                         reinterpret_cast<KST_HANDLE>(reply)}) {
        std::strcpy(reply, "garbage");
        EXPECT_EQ(KST_Execute(h, "?CONTROL", 100, reply, sizeof reply), KST_ERR_BAD_HANDLE);
        EXPECT_STREQ(reply, "");
        EXPECT_EQ(KST_DirectCommand(h, "?CONTROL", reply, sizeof reply), KST_ERR_BAD_HANDLE);
        EXPECT_EQ(KST_SetTimeOut(h, 100), KST_ERR_BAD_HANDLE);
        EXPECT_EQ(KST_Close(h), KST_ERR_BAD_HANDLE);
    }
#ifndef _WIN32
    // The closed link's connection is gone too.
    const auto until = Clock::now() + milliseconds(2000);
    while (sim_->server().OpenLinks() != 1 && Clock::now() < until)
        std::this_thread::sleep_for(milliseconds(5));
    EXPECT_EQ(sim_->server().OpenLinks(), 1u);
#endif
    EXPECT_EQ(Execute("?CONTROL"), 0);
}

TEST_F(Handles, CloseWakesACallBlockedOnAnotherThread) {
    ASSERT_EQ(Execute("@SIM STALL 3000"), 0);
    int32_t status = 0;
    const auto start = Clock::now();
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

// The handle is written only on success, and a bad address is refused before any
// connect attempt.
TEST(Open, BadAddressesAndNothingListeningAreRefused) {
    const std::string tooLong = "127.0.0.1" + std::string(250, ' ');
    const std::string unused = BlockAddress(254);
    const KST_HANDLE untouched = reinterpret_cast<KST_HANDLE>(uintptr_t{0x5A5A});
#ifndef _WIN32
    const std::size_t before = ConnectAttempts();
#endif
    for (const char* address :
         {"", "192.168.0", "1.2.3.4.5", "localhost", " 127.0.0.1", "127.0.0.1 ", "127.0.0.256",
          "127.0.0.01", "127.1", "0x7f.0.0.1", "127.0.0.-1", "127..0.1", "127.0.0.1.",
          "\xef\xbc\x91\x32\x37.0.0.1", "127.0.0.1\n", tooLong.c_str(), unused.c_str()}) {
        SCOPED_TRACE(::testing::Message() << '"' << address << '"');
        const bool listed = address == unused.c_str();
        KST_HANDLE handle = untouched;
        const auto start = Clock::now();
        EXPECT_EQ(KST_FastOpen(KST_TYPE_ETHERNET, address, 500, &handle),
                  listed ? KST_ERR_CONNECT_REFUSED : KST_ERR_BAD_ADDRESS);
        EXPECT_LT(Clock::now() - start, milliseconds(listed ? 400 : 50));
        EXPECT_EQ(handle, untouched);
    }
#ifndef _WIN32
    // The one connect is the refused one's.
    EXPECT_EQ(ConnectAttempts(), before + 1);
    EXPECT_EQ(RefusedNonLoopbackConnects(), 0u);
#endif
}

// Links opened and closed on several threads at once, at times with none left open between:
// on Windows each of those times ends Winsock and the next open starts it again.
TEST(Open, LinksOpenedAndClosedOnManyThreadsAtOnceAllWork) {
    std::string address;
    auto sim = MakeSimulator(address);
    std::string error;
    ASSERT_TRUE(sim->server().Start(&error)) << error;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                KST_HANDLE handle = nullptr;
                char reply[16];
                if (KST_FastOpen(KST_TYPE_ETHERNET, address.c_str(), 1000, &handle) != 0 ||
                    KST_Execute(handle, "?CONTROL", 1000, reply, sizeof reply) != 0 ||
                    std::strcmp(reply, "KSM464\r\n") != 0 || KST_Close(handle) != 0)
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace kestrum::testing
