#include "kestrum_sim/simulator.h"

#include <random>

#include "sim/src/machine.h"
#include "sim/src/sim_hook.h"

namespace kestrum::sim {

struct Simulator::Impl {
    Impl(Bus bus, SimulatorOptions options, const Dialect& dialect, Clock::time_point start)
        : seed(dialect.seed ? *dialect.seed : std::random_device{}()),
          machine(std::move(bus), start),
          hook(machine, ForeignDialect(dialect.plain, dialect.wideRegisters, seed)),
          responder(machine, &hook),
          server(machine, std::move(options), &hook) {}

    const uint32_t seed;
    // Outlive the server, whose links run commands on them until it stops.
    Machine machine;
    SimHook hook;
    server::Responder responder;
    server::LinkServer server;
};

Simulator::Simulator(Bus bus, SimulatorOptions options, Dialect dialect, Clock::time_point start)
    : impl_(std::make_unique<Impl>(std::move(bus), std::move(options), dialect, start)) {}

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

server::Responder& Simulator::responder() {
    return impl_->responder;
}

SimModel& Simulator::model() {
    return impl_->machine;
}

}  // namespace kestrum::sim
