// Discovery: every simulator on the network answers a broadcast probe, from the
// address it serves links on. Binds the well-known port, so it runs alone.
#include <set>
#include <string>

#include "tests/sim/sim_client.h"
#include "tests/support/loopback_only.h"

namespace kestrum::sim::testing {
namespace {

class Prober {
  public:
    Prober() {
        int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        sockaddr_in local = At("127.0.0.1", 0);
        bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    ~Prober() { ::close(fd_); }

    void Send(const std::string& to, const unsigned char* data, std::size_t size) {
        sockaddr_in addr = At(to, wire::kPort);
        sendto(fd_, data, size, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    void Probe(const std::string& to, uint32_t nonce) {
        auto probe = wire::EncodeProbe(nonce);
        Send(to, probe.data(), probe.size());
    }
    // "address:port" of each answer within the window, all of which must carry nonce.
    std::multiset<std::string> Collect(uint32_t nonce, Ms window = 300ms) {
        std::multiset<std::string> from;
        auto end = Clock::now() + window;
        for (Ms left = window; left > 0ms;
             left = std::chrono::duration_cast<Ms>(end - Clock::now())) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            unsigned char buf[64];
            sockaddr_in addr{};
            socklen_t len = sizeof addr;
            auto n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&addr), &len);
            EXPECT_EQ(wire::DecodeAnswer(buf, n < 0 ? 0 : static_cast<std::size_t>(n)), nonce);
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
            from.insert(std::string(text) + ":" + std::to_string(ntohs(addr.sin_port)));
        }
        return from;
    }

  private:
    static sockaddr_in At(const std::string& address, uint16_t port) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
        return addr;
    }
    int fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
};

std::unique_ptr<kestrum::sim::Simulator> StartAt(const std::string& address, bool discovery) {
    kestrum::sim::SimulatorOptions options;
    options.address = address;
    options.discovery = discovery;
    auto sim = std::make_unique<kestrum::sim::Simulator>(LoadBus("demo.json"), options);
    std::string error;
    EXPECT_TRUE(sim->server().Start(&error)) << error;
    return sim;
}

TEST(Discovery, EverySimulatorAnswersABroadcastFromItsOwnAddress) {
    PELVANE_REQUIRE_PRIVATE_NETWORK();
    using Set = std::multiset<std::string>;
    const std::string broadcast = "127.255.255.255";
    auto a = StartAt("127.0.0.2", true);
    auto b = StartAt("127.0.0.3", true);
    auto silent = StartAt("127.0.0.4", false);
    Prober prober;
    prober.Probe(broadcast, 0xA1B2C3D4u);
    EXPECT_EQ(prober.Collect(0xA1B2C3D4u), (Set{"127.0.0.2:17180", "127.0.0.3:17180"}));

    // A probe to one address gets one answer; one with discovery off gets none.
    prober.Probe("127.0.0.3", 7);
    EXPECT_EQ(prober.Collect(7), Set{"127.0.0.3:17180"});
    prober.Probe("127.0.0.4", 8);
    EXPECT_EQ(prober.Collect(8, 150ms), Set{});

    // Anything else on the port is ignored, and the simulators keep answering.
    const unsigned char wrongVersion[8] = {'K', 'S', 2, 0, 1, 0, 0, 0};
    const unsigned char tooLong[9] = {'K', 'S', 1, 0, 1, 0, 0, 0, 0};
    const unsigned char answer[8] = {'K', 'A', 1, 0, 1, 0, 0, 0};
    prober.Send(broadcast, wrongVersion, sizeof wrongVersion);
    prober.Send(broadcast, tooLong, sizeof tooLong);
    prober.Send("127.0.0.2", answer, sizeof answer);
    EXPECT_EQ(prober.Collect(0, 150ms), Set{});
    prober.Probe(broadcast, 9);
    EXPECT_EQ(prober.Collect(9).size(), 2u);

    // A stopped simulator no longer answers; the other still does.
    a->server().Stop();
    prober.Probe(broadcast, 10);
    EXPECT_EQ(prober.Collect(10), Set{"127.0.0.3:17180"});
}

}  // namespace
}  // namespace kestrum::sim::testing
