// The link itself: frames cut anywhere, malformed requests, link faults seen at the
// byte level, several clients, a slow reader, idle links, bookkeeping and a prompt stop.
#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/sim/sim_client.h"

namespace kestrum::sim::testing {
namespace {

class Link : public SimTest {
  protected:
    // Sets a link fault on a new link, sends the command and returns all bytes that
    // came back before the link closed.
    std::string BytesUnder(const char* fault, const char* command) {
        auto client = Connect();
        EXPECT_EQ(client->Text(fault), "OK\r\n");
        client->Send(command);
        std::string bytes = client->ReadAll(2000ms);
        EXPECT_TRUE(client->closed()) << fault;
        return bytes;
    }
};

std::string Header(const char* magic, unsigned char kind, unsigned char reserved, uint32_t length) {
    unsigned char h[16] = {static_cast<unsigned char>(magic[0]),
                           static_cast<unsigned char>(magic[1]), kind, reserved};
    wire::PutU32(h + 4, 1);
    wire::PutU32(h + 8, 1000);
    wire::PutU32(h + 12, length);
    return std::string(reinterpret_cast<char*>(h), 16);
}

uint32_t PayloadLength(const std::string& frame) {
    return wire::GetU32(reinterpret_cast<const unsigned char*>(frame.data()) + 12);
}

TEST_F(Link, RequestsCutAnywhereOrBatchedAreAnswered) {
    auto client = Connect();
    for (char byte : wire::EncodeRequest({wire::Kind::kBuffered, 7, 1000, "?NODE_COUNT(0)"})) {
        ASSERT_TRUE(client->SendRaw(std::string(1, byte)));
        std::this_thread::sleep_for(1ms);
    }
    auto reply = client->Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->seq, 7u);
    EXPECT_EQ(reply->text, "8\r\n");
    EXPECT_EQ(sim_->server().ReceivedCommands(), std::vector<std::string>{"?NODE_COUNT(0)"});
    sim_->server().ClearReceivedCommands();

    // Three requests in one write, the largest command allowed among them.
    std::string big = "?" + std::string(wire::kMaxCommandLength - 1, 'A');
    ASSERT_TRUE(
        client->SendRaw(wire::EncodeRequest({wire::Kind::kBuffered, 8, 0, "?CONTROL"}) +
                        wire::EncodeRequest({wire::Kind::kDirect, 9, 0, big}) +
                        wire::EncodeRequest({wire::Kind::kBuffered, 10, 0, "?NODE_IO(0,3)"})));
    const wire::Reply expected[] = {{8, 0, "KSM464\r\n"}, {9, 2001, {}}, {10, 0, "32\r\n"}};
    for (const auto& want : expected) {
        reply = client->Receive();
        ASSERT_TRUE(reply) << want.seq;
        EXPECT_EQ(reply->seq, want.seq);
        EXPECT_EQ(reply->status, want.status);
        if (want.status == 0) {
            EXPECT_EQ(reply->text, want.text);
        }
    }
    EXPECT_EQ(sim_->server().ReceivedCommands().size(), 3u);
    EXPECT_EQ(sim_->server().ReceivedCommands().back(), "?NODE_IO(0,3)");
}

TEST_F(Link, MalformedRequestsCloseTheLinkWithoutAReply) {
    const std::pair<const char*, std::string> cases[] = {
        {"wrong magic", Header("KX", 1, 0, 0)},
        {"reply magic", Header("KR", 1, 0, 0)},
        {"kind 0", Header("KQ", 0, 0, 0)},
        {"kind 3", Header("KQ", 3, 0, 0)},
        {"reserved byte", Header("KQ", 1, 1, 0)},
        {"length 2048", Header("KQ", 1, 0, 2048)},
        {"length 4 GiB", Header("KQ", 1, 0, 0xFFFFFFFFu)},
        {"CR inside", Header("KQ", 1, 0, 9) + "?CONTROL\r"},
        {"LF inside", Header("KQ", 1, 0, 9) + "?CON\nTROL"},
        {"NUL inside", Header("KQ", 1, 0, 9) + std::string("?CONTROL\0", 9)},
    };
    auto healthy = Connect();
    for (const auto& [what, bytes] : cases) {
        auto client = Connect();
        // A good request first, so the bad one is not the link's first frame.
        EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");
        ASSERT_TRUE(client->SendRaw(bytes)) << what;
        EXPECT_EQ(client->ReadAll(), "") << what;
        EXPECT_TRUE(client->closed()) << what;
    }
    EXPECT_TRUE(Eventually([&] { return sim_->server().OpenLinks() == 1; }));
    EXPECT_EQ(healthy->Text("?CONTROL"), "KSM464\r\n");
}

TEST_F(Link, BytewiseRepliesStillFormWholeFrames) {
    auto client = Connect();
    client->Text("@SIM ODD ?CONTROL LONG");
    EXPECT_EQ(client->Text("@SIM LINK BYTEWISE 1"), "OK\r\n");
    client->Send("?CONTROL");
    std::string bytes;
    int reads = 0;
    for (; bytes.size() < 16 || bytes.size() < 16 + PayloadLength(bytes); ++reads) {
        std::string part = client->ReadSome(2000ms);
        ASSERT_FALSE(part.empty());
        bytes += part;
    }
    EXPECT_GT(reads, 1);
    EXPECT_EQ(bytes.size(), 16 + PayloadLength(bytes));
    EXPECT_TRUE(bytes.substr(16).starts_with("KSM464 "));
    EXPECT_EQ(client->Text("@SIM LINK BYTEWISE 0"), "OK\r\n");
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");
}

TEST_F(Link, LinkFaultsHitOnlyTheirLink) {
    auto other = Connect();
    auto client = Connect();
    EXPECT_EQ(client->Text("@SIM LINK WRONG_SEQ"), "OK\r\n");  // own reply is normal
    uint32_t seq = client->Send("?NODE_COUNT(0)");
    auto reply = client->Receive();
    ASSERT_TRUE(reply);
    EXPECT_NE(reply->seq, seq);
    EXPECT_EQ(reply->text, "8\r\n");
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");  // only the next reply: Call checks

    std::string cut = BytesUnder("@SIM LINK CUT", "?CONTROL");  // a 24-byte frame
    EXPECT_EQ(cut.size(), 12u);
    EXPECT_TRUE(cut.starts_with("KR"));

    std::string oversize = BytesUnder("@SIM LINK OVERSIZE", "?NODE_COUNT(0)");
    ASSERT_GE(oversize.size(), 16u);
    EXPECT_TRUE(oversize.starts_with("KR"));
    EXPECT_GT(PayloadLength(oversize), wire::kMaxReplyLength);

    auto drop = Connect();
    drop->Send("@SIM DROP_LINK");
    EXPECT_EQ(drop->ReadAll(2000ms), "");
    EXPECT_TRUE(drop->closed());
    EXPECT_EQ(other->Text("?NODE_COUNT(0)"), "8\r\n");
    EXPECT_TRUE(Eventually([&] { return sim_->server().OpenLinks() == 2; }));
}

TEST_F(Link, ManyClientsAtOnceEachGetTheirOwnRepliesInOrder) {
    constexpr int kClients = 8, kRounds = 100;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < kClients; ++c) {
        threads.emplace_back([&, node = std::to_string(c)] {
            Client client;
            if (!client.Connect(sim_->server().options().address, sim_->server().options().port))
                ++failures;
            for (int r = 0; r < kRounds && failures == 0; ++r) {
                // Two in flight at a time, to mix pipelining with the other clients.
                uint32_t s1 = client.Send("?NODE_INFO(0," + node + ",3)");
                uint32_t s2 = client.Send("?NODE_AXIS_COUNT(0," + node + ")");
                auto r1 = client.Receive();
                auto r2 = client.Receive();
                if (!r1 || !r2 || r1->seq != s1 || r2->seq != s2 || r1->status || r2->status)
                    ++failures;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(sim_->server().AcceptedLinks(), static_cast<std::size_t>(kClients));
    EXPECT_EQ(sim_->server().ReceivedCommands().size(),
              static_cast<std::size_t>(kClients * kRounds * 2));
}

TEST_F(Link, StopIsPromptWithLinksAndStalledReplies) {
    auto a = Connect();
    auto b = Connect();
    a->Text("@SIM STALL 20000");
    a->Send("?CONTROL");
    b->Send("?CONTROL");
    std::this_thread::sleep_for(20ms);
    auto start = Clock::now();
    sim_->server().Stop();
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_TRUE(a->WaitClosed());
    EXPECT_TRUE(b->WaitClosed());
    EXPECT_EQ(sim_->server().OpenLinks(), 0u);
    sim_.reset();  // the destructor after Stop is harmless
}

TEST_F(Link, ASlowReaderCannotMakeTheBacklogGrow) {
    constexpr std::size_t kReplies = 67000;  // 3000-byte replies: over 200 MB
    constexpr std::size_t kFrame = wire::kHeaderSize + 3000;
    auto client = Connect();
    EXPECT_EQ(client->Text("@SIM ODD ? LONG"), "OK\r\n");
    std::string requests;
    for (std::size_t i = 0; i < kReplies; ++i)
        requests += wire::EncodeRequest({wire::Kind::kBuffered, 1, 0, "?CONTROL"});
    std::thread sender([&] { EXPECT_TRUE(client->SendRaw(requests)); });

    // 64 MB/s, slower than the simulator sends, so its output never drains.
    constexpr std::size_t kBytesPerMs = 64000;
    std::size_t received = 0, most = 0;
    const auto start = Clock::now();
    while (received < kReplies * kFrame && Clock::now() - start < 60s) {
        most = std::max(most, sim_->server().BufferedBytes());
        std::this_thread::sleep_until(start + Ms(received / kBytesPerMs));
        std::string part = client->ReadSome(2000ms);
        if (part.empty()) break;
        received += part.size();
    }
    sender.join();
    EXPECT_EQ(received, kReplies * kFrame);
    EXPECT_GE(most, kestrum::server::kMaxBacklogBytes / 4);
    // The limit, plus the replies to the requests of one read.
    EXPECT_LT(most, 2 * kestrum::server::kMaxBacklogBytes);
}

TEST_F(Link, IdleLimitClosesOnlySilentLinksOwedNothing) {
    constexpr auto kLimit = 500ms;
    Serve(LoadBus("demo.json"), static_cast<int>(kLimit.count()));
    const auto start = Clock::now();
    auto silent = Connect();
    auto polling = Connect();
    while (!silent->closed() && Clock::now() - start < 3s) {
        EXPECT_EQ(polling->Text("?NODE_COUNT(0)"), "8\r\n");
        silent->ReadSome(50ms);
    }
    EXPECT_TRUE(silent->closed());
    EXPECT_GE(Clock::now() - start, kLimit);
    // Waiting for a held-back reply is not idleness.
    sim_->server().Control("@SIM STALL " + std::to_string(2 * kLimit.count()));
    EXPECT_EQ(polling->Text("?CONTROL"), "KSM464\r\n");
    EXPECT_EQ(sim_->server().OpenLinks(), 1u);
}

TEST(SimulatorStart, RefusesAddressesOutsideLoopbackAndTakenPorts) {
    using kestrum::sim::Simulator;
    kestrum::sim::SimulatorOptions options;
    std::string error;
    options.address = "10.1.2.3";
    EXPECT_FALSE(Simulator(kestrum::sim::Bus{}, options).server().Start(&error));
    EXPECT_NE(error.find("127.0.0.0/8"), std::string::npos) << error;
    options.address = "not an address";
    EXPECT_FALSE(Simulator(kestrum::sim::Bus{}, options).server().Start(&error));

    options.address = TestAddress();
    options.port = 0;
    options.discovery = false;
    Simulator first(kestrum::sim::Bus{}, options);
    ASSERT_TRUE(first.server().Start(&error)) << error;
    options.port = first.server().options().port;
    error.clear();
    EXPECT_FALSE(Simulator(kestrum::sim::Bus{}, options).server().Start(&error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace kestrum::sim::testing
