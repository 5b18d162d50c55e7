// kestrum-sim: serves one simulated controller until SIGINT or SIGTERM.
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "kestrum_sim/simulator.h"

int main(int argc, char** argv) {
    CLI::App app{"Simulated motion controller with an EtherCAT bus"};
    std::string busPath;
    kestrum::sim::SimulatorOptions options;
    bool noDiscovery = false;
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
    CLI11_PARSE(app, argc, argv);
    options.discovery = !noDiscovery;

    std::string error;
    auto bus = kestrum::sim::LoadBusFile(busPath, &error);
    if (!bus) {
        std::fprintf(stderr, "kestrum-sim: %s\n", error.c_str());
        return 1;
    }

    // Blocked before the serving thread starts, so only sigwait below sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    kestrum::sim::Simulator simulator(std::move(*bus), options);
    if (!simulator.Start(&error)) {
        std::fprintf(stderr, "kestrum-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("listening on %s:%u\n", simulator.options().address.c_str(),
                static_cast<unsigned>(simulator.options().port));
    std::fflush(stdout);

    int signal = 0;
    sigwait(&signals, &signal);
    simulator.Stop();
    return 0;
}
