// Fault switches: counters and lost count rising, nodes dropping off, delayed and odd
// replies, and the @SIM commands' own error handling.
#include <string>
#include <vector>

#include "tests/sim/sim_client.h"

namespace kestrum::sim::testing {
namespace {

class Faults : public SimTest {
  protected:
    static int Number(Client& client, const std::string& command) {
        return std::stoi(client.Text(command));
    }
    static Ms Took(const std::function<void()>& step) {
        auto start = Clock::now();
        step();
        return std::chrono::duration_cast<Ms>(Clock::now() - start);
    }
};

TEST_F(Faults, CountersRiseAtTheirRateAndKeepWhatTheyCounted) {
    auto client = Connect();
    auto start = Clock::now();
    EXPECT_EQ(client->Text("@SIM COUNTERS 3 0 1000"), "OK\r\n");
    std::this_thread::sleep_for(100ms);
    int c300 = Number(*client, "?NODE_INFO(0,3,768)");
    EXPECT_GE(c300, 100);
    EXPECT_LE(c300, std::chrono::duration_cast<Ms>(Clock::now() - start).count() + 1);
    EXPECT_GE(Number(*client, "?NODE_INFO(0,3,769)"), 100);
    EXPECT_EQ(Number(*client, "?NODE_INFO(0,3,770)"), 0);  // the other port stays quiet

    // Rate 0 stops the count where it is.
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

TEST_F(Faults, NodeOffTakesTheNodesBehindItAndBringsThemBack) {
    auto client = Connect();
    auto start = Clock::now();
    EXPECT_EQ(client->Text("@SIM NODE_OFF 5 300"), "OK\r\n");
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "5\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,4,0)"), "1051\r\n");
    for (const char* behind :
         {"?NODE_INFO(0,5,0)", "?NODE_INFO(0,7,768)", "SDO_READ(0,6,24641,0,7,0)"})
        EXPECT_EQ(client->Call(behind).status, 2003) << behind;
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
    const std::pair<const char*, const char*> backlog[] = {{"?NODE_INFO(0,0,0)", "1051\r\n"},
                                                           {"?NODE_INFO(0,1,0)", "1647\r\n"},
                                                           {"?NODE_COUNT(0)", "8\r\n"},
                                                           {"?CONTROL", "KSM464\r\n"}};
    std::vector<uint32_t> seqs;
    for (const auto& [command, text] : backlog) seqs.push_back(client->Send(command));
    EXPECT_FALSE(client->Receive(150ms));
    for (std::size_t i = 0; i < seqs.size(); ++i) {
        auto reply = client->Receive();
        ASSERT_TRUE(reply) << i;
        EXPECT_EQ(reply->seq, seqs[i]);
        EXPECT_EQ(reply->text, backlog[i].second);
    }
    EXPECT_GE(Clock::now() - start, 290ms);
    // Once over, replies are prompt again.
    EXPECT_LT(Took([&] { client->Text("?CONTROL"); }), 100ms);
}

TEST_F(Faults, LatencyDelaysEveryReplyUntilReset) {
    auto client = Connect();
    client->Text("@SIM LATENCY 120");
    for (int i = 0; i < 2; ++i) EXPECT_GE(Took([&] { client->Text("?NODE_COUNT(0)"); }), 115ms);
    // Pipelined commands are delayed together, not one after the other.
    EXPECT_LT(Took([&] {
                  for (int i = 0; i < 5; ++i) client->Send("?CONTROL");
                  for (int i = 0; i < 5; ++i) EXPECT_TRUE(client->Receive());
              }),
              400ms);
    client->Text("@SIM RESET");
    EXPECT_LT(Took([&] { client->Text("?NODE_COUNT(0)"); }), 100ms);
}

TEST_F(Faults, OddRepliesForCommandsWithThePrefix) {
    auto client = Connect();
    for (const char* odd : {"?NODE_COUNT WORD", "?NODE_INFO(0,1, EMPTY", "?CONTROL LONG",
                            "?TABLE BINARY", "?NODE_REGS ERROR", "?NODE_INFO(0,0,272) ERROR"})
        EXPECT_EQ(client->Text(std::string("@SIM ODD ") + odd), "OK\r\n");

    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "busy\r\n");
    EXPECT_EQ(client->Text("?NODE_INFO(0,1,0)"), "");
    EXPECT_EQ(client->Text("?NODE_INFO(0,2,0)"), "477\r\n");  // prefix does not match
    EXPECT_GT(client->Text("?CONTROL").size(), 2048u);
    std::string binary = client->Text("?TABLE(0) ");
    EXPECT_NE(binary.find('\0'), std::string::npos);
    EXPECT_NE(binary.find('\xFF'), std::string::npos) << "no byte above 7FH";
    // An older controller: no bulk registers, no DL status, but the counters.
    for (const char* refused : {"?NODE_REGS(0,3,768,20)", "?NODE_INFO(0,0,272)"}) {
        const auto reply = client->Call(refused);
        EXPECT_EQ(reply.status, 2002) << refused;
        EXPECT_EQ(reply.text, "Error 2002: no such item\r\n") << refused;
    }
    EXPECT_EQ(client->Call("?NODE_INFO(0,0,768)").status, 0);
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
    for (const char* command :
         {"@SIM", "@SIM FROB", "@SIM RESET now", "@SIM LATENCY -5", "@SIM LATENCY 10ms",
          "@SIM STALL 9999999", "@SIM COUNTERS 8 0 1", "@SIM COUNTERS 0 2 1",
          "@SIM COUNTERS 0 0 nan", "@SIM NODE_OFF 0", "@SIM SET 0 nosuch 1",
          "@SIM SET 0 axisCount 4294967296", "@SIM ODD ?CONTROL LOUD", "@SIM LINK SIDEWAYS",
          "@SIM TABLE 4096 1", "@SIM TABLE 0 1e39"}) {
        auto reply = client->Call(command);
        EXPECT_NE(reply.status, 0) << command;
        EXPECT_TRUE(reply.text.ends_with("\r\n") && reply.text.size() > 2) << command;
    }
    // None of them changed anything.
    EXPECT_EQ(client->Text("?NODE_COUNT(0)"), "8\r\n");
    EXPECT_EQ(client->Text("?NODE_AXIS_COUNT(0,0)"), "1\r\n");
}

TEST_F(Faults, ControlRunsSimCommandsInProcessOnEveryLink) {
    auto a = Connect();
    auto b = Connect();
    EXPECT_EQ(sim_->server().Control("@SIM NODE_OFF 3 10000"), "OK\r\n");
    EXPECT_EQ(a->Text("?NODE_COUNT(0)"), "3\r\n");
    EXPECT_TRUE(sim_->server().Control("@SIM NODE_OFF x 1").starts_with("Error"));
    EXPECT_EQ(sim_->server().Control("@SIM RESET"), "OK\r\n");
    EXPECT_EQ(b->Text("?NODE_COUNT(0)"), "8\r\n");
    // Control commands did not arrive over a link.
    for (const auto& command : sim_->server().ReceivedCommands())
        EXPECT_FALSE(command.starts_with("@SIM")) << command;
    // A link fault set from outside hits every open link.
    sim_->server().Control("@SIM LINK CUT");
    a->Send("?CONTROL");
    b->Send("?CONTROL");
    EXPECT_TRUE(a->WaitClosed());
    EXPECT_TRUE(b->WaitClosed());
    EXPECT_TRUE(Eventually([&] { return sim_->server().OpenLinks() == 0; }));
    // New links are not affected; dropping from outside closes them all.
    auto c = Connect();
    auto d = Connect();
    EXPECT_EQ(c->Text("?NODE_COUNT(0)"), "8\r\n");
    ASSERT_TRUE(Eventually([&] { return sim_->server().OpenLinks() == 2; }));
    EXPECT_EQ(sim_->server().Control("@SIM DROP_LINK"), "OK\r\n");
    EXPECT_TRUE(c->WaitClosed());
    EXPECT_TRUE(d->WaitClosed());
}

}  // namespace
}  // namespace kestrum::sim::testing
