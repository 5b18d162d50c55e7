// A controller simulator: serves the link protocol and discovery for one
// simulated EtherCAT bus. Used by the kestrum-sim program and in-process by tests.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "kestrum/server/link_server.h"
#include "kestrum/server/responder.h"
#include "kestrum_sim/bus.h"
#include "kestrum_sim/sim_model.h"

namespace kestrum::sim {

using SimulatorOptions = server::LinkServerOptions;

// How the controller answers when it is not one of ours.
struct Dialect {
    // Only the commands and items our window sends; every error under a number of its own.
    bool plain = false;
    // Register items read as two bytes, the item's and the next.
    bool wideRegisters = false;
    // Draws plain mode's error numbers; unset: one from std::random_device.
    std::optional<uint32_t> seed;
};

class Simulator {
  public:
    // The bus's rates count from start.
    Simulator(Bus bus, SimulatorOptions options, Dialect dialect = {},
              server::Clock::time_point start = server::Clock::now());
    ~Simulator();  // stops
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Starts, stops and counts the links; Control runs a fault or control command
    // ("@SIM ...") as if a link had sent it.
    server::LinkServer& server();
    const server::LinkServer& server() const;
    // The seed plain mode's error numbers were drawn from, to repeat a run.
    uint32_t seed() const;
    // The server's answers without its sockets, at the times the caller gives: a request
    // as a link's thread hands it over, a command as Control runs it. For the fuzzer and
    // for tests that move the clock on; while the server serves, only in server().Locked.
    server::Responder& responder();

    // Runs f(model) between commands, for a thread that reads the bus alongside the
    // links. f must not call back into the simulator.
    template <class F>
    auto WithModel(F&& f) {
        using R = std::invoke_result_t<F&, SimModel&>;
        if constexpr (std::is_void_v<R>) {
            server().Locked([&] { f(model()); });
        } else {
            std::optional<R> result;
            server().Locked([&] { result.emplace(f(model())); });
            return std::move(*result);
        }
    }

  private:
    struct Impl;
    SimModel& model();

    std::unique_ptr<Impl> impl_;
};

}  // namespace kestrum::sim
