// Fault switches: counters and lost count rising, nodes dropping off, delayed and odd
// replies, and the @SIM commands' own error handling.
#include <string>

#include "sim_client.h"

namespace simtest {
namespace {

using Clock = std::chrono::steady_clock;

class Faults : public SimTest {
  protected:
    int Number(Client& client, const std::string& command) {
        return std::stoi(client.Text(command));
    }
};

TEST_F(Faults, CountersRiseAtTheirRateAndKeepWhatTheyCounted) {
    auto client = Connect();
    auto start = Clock::now();
    EXPECT_EQ(client->Text("@SIM COUNTERS 3 0 1000"), "OK\r\n");
    std::this_thread::sleep_for(100ms);
    int c300 = Number(*client, "?NODE_INFO(0,3,768)");
    auto elapsedMs = std::chrono::duration_cast<Ms>(Clock::now() - start).count();
    EXPECT_GE(c300, 100);
    EXPECT_LE(c300, elapsedMs + 1);
    EXPECT_GE(Number(*client, "?NODE_INFO(0,3,769)"), 100);
    EXPECT_EQ(Number(*client, "?NODE_INFO(0,3,770)"), 0);  // the other port stays quiet
    EXPECT_EQ(Number(*client, "?NODE_INFO(0,3,771)"), 0);

    // Rate 0 stops the count where it is; a set value then stays put.
    client->Text("@SIM COUNTERS 3 0 0");
    int frozen = Number(*client, "?NODE_INFO(0,3,768)");
    EXPECT_GE(frozen, c300);
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(Number(*client, "?NODE_INFO(0,3,768)"), frozen);

    // A counter set while its port rises goes on from the new value.
    client->Text("@SIM COUNTERS 3 1 1000");
    client->Text("@SIM SET 3 303H 5000000");
    std::this_thread::sleep_for(20ms);
    int c303 = Number(*client, "?NODE_INFO(0,3,771)");
    EXPECT_GE(c303, 5000000 + 20);
    EXPECT_LT(c303, 5000000 + 2000);

    // Reset stops the rise but keeps the counts, as a real bus would.
    client->Text("@SIM RESET");
    int after = Number(*client, "?NODE_INFO(0,3,771)");
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(Number(*client, "?NODE_INFO(0,3,771)"), after);
    EXPECT_EQ(Number(*client, "?NODE_INFO(0,3,768)"), frozen);
}

TEST_F(Faults, CounterRatesFromTheBusFileRunFromTheStart) {
    std::string error;
    auto bus = kestrum::sim::ParseBus(
        R"({"nodes":[{"errorCounters":[1,2,3,4],"counterRate":[0,500]}]})", &error);
    ASSERT_TRUE(bus) << error;
    sim_.reset();
    Serve(*bus);
    auto client = Connect();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Number(*client, "?NODE_INFO(0,0,768)"), 1);
    EXPECT_EQ(Number(*client, "?NODE_INFO(0,0,769)"), 2);
    EXPECT_GE(Number(*client, "?NODE_INFO(0,0,770)"), 3 + 25);
    EXPECT_GE(Number(*client, "?NODE_INFO(0,0,771)"), 4 + 25);
}

TEST_F(Faults, NodeOffTakesTheNodesBehindItAndBringsThemBack) {
    auto client = Connect();
    EXPECT_EQ(client->Text("@SIM NODE_OFF 5 300"), "OK\r\n");
    auto start = Clock::now();
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "5\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,4,0)"), "1051\r\n");
    EXPECT_EQ(client->Call("?NODE_INFO(0,5,0)").status, 2003);
    EXPECT_EQ(client->Call("?NODE_INFO(0,7,768)").status, 2003);
    EXPECT_EQ(client->Call("SDO_READ(0,6,24641,0,7,0)").status, 2003);
    // An earlier node dropping as well shortens the line further.
    client->Text("@SIM NODE_OFF 1 100");
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "1\r\n");
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "5\r\n");
    ASSERT_TRUE(Eventually([&] { return client->Text("?NODE_COUNT(0)") == "8\r\n"; }));
    EXPECT_GE(Clock::now() - start, 290ms);
    EXPECT_EQ(client->Text("?NODE_INFO(0,7,0)"), "94597\r\n");
}

TEST_F(Faults, StallHoldsRepliesThenAnswersTheBacklogInOrder) {
    auto client = Connect();
    auto start = Clock::now();
    EXPECT_EQ(client->Text("@SIM STALL 300"), "OK\r\n");
    EXPECT_LT(Clock::now() - start, 150ms);  // its own reply comes at once
    const std::string commands[] = {"?NODE_INFO(0,0,0)", "?NODE_INFO(0,1,0)", "?NODE_COUNT(0)",
                                    "?CONTROL"};
    uint32_t seqs[4];
    for (int i = 0; i < 4; ++i) seqs[i] = client->Send(commands[i]);
    EXPECT_FALSE(client->Receive(150ms));
    const char* texts[] = {"1051\r\n", "1647\r\n", "8\r\n", "KSM464\r\n"};
    for (int i = 0; i < 4; ++i) {
        auto reply = client->Receive(2000ms);
        ASSERT_TRUE(reply) << i;
        EXPECT_EQ(reply->seq, seqs[i]);
        EXPECT_EQ(reply->text, texts[i]);
    }
    EXPECT_GE(Clock::now() - start, 290ms);
    // Once over, replies are prompt again.
    auto after = Clock::now();
    client->Text("?CONTROL");
    EXPECT_LT(Clock::now() - after, 100ms);
}

TEST_F(Faults, LatencyDelaysEveryReplyUntilReset) {
    auto client = Connect();
    client->Text("@SIM LATENCY 120");
    for (int i = 0; i < 2; ++i) {
        auto start = Clock::now();
        client->Text("?NODE_COUNT(0)");
        EXPECT_GE(Clock::now() - start, 115ms);
    }
    // Pipelined commands are delayed together, not one after the other.
    auto start = Clock::now();
    for (int i = 0; i < 5; ++i) client->Send("?CONTROL");
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(client->Receive());
    EXPECT_LT(Clock::now() - start, 400ms);
    client->Text("@SIM RESET");
    start = Clock::now();
    client->Text("?NODE_COUNT(0)");
    EXPECT_LT(Clock::now() - start, 100ms);
}

TEST_F(Faults, OddRepliesForCommandsWithThePrefix) {
    auto client = Connect();
    client->Text("@SIM ODD ?NODE_COUNT WORD");
    client->Text("@SIM ODD ?NODE_INFO(0,1, EMPTY");
    client->Text("@SIM ODD ?CONTROL LONG");
    client->Text("@SIM ODD ?TABLE BINARY");

    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "busy\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,1,0)"), "");
    EXPECT_EQ(client->Text("?NODE_INFO(0,2,0)"), "477\r\n");  // prefix does not match
    std::string long_ = client->Text("?CONTROL");
    EXPECT_GT(long_.size(), 2048u);
    EXPECT_TRUE(long_.starts_with("KSM464 ")) << long_.substr(0, 20);
    std::string binary = client->Text("?TABLE(0) ");
    EXPECT_NE(binary.find('\0'), std::string::npos);
    EXPECT_TRUE(std::any_of(binary.begin(), binary.end(),
                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
    // @SIM commands are never odd, so the switch can always be turned back.
    EXPECT_NE(client->Call("@SIM ODD @SIM WORD").status, 0);
    EXPECT_EQ(client->Text("@SIM ODD ?NODE_COUNT OFF"), "OK\r\n");
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,1,0)"), "");
    client->Text("@SIM RESET");
    EXPECT_EQ(client->Text("?NODE_INFO(0,1,0)"), "1647\r\n");
    EXPECT_EQ(client->Text("?CONTROL"), "KSM464\r\n");
}

TEST_F(Faults, BadSimCommandsAreRefusedWithAText) {
    auto client = Connect();
    const char* bad[] = {
        "@SIM",
        "@SIM FROB",
        "@SIM RESET now",
        "@SIM LATENCY",
        "@SIM LATENCY -5",
        "@SIM LATENCY 10ms",
        "@SIM STALL 9999999",
        "@SIM COUNTERS 8 0 1",  // no node 8
        "@SIM COUNTERS 0 2 1",  // no port 2
        "@SIM COUNTERS 0 0 -1",
        "@SIM COUNTERS 0 0 nan",
        "@SIM NODE_OFF 0",
        "@SIM LOST fast",
        "@SIM SET 0 nosuch 1",
        "@SIM SET 0 axisCount 4294967296",
        "@SIM ODD ?CONTROL LOUD",
        "@SIM LINK",
        "@SIM LINK BYTEWISE 2",
        "@SIM LINK SIDEWAYS",
        "@SIM TABLE 4096 1",
        "@SIM TABLE 0 1e39",
    };
    for (const char* command : bad) {
        auto reply = client->Call(command);
        EXPECT_NE(reply.status, 0) << command;
        EXPECT_TRUE(reply.text.ends_with("\r\n") && reply.text.size() > 2) << command;
    }
    // None of them changed anything.
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");
    EXPECT_EQ(client->Text("?NODE_AXIS_COUNT(0,0)"), "1\r\n");
}

TEST_F(Faults, ControlRunsSimCommandsInProcess) {
    auto a = Connect();
    auto b = Connect();
    EXPECT_EQ(sim_->Control("@SIM NODE_OFF 3 10000"), "OK\r\n");
    EXPECT_EQ(a->Text("?NODE_COUNT(0)"), "3\r\n");
    EXPECT_NE(sim_->Control("@SIM NODE_OFF x 1").rfind("Error", 0), std::string::npos);
    EXPECT_EQ(sim_->Control("@SIM RESET"), "OK\r\n");
    EXPECT_EQ(b->Text("?NODE_COUNT(0)"), "8\r\n");
    // Control commands did not arrive over a link.
    for (const auto& command : sim_->ReceivedCommands())
        EXPECT_NE(command.rfind("@SIM", 0), 0u) << command;
    // Dropping from outside closes every link.
    ASSERT_TRUE(Eventually([&] { return sim_->OpenLinks() == 2; }));
    EXPECT_EQ(sim_->Control("@SIM DROP_LINK"), "OK\r\n");
    EXPECT_TRUE(a->WaitClosed());
    EXPECT_TRUE(b->WaitClosed());
    EXPECT_TRUE(Eventually([&] { return sim_->OpenLinks() == 0; }));
    // New links are not affected.
    auto c = Connect();
    EXPECT_EQ(c->Text("?NODE_COUNT(0)"), "8\r\n");
}

}  // namespace
}  // namespace simtest
