// Finding controllers by broadcast; runs alone, since it sees every simulator.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kestrum.h"
#include "kestrum/wire/wire.h"
#include "tests/support/loopback_only.h"
#ifdef _WIN32
#include "tests/support/remote_simulator.h"
#else
#include "kestrum_sim/simulator.h"
#endif

namespace kestrum::testing {
namespace {

#ifdef _WIN32
// scripts/windows.sh starts simulators with an empty bus on 127.0.0.2 and 127.0.0.3 that
// answer searches, and for the other tests ones that do not.
std::unique_ptr<pelvane::testing::RemoteSimulator> StartSim(const std::string& address) {
    auto simulator = std::make_unique<pelvane::testing::RemoteSimulator>(address);
    std::string error;
    EXPECT_TRUE(simulator->Start(&error)) << error;
    return simulator;
}
#else
std::unique_ptr<sim::Simulator> StartSim(const std::string& address) {
    sim::SimulatorOptions options;
    options.address = address;
    auto simulator = std::make_unique<sim::Simulator>(sim::Bus{}, options);
    std::string error;
    EXPECT_TRUE(simulator->server().Start(&error)) << error;
    return simulator;
}

TEST(Search, NobodyAnsweringIsAnEmptySuccessAfterTheWholeTime) {
    PELVANE_REQUIRE_PRIVATE_NETWORK();
    char none[64];
    std::memset(none, '#', sizeof none);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(KST_SearchEth(none, sizeof none, 150), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_STREQ(none, "");
    EXPECT_GE(took, std::chrono::milliseconds(140));
    EXPECT_LT(took, std::chrono::milliseconds(1000));
}
#endif

TEST(Search, FindsEachRunningControllerOnce) {
    PELVANE_REQUIRE_PRIVATE_NETWORK();
    char none[64];
    EXPECT_EQ(KST_SearchEth(nullptr, 64, 10), KST_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(KST_SearchEth(none, 0, 10), KST_ERR_INVALID_ARGUMENT);

    auto a = StartSim("127.0.0.2");
    auto b = StartSim("127.0.0.3");
    std::vector<char> found(10230, '#');
    ASSERT_EQ(KST_SearchEth(found.data(), 10230, 300), 0);
    const std::string text(found.data());
    EXPECT_TRUE(text == "127.0.0.2 127.0.0.3" || text == "127.0.0.3 127.0.0.2") << text;

    // Room for one address and its terminator, not for a blank and half of the other.
    std::vector<char> tiny(16, '#');
    ASSERT_EQ(KST_SearchEth(tiny.data(), 14, 300), 0);
    std::string one(tiny.data());
    EXPECT_TRUE(one == "127.0.0.2" || one == "127.0.0.3") << one;
    EXPECT_EQ(tiny[14], '#');
    ASSERT_EQ(KST_SearchEth(none, 9, 200), 0);  // no room for even one
    EXPECT_STREQ(none, "");
}

#ifndef _WIN32
int UdpSocket(const char* address, uint16_t port, bool shared) {
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int one = 1;
    if (shared) {
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
    }
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    inet_pton(AF_INET, address, &at.sin_addr);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at), 0) << address;
    return fd;
}

// Answers one probe badly: with a wrong nonce from 127.0.0.4, and twice from 127.0.0.5.
TEST(Search, WrongNoncesAndRepeatsAreIgnored) {
    PELVANE_REQUIRE_PRIVATE_NETWORK();
    int listener = UdpSocket("127.255.255.255", wire::kPort, true);
    int liar = UdpSocket("127.0.0.4", 0, false);
    int echo = UdpSocket("127.0.0.5", 0, false);
    std::thread answerer([&] {
        pollfd p{listener, POLLIN, 0};
        if (poll(&p, 1, 2000) != 1) return;
        unsigned char probe[16];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n =
            recvfrom(listener, probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&from), &len);
        auto nonce = wire::DecodeProbe(probe, n > 0 ? static_cast<std::size_t>(n) : 0);
        if (!nonce) return;
        auto wrong = wire::EncodeAnswer(*nonce + 1);
        auto right = wire::EncodeAnswer(*nonce);
        auto* to = reinterpret_cast<sockaddr*>(&from);
        sendto(liar, wrong.data(), wrong.size(), 0, to, len);
        sendto(echo, right.data(), right.size(), 0, to, len);
        sendto(echo, right.data(), right.size(), 0, to, len);
        sendto(echo, right.data(), right.size() - 1, 0, to, len);
    });
    char found[64];
    EXPECT_EQ(KST_SearchEth(found, sizeof found, 300), 0);
    answerer.join();
    EXPECT_STREQ(found, "127.0.0.5");
    close(listener);
    close(liar);
    close(echo);
}
#endif

}  // namespace
}  // namespace kestrum::testing
