// The link itself: frames cut anywhere, malformed requests, link faults seen at the
// byte level, several clients, bookkeeping and a prompt stop.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "sim_client.h"

namespace simtest {
namespace {

using Clock = std::chrono::steady_clock;
using kestrum::wire::GetU32;

class Link : public SimTest {};

std::string Header(const char* magic, unsigned char kind, unsigned char reserved, uint32_t seq,
                   uint32_t length) {
    unsigned char h[16] = {static_cast<unsigned char>(magic[0]),
                           static_cast<unsigned char>(magic[1]), kind, reserved};
    kestrum::wire::PutU32(h + 4, seq);
    kestrum::wire::PutU32(h + 8, 1000);
    kestrum::wire::PutU32(h + 12, length);
    return std::string(reinterpret_cast<char*>(h), 16);
}

TEST_F(Link, RequestsCutAnywhereOrBatchedAreAnswered) {
    auto client = Connect();
    std::string frame =
        kestrum::wire::EncodeRequest({kestrum::wire::Kind::kBuffered, 7, 1000, "?NODE_COUNT(0)"});
    for (char byte : frame) {
        ASSERT_TRUE(client->SendRaw(std::string(1, byte)));
        std::this_thread::sleep_for(1ms);
    }
    auto reply = client->Receive();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->seq, 7u);
    EXPECT_EQ(reply->text, "8\r\n");

    // Three requests in one write, the largest command allowed among them.
    std::string big = "?" + std::string(kestrum::wire::kMaxCommandLength - 1, 'A');
    std::string batch =
        kestrum::wire::EncodeRequest({kestrum::wire::Kind::kBuffered, 8, 0, "?CONTROL"}) +
        kestrum::wire::EncodeRequest({kestrum::wire::Kind::kDirect, 9, 0, big}) +
        kestrum::wire::EncodeRequest({kestrum::wire::Kind::kBuffered, 10, 0, "?NODE_IO(0,3)"});
    ASSERT_TRUE(client->SendRaw(batch));
    auto a = client->Receive();
    auto b = client->Receive();
    auto c = client->Receive();
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(a->seq, 8u);
    EXPECT_EQ(a->text, "KSM464\r\n");
    EXPECT_EQ(b->seq, 9u);
    EXPECT_EQ(b->status, 2001);
    EXPECT_EQ(c->seq, 10u);
    EXPECT_EQ(c->text, "32\r\n");
    EXPECT_EQ(sim_->ReceivedCommands().back(), "?NODE_IO(0,3)");
}

TEST_F(Link, MalformedRequestsCloseTheLinkWithoutAReply) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases = {
        {"wrong magic", Header("KX", 1, 0, 1, 0)},
        {"reply magic", Header("KR", 1, 0, 1, 0)},
        {"kind 0", Header("KQ", 0, 0, 1, 0)},
        {"kind 3", Header("KQ", 3, 0, 1, 0)},
        {"reserved byte", Header("KQ", 1, 1, 1, 0)},
        {"length 2048", Header("KQ", 1, 0, 1, 2048)},
        {"length 4 GiB", Header("KQ", 1, 0, 1, 0xFFFFFFFFu)},
        {"CR inside", Header("KQ", 1, 0, 1, 9) + "?CONTROL\r"},
        {"LF inside", Header("KQ", 1, 0, 1, 9) + "?CON\nTROL"},
        {"NUL inside", Header("KQ", 1, 0, 1, 9) + std::string("?CONTROL\0", 9)},
    };
    auto healthy = Connect();
    for (const auto& c : cases) {
        auto client = Connect();
        // A good request first, so the bad one is not the link's first frame.
        EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");
        ASSERT_TRUE(client->SendRaw(c.bytes)) << c.what;
        EXPECT_EQ(client->ReadAll(), "") << c.what;
        EXPECT_TRUE(client->closed()) << c.what;
    }
    EXPECT_TRUE(Eventually([&] { return sim_->OpenLinks() == 1; }));
    EXPECT_EQ(healthy->Text("?CONTROL"), "KSM464\r\n");
}

TEST_F(Link, WrongSeqHitsOnlyTheNextReply) {
    auto client = Connect();
    auto other = Connect();
    EXPECT_EQ(client->Text("@SIM LINK WRONG_SEQ"), "OK\r\n");  // own reply is normal
    uint32_t seq = client->Send("?NODE_COUNT(0)");
    auto reply = client->Receive();
    ASSERT_TRUE(reply);
    EXPECT_NE(reply->seq, seq);
    EXPECT_EQ(reply->text, "8\r\n");
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");  // Call checks the seq
    EXPECT_EQ(other->Text("?NODE_COUNT(0)"), "8\r\n");   // other links untouched
}

TEST_F(Link, BytewiseRepliesStillFormWholeFrames) {
    auto client = Connect();
    client->Text("@SIM ODD ?CONTROL LONG");
    EXPECT_EQ(client->Text("@SIM LINK BYTEWISE 1"), "OK\r\n");
    client->Send("?CONTROL");
    std::string bytes;
    int reads = 0;
    while (bytes.size() < 16 ||
           bytes.size() < 16 + GetU32(reinterpret_cast<const unsigned char*>(bytes.data()) + 12)) {
        std::string part = client->ReadSome(2000ms);
        ASSERT_FALSE(part.empty());
        bytes += part;
        ++reads;
    }
    EXPECT_GT(reads, 1);
    auto length = GetU32(reinterpret_cast<const unsigned char*>(bytes.data()) + 12);
    EXPECT_EQ(bytes.size(), 16 + length);
    EXPECT_TRUE(bytes.substr(16).starts_with("KSM464 "));
    EXPECT_EQ(client->Text("@SIM LINK BYTEWISE 0"), "OK\r\n");
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");
}

TEST_F(Link, CutReplyStopsMidFrameAndCloses) {
    auto client = Connect();
    EXPECT_EQ(client->Text("@SIM LINK CUT"), "OK\r\n");
    client->Send("?CONTROL");  // a 24-byte frame
    std::string bytes = client->ReadAll(2000ms);
    EXPECT_TRUE(client->closed());
    EXPECT_EQ(bytes.size(), 12u);
    EXPECT_TRUE(bytes.starts_with("KR"));
    EXPECT_TRUE(Eventually([&] { return sim_->OpenLinks() == 0; }));
}

TEST_F(Link, OversizeHeaderIsFollowedByAClose) {
    auto client = Connect();
    EXPECT_EQ(client->Text("@SIM LINK OVERSIZE"), "OK\r\n");
    client->Send("?NODE_COUNT(0)");
    std::string bytes = client->ReadAll(2000ms);
    EXPECT_TRUE(client->closed());
    ASSERT_GE(bytes.size(), 16u);
    EXPECT_TRUE(bytes.starts_with("KR"));
    EXPECT_GT(GetU32(reinterpret_cast<const unsigned char*>(bytes.data()) + 12),
              kestrum::wire::kMaxReplyLength);
}

TEST_F(Link, LinkFaultsFromControlHitEveryOpenLink) {
    auto a = Connect();
    auto b = Connect();
    ASSERT_TRUE(Eventually([&] { return sim_->OpenLinks() == 2; }));
    sim_->Control("@SIM LINK CUT");
    a->Send("?CONTROL");
    b->Send("?CONTROL");
    EXPECT_TRUE(a->WaitClosed());
    EXPECT_TRUE(b->WaitClosed());
}

TEST_F(Link, DropLinkClosesOnlyTheSenderWithoutAReply) {
    auto a = Connect();
    auto b = Connect();
    a->Send("@SIM DROP_LINK");
    EXPECT_EQ(a->ReadAll(2000ms), "");
    EXPECT_TRUE(a->closed());
    EXPECT_EQ(b->Text("?NODE_COUNT(0)"), "8\r\n");
}

TEST_F(Link, ManyClientsAtOnceEachGetTheirOwnRepliesInOrder) {
    constexpr int kClients = 8;
    constexpr int kRounds = 100;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < kClients; ++c) {
        threads.emplace_back([&, c] {
            Client client;
            if (!client.Connect(sim_->options().address, sim_->options().port)) {
                ++failures;
                return;
            }
            int node = c % 8;
            std::string command = "?NODE_INFO(0," + std::to_string(node) + ",3)";
            for (int r = 0; r < kRounds; ++r) {
                // Two in flight at a time, to mix pipelining with the other clients.
                uint32_t s1 = client.Send(command);
                uint32_t s2 = client.Send("?NODE_AXIS_COUNT(0," + std::to_string(node) + ")");
                auto r1 = client.Receive();
                auto r2 = client.Receive();
                if (!r1 || !r2 || r1->seq != s1 || r2->seq != s2 || r1->status != 0 ||
                    r2->status != 0) {
                    ++failures;
                    return;
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(sim_->AcceptedLinks(), static_cast<std::size_t>(kClients));
    EXPECT_EQ(sim_->ReceivedCommands().size(), static_cast<std::size_t>(kClients * kRounds * 2));
}

TEST_F(Link, BookkeepingFollowsLinksAndCommands) {
    auto a = Connect();
    auto b = Connect();
    auto c = Connect();
    ASSERT_TRUE(Eventually([&] { return sim_->OpenLinks() == 3; }));
    EXPECT_EQ(sim_->AcceptedLinks(), 3u);
    b->Close();
    EXPECT_TRUE(Eventually([&] { return sim_->OpenLinks() == 2; }, 500ms));
    EXPECT_EQ(sim_->AcceptedLinks(), 3u);

    a->Text("?CONTROL");
    a->Text("@SIM LATENCY 0");
    c->Text("?NODE_COUNT(0)");
    EXPECT_EQ(sim_->ReceivedCommands(),
              (std::vector<std::string>{"?CONTROL", "@SIM LATENCY 0", "?NODE_COUNT(0)"}));
    sim_->ClearReceivedCommands();
    EXPECT_TRUE(sim_->ReceivedCommands().empty());
    c->Text("?CONTROL");
    EXPECT_EQ(sim_->ReceivedCommands(), std::vector<std::string>{"?CONTROL"});
}

TEST_F(Link, StopIsPromptWithLinksAndStalledReplies) {
    auto a = Connect();
    auto b = Connect();
    a->Text("@SIM STALL 20000");
    a->Send("?CONTROL");
    b->Send("?CONTROL");
    std::this_thread::sleep_for(20ms);
    auto start = Clock::now();
    sim_->Stop();
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_TRUE(a->WaitClosed());
    EXPECT_TRUE(b->WaitClosed());
    EXPECT_EQ(sim_->OpenLinks(), 0u);
    sim_.reset();  // the destructor after Stop is harmless
}

TEST(SimulatorStart, RefusesAddressesOutsideLoopbackAndTakenPorts) {
    kestrum::sim::SimulatorOptions options;
    options.address = "10.1.2.3";
    std::string error;
    kestrum::sim::Simulator outside(kestrum::sim::Bus{}, options);
    EXPECT_FALSE(outside.Start(&error));
    EXPECT_NE(error.find("127.0.0.0/8"), std::string::npos) << error;

    options.address = "not an address";
    kestrum::sim::Simulator garbage(kestrum::sim::Bus{}, options);
    EXPECT_FALSE(garbage.Start(&error));

    options.address = TestAddress();
    options.port = 0;
    options.discovery = false;
    kestrum::sim::Simulator first(kestrum::sim::Bus{}, options);
    ASSERT_TRUE(first.Start(&error)) << error;
    options.port = first.options().port;
    kestrum::sim::Simulator second(kestrum::sim::Bus{}, options);
    EXPECT_FALSE(second.Start(&error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace simtest
