#include "kestrum_sim/simulator.h"

#include <random>

#include "sim/src/machine.h"
#include "sim/src/sim_hook.h"

namespace kestrum::sim {

struct Simulator::Impl {
    Impl(Bus bus, SimulatorOptions options, const Dialect& dialect)
        : seed(dialect.seed ? *dialect.seed : std::random_device{}()),
          machine(std::move(bus)),
          hook(machine, ForeignDialect(dialect.plain, dialect.wideRegisters, seed)),
          server(machine, std::move(options), &hook) {}

    const uint32_t seed;
    // Outlive the server, whose links run commands on them until it stops.
    Machine machine;
    SimHook hook;
    server::LinkServer server;
};

Simulator::Simulator(Bus bus, SimulatorOptions options, Dialect dialect)
    : impl_(std::make_unique<Impl>(std::move(bus), std::move(options), dialect)) {}

Simulator::~Simulator() = default;

server::LinkServer& Simulator::server() {
    return impl_->server;
}

const server::LinkServer& Simulator::server() const {
    return impl_->server;
}

uint32_t Simulator::seed() const {
    return impl_->seed;
}

Machine& Simulator::machine() {
    return impl_->machine;
}

}  // namespace kestrum::sim
