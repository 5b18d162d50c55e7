// pelvane-cli check against in-process simulators on 127.0.61.x: one fault a run, on the
// plant's tree or on an older controller that reports no topology.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_app.h"
#include "kestrum_sim/simulator.h"

namespace pelvane::cli {
namespace {

using namespace std::chrono_literals;

struct Case {
    const char* bus;
    // before: set on the fresh simulator; during: once the second poll asks for the count,
    // for a fault that happens once rather than at a rate.
    std::vector<std::string> before, during;
    std::vector<std::string> verdictParts;  // each in the verdict line
    const char* once = nullptr;             // a line the output holds exactly once
    bool verbose = false;
};

std::unique_ptr<kestrum::sim::Simulator> Serve(const char* bus, const std::string& address) {
    std::string error;
    auto loaded = kestrum::sim::LoadBusFile(std::string(KESTRUM_SIM_BUS_DIR "/") + bus, &error);
    if (!loaded) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    kestrum::sim::SimulatorOptions options;
    options.address = address;
    options.discovery = false;
    auto sim = std::make_unique<kestrum::sim::Simulator>(std::move(*loaded), options);
    if (!sim->server().Start(&error)) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    return sim;
}

// Runs check while the case's faults happen; returns its output.
std::string Check(kestrum::sim::Simulator& sim, const Case& c, const std::string& address) {
    for (const std::string& command : c.before) EXPECT_EQ(sim.server().Control(command), "OK\r\n");
    std::thread meanwhile([&] {
        const auto limit = std::chrono::steady_clock::now() + 10s;
        const auto countQueries = [&] {
            const auto commands = sim.server().ReceivedCommands();
            return std::count(commands.begin(), commands.end(), "?NODE_COUNT(0)");
        };
        while (!c.during.empty() && countQueries() < 2 && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(5ms);
        for (const std::string& command : c.during) sim.server().Control(command);
    });
    const char* argv[] = {"pelvane-cli", "check",      address.c_str(), "--duration",
                          "1",           "--interval", "100",           "-v"};
    std::ostringstream out, err;
    const int code =
        RunCli(static_cast<int>(std::size(argv)) - (c.verbose ? 0 : 1), argv, CliIo{out, err});
    meanwhile.join();
    EXPECT_EQ(code, 3) << out.str() << err.str();
    return out.str();
}

std::string VerdictLine(const std::string& out) {
    const size_t at = out.find("verdict: ");
    return at == std::string::npos ? "" : out.substr(at, out.find('\n', at) - at);
}

TEST(TreeCheck, VerdictNamesTheCablePortOrNode) {
    const Case cases[] = {
        {"plant.json",
         {"@SIM CABLE 1 20"},
         {},
         {"cable between Node0 and Node1, seen by Node0 port 2 (302H +",
          ") and Node1 port 1 (300H +"}},
        // The coupler's branch, on its port 4.
        {"plant.json",
         {"@SIM CABLE 3 20"},
         {},
         {"cable between Node2 and Node3, seen by Node2 port 4 (306H +",
          ") and Node3 port 1 (300H +"}},
        // The junction's first and last branches, and the end of a branch.
        {"plant.json",
         {"@SIM CABLE 9 20"},
         {},
         {"cable between Node8 and Node9, seen by Node8 port 4 (306H +",
          ") and Node9 port 1 (300H +"}},
        {"plant.json",
         {"@SIM CABLE 15 20"},
         {},
         {"cable between Node8 and Node15, seen by Node8 port 3 (304H +",
          ") and Node15 port 1 (300H +"}},
        {"plant.json",
         {"@SIM CABLE 19 20"},
         {},
         {"cable between Node18 and Node19, seen by Node18 port 2 (302H +",
          ") and Node19 port 1 (300H +"}},
        {"plant.json",
         {},
         {"@SIM LINK_FLAP 8 4 3"},
         {"Node8 port 4 lost its link 3 times", "Node9 port 1 lost its link 3 times"}},
        {"plant.json", {"@SIM PU_ERRORS 5 20"}, {}, {"Node5 itself, not a cable (30CH +"}},
        {"plant.json", {"@SIM PDI_ERRORS 5 20"}, {}, {"Node5 itself, not a cable (30DH +"}},
        // A controller that knows neither the bulk read nor the DL status: 300H..303H alone.
        {"demo.json",
         {"@SIM ODD ?NODE_REGS ERROR", "@SIM ODD ?NODE_INFO(0,0,272) ERROR", "@SIM COUNTERS 6 1 0",
          "@SIM COUNTERS 6 0 20"},
         {},
         {"cable between Node5 and Node6, seen by Node6 port 1 (300H +", ", 301H +"},
         "topology: not reported by the controller, read as a line\n"},
        // A node whose DL status cannot be read: the rest of the tree is guessed, said with -v.
        {"plant.json",
         {"@SIM CABLE 1 20", "@SIM ODD ?NODE_REGS(0,12,272 ERROR",
          "@SIM ODD ?NODE_INFO(0,12,27 ERROR"},
         {},
         {"cable between Node0 and Node1"},
         "topology: Node12 DL status not read: the rest placed as a line\n",
         true},
    };
    int host = 0;
    for (const Case& c : cases) {
        const std::string address = "127.0.61." + std::to_string(++host);
        const auto sim = Serve(c.bus, address);
        ASSERT_TRUE(sim);
        const std::string out = Check(*sim, c, address);
        const std::string verdict = VerdictLine(out);
        const std::string& fault = c.before.empty() ? c.during.front() : c.before.front();
        for (const std::string& part : c.verdictParts)
            EXPECT_NE(verdict.find(part), std::string::npos) << fault << "\n" << out;
        if (c.once) {
            const size_t first = out.find(c.once);
            EXPECT_TRUE(first != std::string::npos &&
                        out.find(c.once, first + 1) == std::string::npos)
                << out;
        }
        sim->server().Stop();
    }
}

}  // namespace
}  // namespace pelvane::cli
