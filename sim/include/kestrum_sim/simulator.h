// A controller simulator: serves the link protocol and discovery for one
// simulated EtherCAT bus. Used by the kestrum-sim program and in-process by tests.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "kestrum_sim/bus.h"
#include "kestrum_sim/link_server.h"

namespace kestrum::sim {

using SimulatorOptions = LinkServerOptions;

class Machine;

class Simulator {
  public:
    Simulator(Bus bus, SimulatorOptions options);
    ~Simulator();  // stops
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Binds and starts serving on a thread of its own. False and a reason on failure.
    bool Start(std::string* error = nullptr);
    void Stop();

    // Runs a fault or control command ("@SIM ...") as if a link had sent it; returns what
    // it prints. Safe to call from any thread while running.
    std::string Control(const std::string& command);

    // Runs f(machine) between commands, for a thread that reads the bus alongside the
    // links. f must not call back into the simulator.
    template <class F>
    auto WithMachine(F&& f) {
        return server().WithInterpreter([&](CommandInterpreter&) { return f(machine()); });
    }

    // For tests: links accepted so far, links currently open, reply bytes held for links
    // and not yet sent, commands received so far.
    std::size_t AcceptedLinks() const;
    std::size_t OpenLinks() const;
    std::size_t BufferedBytes() const;
    std::vector<std::string> ReceivedCommands() const;
    void ClearReceivedCommands();

    // After Start the port is the one bound (useful with port 0).
    const SimulatorOptions& options() const;

  private:
    struct Impl;
    LinkServer& server();
    Machine& machine();

    std::unique_ptr<Impl> impl_;
};

}  // namespace kestrum::sim
