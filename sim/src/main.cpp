// kestrum-sim: serves one simulated controller until SIGINT or SIGTERM.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "common/stop_signals.h"
#include "kestrum_sim/segment_server.h"
#include "kestrum_sim/simulator.h"

namespace {

std::unique_ptr<kestrum::sim::SegmentServer> ServeSegment(kestrum::sim::Simulator& simulator,
                                                          const std::string& interface,
                                                          bool anyInterface, std::string* error) {
    auto segment = std::make_unique<kestrum::sim::SegmentServer>(
        interface, kestrum::sim::LineOf(simulator), anyInterface);
    if (!segment->Start(error)) return nullptr;
    return segment;
}

int Fail(const std::string& error) {
    std::fprintf(stderr, "kestrum-sim: %s\n", error.c_str());
    return 1;
}

// The options that make the simulator a controller of another make; gives --seed's.
CLI::Option* AddDialectOptions(CLI::App& app, kestrum::sim::Dialect& dialect, uint32_t& seed) {
    app.add_flag("--plain", dialect.plain,
                 "answer as a controller of another make: only the window's commands and "
                 "items, error numbers of its own");
    app.add_flag("--wide-registers", dialect.wideRegisters,
                 "read register items as two bytes, the item's and the next");
    return app.add_option("--seed", seed, "seed for --plain's error numbers (default: random)");
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Simulated motion controller with an EtherCAT bus"};
    std::string busPath;
    kestrum::sim::SimulatorOptions options;
    bool noDiscovery = false;
    std::string segmentInterface;
    bool anySegmentInterface = false;
    kestrum::sim::Dialect dialect;
    uint32_t seed = 0;
    app.add_option("--bus", busPath, "bus file (JSON)")->required();
    app.add_option("--address", options.address, "IPv4 address to serve on")->capture_default_str();
    app.add_option("--port", options.port, "TCP port for links, UDP port for discovery")
        ->capture_default_str();
    app.add_flag("-v", options.verbosity, "-v connections and faults, -vv every command");
    app.add_flag("--no-discovery", noDiscovery, "do not answer discovery probes");
    app.add_flag("--allow-non-loopback", options.allowNonLoopback,
                 "allow an address outside 127.0.0.0/8");
    app.add_option("--idle-limit", options.idleLimitMs,
                   "close a link that sends nothing for this many ms while owed no reply "
                   "(0: never)")
        ->check(CLI::Range(0, 86400000))
        ->capture_default_str();
    app.add_option("--segment", segmentInterface,
                   "also answer EtherCAT frames on this interface as the bus's line of nodes "
                   "(an end of a veth pair)");
    app.add_flag("--allow-any-segment-interface", anySegmentInterface,
                 "allow --segment on an interface that is not an end of a veth pair");
    CLI::Option* seedOption = AddDialectOptions(app, dialect, seed);
    CLI11_PARSE(app, argc, argv);
    options.discovery = !noDiscovery;
    if (*seedOption) dialect.seed = seed;

    std::string error;
    auto bus = kestrum::sim::LoadBusFile(busPath, &error);
    if (!bus) return Fail(error);

    // Before any serving thread starts.
    const common::StopSignals stopSignals;
    kestrum::sim::Simulator simulator(std::move(*bus), options, dialect);
    if (!simulator.server().Start(&error)) return Fail(error);
    std::unique_ptr<kestrum::sim::SegmentServer> segment;
    if (!segmentInterface.empty()) {
        segment = ServeSegment(simulator, segmentInterface, anySegmentInterface, &error);
        if (!segment) {
            simulator.server().Stop();
            return Fail(error);
        }
    }
    // Before the line scripts wait for, so that a run can be repeated with --seed.
    if (dialect.plain)
        std::printf("error codes drawn from seed %u\n", static_cast<unsigned>(simulator.seed()));
    // Printed once the segment answers too, for scripts that wait for it.
    std::printf("listening on %s:%u\n", simulator.server().options().address.c_str(),
                static_cast<unsigned>(simulator.server().options().port));
    std::fflush(stdout);

    stopSignals.Wait();
    if (segment) segment->Stop();
    simulator.server().Stop();
    return 0;
}
