// The link server with a model other than the simulated controller's, as the gateway
// runs it, and a hook of its own.
#include <string>
#include <vector>

#include "kestrum/server/command_text.h"
#include "kestrum/server/link_server.h"
#include "tests/sim/sim_client.h"

namespace kestrum::sim::testing {
namespace {

using kestrum::server::NodeValue;
using kestrum::server::Outcome;

class Echo : public kestrum::server::ControllerModel {
  public:
    std::string Model() const override { return "echo " + std::to_string(++runs); }
    std::string VersionDate() const override { return {}; }
    std::string SerialNumber() const override { return {}; }
    std::string Report(Clock::time_point) override { return {}; }
    int32_t NodeCount(Clock::time_point) override { return 0; }
    NodeValue NodeItem(int32_t, int32_t, Clock::time_point) override { return 0; }
    NodeValue AxisCount(int32_t) override { return 0; }
    NodeValue IoBase(int32_t) override { return 0; }
    NodeValue AioBase(int32_t) override { return 0; }
    NodeValue SdoRead(int32_t, int32_t, int32_t, int32_t) override { return 0; }

    mutable int runs = 0;
};

class Delay : public kestrum::server::LinkHook {
  public:
    std::optional<kestrum::server::Intercepted> Intercept(kestrum::server::LinkId, std::string_view,
                                                          Clock::time_point) override {
        return std::nullopt;
    }
    void Answered(std::string_view, Outcome&) override {}
    void Shape(kestrum::server::LinkId, kestrum::server::Delivery& reply) override {
        reply.due += 150ms;
    }
    bool Bytewise(kestrum::server::LinkId) const override { return false; }
    void Opened(kestrum::server::LinkId) override {}
    void Closed(kestrum::server::LinkId) override {}
};

TEST(LinkServer, ServesAnyModelWithTheDelayItsHookAsksFor) {
    Echo echo;
    Delay delay;
    kestrum::server::LinkServerOptions options;
    options.address = TestAddress();
    options.port = 0;
    options.discovery = false;
    kestrum::server::LinkServer server(echo, options, &delay);
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    Client client;
    ASSERT_TRUE(client.Connect(options.address, server.options().port));

    auto start = Clock::now();
    EXPECT_EQ(client.Text("?CONTROL"), "echo 1\r\n");
    EXPECT_GE(Clock::now() - start, 150ms);
    EXPECT_EQ(server.Control("?CONTROL"), "echo 2\r\n");
    int runs = 0;
    server.Locked([&] { runs = echo.runs; });
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(server.ReceivedCommands(), std::vector<std::string>{"?CONTROL"});
}

}  // namespace
}  // namespace kestrum::sim::testing
