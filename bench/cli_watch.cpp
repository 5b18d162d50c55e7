// Time per poll of pelvane-cli's watch beside the window's diagnosis poll, on the same
// bus, against an in-process simulator; the two kinds alternate in rounds.
#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <vector>

#include "bench/bench_link.h"
#include "bench/bench_stats.h"
#include "bench/window_poll.h"
#include "cli/watch_session.h"
#include "cli/watch_view.h"
#include "controller/controller_state.h"
#include "nodes/error_poll.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double Timed(F&& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"pelvane-cli watch poll against the window's poll"};
    std::string busPath = "sim/buses/large.json";
    std::string address = "127.0.62.1";
    int rounds = 10, perRound = 10;
    app.add_option("--bus", busPath, "bus file")->capture_default_str();
    app.add_option("--address", address, "loopback address for the simulator")
        ->capture_default_str();
    app.add_option("--rounds", rounds)->check(CLI::Range(1, 10000));
    app.add_option("--per-round", perRound)->check(CLI::Range(1, 10000));
    CLI11_PARSE(app, argc, argv);
    const auto sim = pelvane::bench::ServeAndLink(busPath, address);
    if (!sim) return 1;

    std::ostringstream sink;
    const pelvane::cli::CliIo io{sink, sink};
    pelvane::bench::WindowPoll window;
    pelvane::cli::WatchSession session(address);
    pelvane::cli::ChangeLines lines;
    std::vector<double> windowMs, lineMs, terminalMs;
    for (int r = 0; r < rounds; ++r) {
        for (int i = 0; i < perRound; ++i)
            windowMs.push_back(Timed([&] { window.Poll(pelvane::g_errorCounterTable); }));
        for (int i = 0; i < perRound; ++i)
            lineMs.push_back(Timed([&] {
                session.PollOnce(io);
                sink << lines.Next(session, std::chrono::system_clock::now());
            }));
        for (int i = 0; i < perRound; ++i)
            terminalMs.push_back(Timed([&] {
                session.PollOnce(io);
                sink << pelvane::cli::TerminalFrame(session, 300);
            }));
    }
    std::printf("nodes polled: %d\n", session.nodeCount());
    std::printf("%-34s %8s %8s\n", "ms per poll", "median", "mean");
    const auto row = [](const char* what, const std::vector<double>& ms) {
        const pelvane::bench::Summary s = pelvane::bench::Summarise(ms);
        std::printf("%-34s %8.2f %8.2f\n", what, s.median, s.mean);
    };
    row("window (the page's poll)", windowMs);
    row("cli watch, line per change", lineMs);
    row("cli watch, terminal redraw", terminalMs);
    KST_Close(pelvane::g_controllerHandle);
    return 0;
}
