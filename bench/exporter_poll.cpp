// Time per poll of pelvane-exporter beside the window's diagnosis poll of the same bus,
// and the time to build and serialise the metrics, against an in-process simulator.
#include <prometheus/text_serializer.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <thread>
#include <vector>

#include "bench/bench_link.h"
#include "bench/bench_stats.h"
#include "bench/window_poll.h"
#include "controller/controller_state.h"
#include "exporter/bus_poll.h"
#include "exporter/metrics.h"
#include "nodes/error_poll.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
double Timed(F&& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void ComparePolls(int rounds) {
    pelvane::ErrorCounterTable table{};
    pelvane::bench::WindowPoll windowPoll;
    auto exporterPoll = std::make_unique<pelvane::exporter::BusPoll>();
    exporterPoll->Poll();  // the identities, read once on linking
    std::vector<double> window, exporter;
    for (int i = 0; i < rounds; ++i) {
        window.push_back(Timed([&] { windowPoll.Poll(table); }));
        exporter.push_back(Timed([&] { exporterPoll->Poll(); }));
    }
    std::printf("poll, %d nodes: window %.2f ms, exporter %.2f ms (median of %d)\n",
                windowPoll.nodeCount, pelvane::bench::Summarise(window).median,
                pelvane::bench::Summarise(exporter).median, rounds);
}

void TimeScrape(const std::string& address, int rounds) {
    pelvane::exporter::ControllerPoller poller(address, std::chrono::milliseconds(1000));
    pelvane::exporter::BusMetrics metrics({&poller});
    poller.Start();
    while (!poller.sample()->up) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<double> ms;
    size_t bytes = 0;
    for (int i = 0; i < rounds; ++i) {
        ms.push_back(Timed([&] {
            std::ostringstream out;
            prometheus::TextSerializer().Serialize(out, metrics.Collect());
            bytes = out.str().size();
        }));
    }
    std::printf("metrics built and serialised: %.2f ms, %zu bytes (median of %d)\n",
                pelvane::bench::Summarise(ms).median, bytes, rounds);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"pelvane-exporter poll against the window's poll"};
    std::string busPath = "sim/buses/large.json";
    std::string address = "127.0.63.1";
    int rounds = 20;
    app.add_option("--bus", busPath, "bus file")->capture_default_str();
    app.add_option("--address", address, "loopback address for the simulator")
        ->capture_default_str();
    app.add_option("--rounds", rounds)->check(CLI::Range(1, 10000));
    CLI11_PARSE(app, argc, argv);
    const auto sim = pelvane::bench::ServeAndLink(busPath, address);
    if (!sim) return 1;
    ComparePolls(rounds);
    TimeScrape(address, rounds);
    KST_Close(pelvane::g_controllerHandle);
    return 0;
}
