// Serves an emulated line on one Ethernet interface: every EtherCAT frame that arrives
// is answered on the same interface as the segment would return it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "kestrum_sim/line.h"

namespace kestrum::sim {

class SegmentServer {
  public:
    // Asked once for every frame, from the server's thread.
    using StateSource = std::function<LineState()>;

    // Unless anyInterface, only an end of a veth pair is served: frames answered on a
    // real network would pose as nodes to whatever master is on it.
    SegmentServer(std::string interface, StateSource source, bool anyInterface = false);
    ~SegmentServer();  // stops
    SegmentServer(const SegmentServer&) = delete;
    SegmentServer& operator=(const SegmentServer&) = delete;

    // Opens the interface (needs CAP_NET_RAW) and starts answering on a thread of its own.
    // False and a reason when the interface cannot be opened or is refused.
    bool Start(std::string* error);
    // Returns within a poll interval.
    void Stop();

    // Replies sent, held ones once sent; frames the line lost either way.
    uint64_t framesAnswered() const;
    uint64_t framesLost() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class Simulator;
// The line as simulator holds it, read under its lock for every frame, so a frame never
// sees a command halfway.
SegmentServer::StateSource LineOf(Simulator& simulator);

// The kernel driver behind an interface ("veth" for either end of a veth pair); empty
// when it cannot be told.
std::string InterfaceDriver(const std::string& interface);

}  // namespace kestrum::sim
