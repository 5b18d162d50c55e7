// A controller simulator: serves the link protocol and discovery for one
// simulated EtherCAT bus. Used by the kestrum-sim program and in-process by tests.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "kestrum/server/link_server.h"
#include "kestrum_sim/bus.h"

namespace kestrum::sim {

using SimulatorOptions = server::LinkServerOptions;

class Machine;

class Simulator {
  public:
    Simulator(Bus bus, SimulatorOptions options);
    ~Simulator();  // stops
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Starts, stops and counts the links; Control runs a fault or control command
    // ("@SIM ...") as if a link had sent it.
    server::LinkServer& server();
    const server::LinkServer& server() const;

    // Runs f(machine) between commands, for a thread that reads the bus alongside the
    // links. f must not call back into the simulator.
    template <class F>
    auto WithMachine(F&& f) {
        using R = std::invoke_result_t<F&, Machine&>;
        if constexpr (std::is_void_v<R>) {
            server().Locked([&] { f(machine()); });
        } else {
            std::optional<R> result;
            server().Locked([&] { result.emplace(f(machine())); });
            return std::move(*result);
        }
    }

  private:
    struct Impl;
    Machine& machine();

    std::unique_ptr<Impl> impl_;
};

}  // namespace kestrum::sim
