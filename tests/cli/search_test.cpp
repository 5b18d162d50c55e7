// pelvane-cli search broadcasts, so it runs alone and only where the network is loopback.
#include <gtest/gtest.h>

#include <sstream>

#include "cli_app.h"
#include "kestrum_sim/simulator.h"
#include "loopback_only.h"

namespace pelvane::cli {
namespace {

TEST(CliSearch, ListsEveryControllerThatAnswers) {
    PELVANE_REQUIRE_PRIVATE_NETWORK();
    std::vector<std::unique_ptr<kestrum::sim::Simulator>> sims;
    for (const char* address : {"127.0.61.1", "127.0.61.2"}) {
        kestrum::sim::SimulatorOptions options;
        options.address = address;
        sims.push_back(std::make_unique<kestrum::sim::Simulator>(
            *kestrum::sim::ParseBus(R"({"nodes": []})"), options));
        std::string error;
        ASSERT_TRUE(sims.back()->Start(&error)) << error;
    }
    const char* argv[] = {"pelvane-cli", "search", "--time", "300"};
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(4, argv, CliIo{out, err}), 0) << err.str();
    std::string lines = out.str();
    // Answers arrive in any order.
    EXPECT_TRUE(lines == "127.0.61.1\n127.0.61.2\n" || lines == "127.0.61.2\n127.0.61.1\n")
        << lines;
}

}  // namespace
}  // namespace pelvane::cli
