// Commands and time per headless poll of a node's DL status and registers 300H..313H,
// read in bulk and item by item, beside the window's poll of the four receive-error
// counters, against an in-process simulator. The three kinds alternate poll by poll, so
// that a slow spell of the machine falls on all of them alike.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_link.h"
#include "bench/bench_stats.h"
#include "bench/window_poll.h"
#include "controller/controller_link.h"
#include "nodes/poll_session.h"

namespace {

using Clock = std::chrono::steady_clock;

enum Kind : int { kBulk, kItems, kToday, kKindCount };

constexpr const char* kKindNames[kKindCount] = {"bulk (?NODE_REGS)", "items (?NODE_INFO)",
                                                "today: 300H..303H"};

struct Figures {
    std::vector<double> ms;
    std::vector<double> commands;
    std::vector<double> registerCommands;  // ?NODE_REGS and ?NODE_INFO
};

struct Row {
    double commands = 0;
    double registerCommands = 0;
    bool steady = true;  // every poll sent as many commands
    pelvane::bench::Summary ms;
};

bool IsRegisterCommand(const std::string& command) {
    return command.starts_with("?NODE_REGS") || command.starts_with("?NODE_INFO");
}

// Runs one poll and takes its time and the commands the simulator received for it.
template <typename F>
void Measure(kestrum::sim::Simulator& sim, Figures& into, F&& poll) {
    sim.server().ClearReceivedCommands();
    const auto start = Clock::now();
    poll();
    into.ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    const std::vector<std::string> received = sim.server().ReceivedCommands();
    into.commands.push_back(static_cast<double>(received.size()));
    into.registerCommands.push_back(
        static_cast<double>(std::ranges::count_if(received, IsRegisterCommand)));
}

// Sets the rule that turns the headless poll to single items; gives what it set.
std::string RefuseBulk(kestrum::sim::Simulator& sim) {
    if (sim.server().Control("@SIM ODD ?NODE_REGS ERROR").starts_with("OK")) return "ERROR";
    // A simulator without refusals: an odd bulk reply falls back for that node alone.
    (void)sim.server().Control("@SIM ODD ?NODE_REGS EMPTY");
    return "EMPTY";
}

Row RowOf(const Figures& f) {
    Row row;
    row.ms = pelvane::bench::Summarise(f.ms);
    row.commands = pelvane::bench::Summarise(f.commands).median;
    row.registerCommands = pelvane::bench::Summarise(f.registerCommands).median;
    const auto [fewest, most] = std::ranges::minmax(f.commands);
    row.steady = fewest == most;
    return row;
}

struct BusRun {
    int nodes = 0;
    std::string refusal;
    std::array<Row, kKindCount> rows;
};

// Each kind gets one poll first, untimed: the items poll learns there that bulk is refused.
bool RunBus(const std::string& busPath, const std::string& address, int polls, BusRun& run) {
    const auto sim = pelvane::bench::ServeAndLink(busPath, address);
    if (!sim) return false;
    pelvane::PollSession bulk, items;
    pelvane::bench::WindowPoll today;
    std::array<Figures, kKindCount> figures;
    bool answered = true;
    for (int i = -1; i < polls; ++i) {
        std::array<Figures, kKindCount> warmup;
        auto& into = i < 0 ? warmup : figures;
        Measure(*sim, into[kBulk], [&] { answered &= bulk.PollOnce(); });
        run.refusal = RefuseBulk(*sim);
        Measure(*sim, into[kItems], [&] { answered &= items.PollOnce(); });
        (void)sim->server().Control("@SIM ODD ?NODE_REGS OFF");
        Measure(*sim, into[kToday], [&] { today.Poll(pelvane::g_errorCounterTable); });
    }
    pelvane::CloseControllerLink();
    run.nodes = bulk.nodeCount();
    const bool itemsRefused = items.registerSource() != pelvane::RegisterSource::kBulk;
    if (!answered || bulk.registerSource() != pelvane::RegisterSource::kBulk ||
        (run.refusal == "ERROR" && !itemsRefused)) {
        std::fprintf(stderr, "%s: the polls did not read as meant\n", busPath.c_str());
        return false;
    }
    for (int k = 0; k < kKindCount; ++k)
        run.rows[static_cast<size_t>(k)] = RowOf(figures[static_cast<size_t>(k)]);
    return true;
}

double Ratio(double a, double b) {
    return b > 0 ? a / b : 0;
}

void Print(const std::string& busPath, const BusRun& run, int polls) {
    std::printf("\n%s: %d nodes, %d polls each; items: @SIM ODD ?NODE_REGS %s\n", busPath.c_str(),
                run.nodes, polls, run.refusal.c_str());
    std::printf("%-20s %9s %9s %9s %9s %9s\n", "poll", "commands", "per node", "reg cmds",
                "median ms", "worst ms");
    for (int k = 0; k < kKindCount; ++k) {
        const Row& r = run.rows[static_cast<size_t>(k)];
        std::printf("%-20s %8.0f%s %9.2f %9.0f %9.2f %9.2f\n", kKindNames[k], r.commands,
                    r.steady ? " " : "~", Ratio(r.commands, run.nodes), r.registerCommands,
                    r.ms.median, r.ms.worst);
    }
    const Row& today = run.rows[kToday];
    std::printf("%-20s %9s %9s %9s %9s %9s\n", "against today", "commands", "", "reg cmds",
                "median", "worst");
    for (int k : {kBulk, kItems}) {
        const Row& r = run.rows[static_cast<size_t>(k)];
        std::printf("%-20s %8.2fx %9s %8.2fx %8.2fx %8.2fx\n", kKindNames[k],
                    Ratio(r.commands, today.commands), "",
                    Ratio(r.registerCommands, today.registerCommands),
                    Ratio(r.ms.median, today.ms.median), Ratio(r.ms.worst, today.ms.worst));
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"headless poll of the extended registers against the window's poll"};
    std::vector<std::string> buses = {"sim/buses/plant.json", "sim/buses/large.json"};
    std::string address = "127.0.62.5";
    int polls = 30;
    app.add_option("--bus", buses, "bus files")->capture_default_str();
    app.add_option("--address", address, "loopback address for the simulator")
        ->capture_default_str();
    app.add_option("--polls", polls)->check(CLI::Range(1, 10000))->capture_default_str();
    CLI11_PARSE(app, argc, argv);
    for (const std::string& bus : buses) {
        BusRun run;
        if (!RunBus(bus, address, polls, run)) return 1;
        Print(bus, run, polls);
    }
    std::printf(
        "\ncommands and reg cmds: median per poll (~: not alike in every poll); "
        "reg cmds: ?NODE_REGS and ?NODE_INFO\n");
    return 0;
}
