#include "kestrum_sim/simulator.h"

#include <random>

#include "sim/src/sim_commands.h"
#include "sim/src/sim_controller.h"
#include "sim/src/sim_hook.h"

namespace kestrum::sim {

struct Simulator::Impl {
    // The bus file's latency is the links' from the start, all else the controller's.
    Impl(const Bus& bus, SimulatorOptions options, const Dialect& dialect, Clock::time_point start)
        : seed(dialect.seed ? *dialect.seed : std::random_device{}()),
          controller(bus, start),
          commands(controller, bus.latencyMs),
          hook(controller, commands, ForeignDialect(dialect.plain, dialect.wideRegisters, seed)),
          responder(controller, &hook),
          server(controller, std::move(options), &hook) {}

    const uint32_t seed;
    // Outlive the server, whose links run commands on them until it stops.
    SimController controller;
    SimCommands commands;
    SimHook hook;
    server::Responder responder;
    server::LinkServer server;
};

Simulator::Simulator(Bus bus, SimulatorOptions options, Dialect dialect, Clock::time_point start)
    : impl_(std::make_unique<Impl>(bus, std::move(options), dialect, start)) {}

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
    return impl_->controller;
}

}  // namespace kestrum::sim
