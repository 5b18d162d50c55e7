// Commands and time per headless poll of a node's DL status and registers 300H..313H,
// read in bulk, item by item and as the four counters alone, beside the window's poll of
// the four receive-error counters, against an in-process simulator of ours and one of a
// controller of another make. The kinds alternate poll by poll, so that a slow spell of the
// machine falls on all of them alike.
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
using pelvane::RegisterSource;

enum Kind : int { kBulk, kItems, kCounters, kToday, kKindCount };

constexpr const char* kKindNames[kKindCount] = {"bulk (?NODE_REGS)", "items (?NODE_INFO)",
                                                "counters alone", "today: 300H..303H"};
// A headless poll reaches each of its sources, on our simulator, when the ones before it
// are refused; the other make refuses all but the last of them.
constexpr const char* kRefusals[kKindCount][2] = {
    {}, {"?NODE_REGS"}, {"?NODE_REGS", "?NODE_INFO(0,0,272)"}, {}};

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

void Refuse(kestrum::sim::Simulator& sim, Kind kind, const char* mode) {
    for (const char* prefix : kRefusals[kind])
        if (prefix != nullptr)
            (void)sim.server().Control(std::string("@SIM ODD ") + prefix + " " + mode);
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
    bool plain = false;
    std::array<Row, kKindCount> rows;
};

std::vector<Kind> KindsOf(bool plain) {
    if (plain) return {kCounters, kToday};
    return {kBulk, kItems, kCounters, kToday};
}

RegisterSource SourceOf(Kind kind) {
    if (kind == kBulk) return RegisterSource::kBulk;
    return kind == kItems ? RegisterSource::kItems : RegisterSource::kCountersOnly;
}

// Each kind gets one poll first, untimed: a headless poll learns there what is refused.
bool RunBus(const std::string& busPath, const std::string& address, int polls, BusRun& run) {
    const auto sim = pelvane::bench::ServeAndLink(busPath, address);
    if (!sim) return false;
    if (run.plain) (void)sim->server().Control("@SIM PLAIN 1");
    std::array<pelvane::PollSession, kToday> sessions;
    pelvane::bench::WindowPoll today;
    std::array<Figures, kKindCount> figures;
    bool answered = true;
    for (int i = -1; i < polls; ++i) {
        std::array<Figures, kKindCount> warmup;
        auto& into = i < 0 ? warmup : figures;
        for (const Kind kind : KindsOf(run.plain)) {
            if (kind == kToday) {
                Measure(*sim, into[kind], [&] { today.Poll(pelvane::g_errorCounterTable); });
                continue;
            }
            Refuse(*sim, kind, "ERROR");
            Measure(*sim, into[kind], [&] { answered &= sessions[kind].PollOnce(); });
            Refuse(*sim, kind, "OFF");
        }
    }
    pelvane::CloseControllerLink();
    run.nodes = sessions[kCounters].nodeCount();
    for (const Kind kind : KindsOf(run.plain))
        answered &= kind == kToday || sessions[kind].registerSource() == SourceOf(kind);
    if (!answered) {
        std::fprintf(stderr, "%s: the polls did not read as meant\n", busPath.c_str());
        return false;
    }
    for (const Kind kind : KindsOf(run.plain)) run.rows[kind] = RowOf(figures[kind]);
    return true;
}

double Ratio(double a, double b) {
    return b > 0 ? a / b : 0;
}

void Print(const std::string& busPath, const BusRun& run, int polls) {
    std::printf("\n%s: %d nodes, %d polls each, %s\n", busPath.c_str(), run.nodes, polls,
                run.plain ? "a controller of another make (--plain)" : "our simulator");
    std::printf("%-20s %9s %9s %9s %9s %9s\n", "poll", "commands", "per node", "reg cmds",
                "median ms", "worst ms");
    for (const Kind kind : KindsOf(run.plain)) {
        const Row& r = run.rows[kind];
        std::printf("%-20s %8.0f%s %9.2f %9.0f %9.2f %9.2f\n", kKindNames[kind], r.commands,
                    r.steady ? " " : "~", Ratio(r.commands, run.nodes), r.registerCommands,
                    r.ms.median, r.ms.worst);
    }
    const Row& today = run.rows[kToday];
    std::printf("%-20s %9s %9s %9s %9s %9s\n", "against today", "commands", "", "reg cmds",
                "median", "worst");
    for (const Kind kind : KindsOf(run.plain)) {
        if (kind == kToday) continue;
        const Row& r = run.rows[kind];
        std::printf("%-20s %8.2fx %9s %8.2fx %8.2fx %8.2fx\n", kKindNames[kind],
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
        for (const bool plain : {false, true}) {
            BusRun run;
            run.plain = plain;
            if (!RunBus(bus, address, polls, run)) return 1;
            Print(bus, run, polls);
        }
    }
    std::printf(
        "\ncommands and reg cmds: median per poll (~: not alike in every poll); "
        "reg cmds: ?NODE_REGS and ?NODE_INFO\n");
    return 0;
}
