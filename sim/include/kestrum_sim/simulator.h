// A controller simulator: serves the link protocol and discovery for one
// simulated EtherCAT bus. Used by the kestrum-sim program and in-process by tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kestrum_sim/bus.h"

namespace kestrum::sim {

// A link whose client sends without reading stops being read once this much waits for it.
inline constexpr std::size_t kMaxBacklogBytes = 4u << 20;

struct SimulatorOptions {
    std::string address = "127.0.0.1";  // dotted IPv4; links and discovery answers use it
    uint16_t port = 17180;              // TCP for links, UDP for discovery
    bool discovery = true;              // answer discovery probes
    int verbosity = 0;                  // 0 quiet, 1 connections and faults, 2 every command
    bool allowNonLoopback = false;      // refuse addresses outside 127.0.0.0/8 unless set
    int idleLimitMs = 0;  // close a link silent this long while owed no reply; 0: never
};

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
    std::unique_ptr<Impl> impl_;
};

}  // namespace kestrum::sim
