// kestrum-gateway: a Linux Ethernet port cabled to an EtherCAT line, served as a
// controller that speaks our link protocol, read only.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "common/stop_signals.h"
#include "ecat/raw_link.h"
#include "gateway/gateway.h"

namespace {

using kestrum::gateway::GatewayOptions;

// A diagnosis port carries no IPv4 address; one that does is most likely a LAN.
std::string Refusal(const GatewayOptions& options, bool force) {
    const auto state = kestrum::ecat::QueryInterface(options.interface);
    if (!state.exists) return "no interface " + options.interface;
    if (!state.up) return options.interface + " is down (ip link set " + options.interface + " up)";
    if (state.mtu < kestrum::ecat::kMinMtu)
        return options.interface + " has an MTU of " + std::to_string(state.mtu) + ", below the " +
               std::to_string(kestrum::ecat::kMinMtu) + " a scan needs";
    if (state.hasIpv4 && !force)
        return options.interface +
               " carries an IPv4 address, so it is likely not a spare port cabled to an "
               "EtherCAT line; --force uses it all the same";
    return {};
}

int Serve(const GatewayOptions& options, const common::StopSignals& stopSignals) {
    kestrum::gateway::Gateway gateway(options);
    std::string error;
    if (!gateway.Start(&error)) {
        std::cerr << "kestrum-gateway: " << error << "\n";
        return 1;
    }
    // Scripts wait for this line.
    std::cout << "serving " << options.interface << " on " << options.address << std::endl;
    stopSignals.Wait();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread starts.
    const common::StopSignals stopSignals;

    CLI::App app{
        "Serves an EtherCAT line on a Linux Ethernet port as a controller; reads registers and "
        "SII, asks drives through their mailboxes",
        "kestrum-gateway"};
    GatewayOptions options;
    bool force = false;
    app.add_option("--interface", options.interface, "the port cabled to the line")->required();
    app.add_option("--address", options.address, "IPv4 address to serve links and the search on")
        ->capture_default_str();
    app.add_option("--cycle", options.cycleMs, "milliseconds between scans")
        ->check(CLI::Range(1, 60000))
        ->capture_default_str();
    app.add_flag("-v", options.verbosity, "say what happens (twice: every command)");
    app.add_flag("--force", force, "use a port that carries an IPv4 address");
    app.add_flag("--preop", options.preop,
                 "take nodes found in INIT to PREOP so that their mailboxes open, and back to "
                 "INIT on exit (writes SyncManagers 0 and 1 and AL control)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help asked for is a success; every other parse failure is a usage error.
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (const std::string refusal = Refusal(options, force); !refusal.empty()) {
        std::cerr << "kestrum-gateway: " << refusal << "\n";
        return 2;
    }
    return Serve(options, stopSignals);
}
