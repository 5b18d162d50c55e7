// Serves an emulated line on one Ethernet interface: every EtherCAT frame that arrives
// is answered on the same interface as the segment would return it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>

#include "ecat/raw_link.h"
#include "sim/src/segment/emulated_line.h"
#include "sim/src/segment/held_replies.h"

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
    uint64_t framesAnswered() const { return answered_.load(); }
    uint64_t framesLost() const { return lost_.load(); }

  private:
    void Run();
    // How long Receive may wait: up to the next held reply or the second master's cycle.
    std::chrono::microseconds Wait() const;
    void Answer(std::span<const uint8_t> frame);
    void SendDue();
    // Between frames: the port opened again if it went away, and the second master's
    // frame sent when one is due.
    void Tend(bool idle);

    std::string interface_;
    StateSource source_;
    bool anyInterface_;
    std::unique_ptr<pelvane::ecat::RawLink> link_;
    EmulatedLine line_;
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> answered_{0};
    std::atomic<uint64_t> lost_{0};
    HeldReplies held_;
    bool secondMaster_ = false;
    bool secondMasterUnicast_ = false;
    uint8_t secondMasterIndex_ = 0;
    std::chrono::steady_clock::time_point nextForeign_{};
    std::thread thread_;
};

class Simulator;
// The line as simulator holds it, read under its lock for every frame, so a frame never
// sees a command halfway.
SegmentServer::StateSource LineOf(Simulator& simulator);

// The kernel driver behind an interface ("veth" for either end of a veth pair); empty
// when it cannot be told.
std::string InterfaceDriver(const std::string& interface);

}  // namespace kestrum::sim
