#include "kestrum_sim/simulator.h"

#include "machine.h"

namespace kestrum::sim {

struct Simulator::Impl {
    Impl(Bus bus, SimulatorOptions options)
        : machine(std::move(bus)), server(machine, std::move(options)) {}

    // Outlives the server, whose links run commands on it until it stops.
    Machine machine;
    LinkServer server;
};

Simulator::Simulator(Bus bus, SimulatorOptions options)
    : impl_(std::make_unique<Impl>(std::move(bus), std::move(options))) {}

Simulator::~Simulator() = default;

bool Simulator::Start(std::string* error) {
    return impl_->server.Start(error);
}

void Simulator::Stop() {
    impl_->server.Stop();
}

std::string Simulator::Control(const std::string& command) {
    return impl_->server.Control(command);
}

std::size_t Simulator::AcceptedLinks() const {
    return impl_->server.AcceptedLinks();
}

std::size_t Simulator::OpenLinks() const {
    return impl_->server.OpenLinks();
}

std::size_t Simulator::BufferedBytes() const {
    return impl_->server.BufferedBytes();
}

std::vector<std::string> Simulator::ReceivedCommands() const {
    return impl_->server.ReceivedCommands();
}

void Simulator::ClearReceivedCommands() {
    impl_->server.ClearReceivedCommands();
}

const SimulatorOptions& Simulator::options() const {
    return impl_->server.options();
}

LinkServer& Simulator::server() {
    return impl_->server;
}

Machine& Simulator::machine() {
    return impl_->machine;
}

}  // namespace kestrum::sim
