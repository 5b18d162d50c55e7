// Discovery: every simulator on the network answers a broadcast probe, from the
// address it serves links on. Binds the well-known port, so it runs alone.
#include <set>
#include <string>

#include "loopback_only.h"
#include "sim_client.h"

namespace simtest {
namespace {

struct Answer {
    std::string from;
    uint32_t nonce;
};

class Prober {
  public:
    Prober() {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        inet_pton(AF_INET, "127.0.0.1", &local.sin_addr);
        bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    ~Prober() { ::close(fd_); }

    void Send(const std::string& to, const unsigned char* data, std::size_t size) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(kestrum::wire::kPort);
        inet_pton(AF_INET, to.c_str(), &addr.sin_addr);
        sendto(fd_, data, size, 0, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    void Probe(const std::string& to, uint32_t nonce) {
        auto probe = kestrum::wire::EncodeProbe(nonce);
        Send(to, probe.data(), probe.size());
    }
    // Answers arriving within the window; anything that is not an answer fails.
    std::vector<Answer> Collect(Ms window = 300ms) {
        std::vector<Answer> answers;
        auto end = std::chrono::steady_clock::now() + window;
        while (true) {
            auto left = std::chrono::duration_cast<Ms>(end - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left <= 0ms || poll(&p, 1, static_cast<int>(left.count())) <= 0) return answers;
            unsigned char buf[64];
            sockaddr_in from{};
            socklen_t len = sizeof from;
            auto n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            auto nonce = kestrum::wire::DecodeAnswer(buf, n < 0 ? 0 : static_cast<std::size_t>(n));
            EXPECT_TRUE(nonce);
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
            answers.push_back({std::string(text) + ":" + std::to_string(ntohs(from.sin_port)),
                               nonce.value_or(0)});
        }
    }

  private:
    int fd_ = -1;
};

std::unique_ptr<kestrum::sim::Simulator> StartAt(const std::string& address) {
    kestrum::sim::SimulatorOptions options;
    options.address = address;
    auto sim = std::make_unique<kestrum::sim::Simulator>(LoadBus("demo.json"), options);
    std::string error;
    EXPECT_TRUE(sim->Start(&error)) << error;
    return sim;
}

TEST(Discovery, EverySimulatorAnswersABroadcastFromItsOwnAddress) {
    PELVANE_REQUIRE_PRIVATE_NETWORK();
    auto a = StartAt("127.0.0.2");
    auto b = StartAt("127.0.0.3");
    Prober prober;
    prober.Probe("127.255.255.255", 0xA1B2C3D4u);
    auto answers = prober.Collect();
    std::set<std::string> from;
    for (const auto& answer : answers) {
        EXPECT_EQ(answer.nonce, 0xA1B2C3D4u);
        from.insert(answer.from);
    }
    EXPECT_EQ(answers.size(), 2u);
    EXPECT_EQ(from, (std::set<std::string>{"127.0.0.2:17180", "127.0.0.3:17180"}));

    // A probe to one address gets one answer.
    prober.Probe("127.0.0.3", 7);
    answers = prober.Collect();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].from, "127.0.0.3:17180");
    EXPECT_EQ(answers[0].nonce, 7u);

    // Anything else on the port is ignored, and the simulators keep answering.
    const unsigned char wrongVersion[8] = {'K', 'S', 2, 0, 1, 0, 0, 0};
    const unsigned char tooLong[9] = {'K', 'S', 1, 0, 1, 0, 0, 0, 0};
    const unsigned char answer[8] = {'K', 'A', 1, 0, 1, 0, 0, 0};
    prober.Send("127.255.255.255", wrongVersion, sizeof wrongVersion);
    prober.Send("127.255.255.255", tooLong, sizeof tooLong);
    prober.Send("127.0.0.2", answer, sizeof answer);
    EXPECT_TRUE(prober.Collect(150ms).empty());
    prober.Probe("127.255.255.255", 8);
    EXPECT_EQ(prober.Collect().size(), 2u);

    // A stopped simulator no longer answers; the other still does.
    a->Stop();
    prober.Probe("127.255.255.255", 9);
    answers = prober.Collect();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].from, "127.0.0.3:17180");
}

TEST(Discovery, CanBeSwitchedOff) {
    PELVANE_REQUIRE_PRIVATE_NETWORK();
    kestrum::sim::SimulatorOptions options;
    options.address = "127.0.0.4";
    options.discovery = false;
    kestrum::sim::Simulator sim(LoadBus("demo.json"), options);
    ASSERT_TRUE(sim.Start());
    Prober prober;
    prober.Probe("127.255.255.255", 1);
    prober.Probe("127.0.0.4", 2);
    EXPECT_TRUE(prober.Collect(200ms).empty());
}

}  // namespace
}  // namespace simtest
