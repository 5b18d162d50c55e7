// The link server with an interpreter other than the simulated controller's, as the
// gateway runs it.
#include <string>
#include <vector>

#include "kestrum_sim/link_server.h"
#include "sim_client.h"

namespace simtest {
namespace {

using kestrum::sim::CommandInterpreter;
using kestrum::sim::Outcome;

class Echo : public CommandInterpreter {
  public:
    Outcome Execute(std::string_view command, Clock::time_point) override {
        ++runs;
        Outcome out;
        out.text = "echo " + std::string(command) + "\r\n";
        return out;
    }
    int latencyMs() const override { return 150; }

    int runs = 0;
};

TEST(LinkServer, ServesAnyInterpreterWithTheDelayItAsksFor) {
    Echo echo;
    kestrum::sim::LinkServerOptions options;
    options.address = TestAddress();
    options.port = 0;
    options.discovery = false;
    kestrum::sim::LinkServer server(echo, options);
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    Client client;
    ASSERT_TRUE(client.Connect(options.address, server.options().port));

    auto start = Clock::now();
    EXPECT_EQ(client.Text("?ANY"), "echo ?ANY\r\n");
    EXPECT_GE(Clock::now() - start, 150ms);
    EXPECT_EQ(server.Control("X"), "echo X\r\n");
    EXPECT_EQ(
        server.WithInterpreter([](CommandInterpreter& i) { return static_cast<Echo&>(i).runs; }),
        2);
    EXPECT_EQ(server.ReceivedCommands(), std::vector<std::string>{"?ANY"});
}

}  // namespace
}  // namespace simtest
