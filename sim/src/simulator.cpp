#include "kestrum_sim/simulator.h"

#include "sim/src/machine.h"
#include "sim/src/sim_hook.h"

namespace kestrum::sim {

struct Simulator::Impl {
    Impl(Bus bus, SimulatorOptions options)
        : machine(std::move(bus)), hook(machine), server(machine, std::move(options), &hook) {}

    // Outlive the server, whose links run commands on them until it stops.
    Machine machine;
    SimHook hook;
    server::LinkServer server;
};

Simulator::Simulator(Bus bus, SimulatorOptions options)
    : impl_(std::make_unique<Impl>(std::move(bus), std::move(options))) {}

Simulator::~Simulator() = default;

server::LinkServer& Simulator::server() {
    return impl_->server;
}

const server::LinkServer& Simulator::server() const {
    return impl_->server;
}

Machine& Simulator::machine() {
    return impl_->machine;
}

}  // namespace kestrum::sim
