// pelvane-cli search broadcasts, so it runs alone and only where the network is loopback.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_app.h"
#include "tests/support/loopback_only.h"
#ifndef _WIN32
#include "kestrum_sim/simulator.h"
#endif

namespace pelvane::cli {
namespace {

TEST(CliSearch, ListsEveryControllerThatAnswers) {
    PELVANE_REQUIRE_PRIVATE_NETWORK();
    // On Windows scripts/windows.sh serves these two, and they alone answer searches.
#ifndef _WIN32
    std::vector<std::unique_ptr<kestrum::sim::Simulator>> sims;
    for (const char* address : {"127.0.0.2", "127.0.0.3"}) {
        kestrum::sim::SimulatorOptions options;
        options.address = address;
        sims.push_back(std::make_unique<kestrum::sim::Simulator>(
            *kestrum::sim::ParseBus(R"({"nodes": []})"), options));
        std::string error;
        ASSERT_TRUE(sims.back()->server().Start(&error)) << error;
    }
#endif
    const char* argv[] = {"pelvane-cli", "search", "--time", "300"};
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(4, argv, CliIo{out, err}), 0) << err.str();
    std::string lines = out.str();
    // Answers arrive in any order.
    EXPECT_TRUE(lines == "127.0.0.2\n127.0.0.3\n" || lines == "127.0.0.3\n127.0.0.2\n") << lines;
}

}  // namespace
}  // namespace pelvane::cli
