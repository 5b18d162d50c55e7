// The raw link on a veth pair of the test's own, in a network namespace of its own, so
// that no frame leaves it. Skipped where namespaces cannot be made (no CAP_SYS_ADMIN).
#include "ecat/raw_link.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <cstdlib>

namespace kestrum::ecat {
namespace {

constexpr const char* kPort = "pvtest0";

bool OwnVethPair() {
    // The namespace first: every command after it runs inside.
    if (unshare(CLONE_NEWNET) != 0) return false;
    return std::system(
               "ip link add pvtest0 type veth peer name pvtest1 && "
               "ip link set pvtest0 up && ip link set pvtest1 up") == 0;
}

// Memberships show in the device's count, not in the flags an ioctl gives.
bool Promiscuous() {
    return std::system("ip -d link show pvtest0 | grep -q 'promiscuity 1'") == 0;
}

TEST(RawLink, HearsEveryAddressWhileOpenAndFollowsAShrunkMtu) {
    if (!OwnVethPair()) GTEST_SKIP() << "no network namespace of our own";
    std::string error;
    auto link = RawLink::Open(kPort, &error);
    ASSERT_TRUE(link) << error;
    EXPECT_TRUE(Promiscuous());
    EXPECT_EQ(link->MaxFrameBytes(), kMaxFrameBytes);

    ASSERT_EQ(std::system("ip link set pvtest0 mtu 600"), 0);
    std::vector<uint8_t> frame(kMaxFrameBytes, 0);
    frame[12] = 0x88;
    frame[13] = 0xA4;
    EXPECT_FALSE(link->Send(frame));
    EXPECT_EQ(link->MaxFrameBytes(), 614u);
    frame.resize(614);
    EXPECT_TRUE(link->Send(frame));

    link.reset();
    EXPECT_FALSE(Promiscuous());  // the membership went with the socket
}

}  // namespace
}  // namespace kestrum::ecat
