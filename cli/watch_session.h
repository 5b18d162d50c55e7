// The diagnosis polled again and again for a watch: the poll session with the time it
// covers and the controller it watches.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "cli/cli_io.h"
#include "nodes/poll_session.h"

namespace pelvane::cli {

class WatchSession {
  public:
    explicit WatchSession(std::string address) : address_(std::move(address)) {}

    // One poll, as the window's diagnosis page polls. False, said on io.err, once the
    // link failed or the controller stopped answering.
    bool PollOnce(const CliIo& io);

    Verdict Judge() const { return session_.Judge(); }

    const std::string& address() const { return address_; }
    int32_t nodeCount() const { return session_.nodeCount(); }
    int64_t polls() const { return session_.readings(); }
    const std::string& lostcountText() const { return session_.lostcountText(); }
    const CounterRises& rises() const { return session_.rises(); }
    const BusReading& last() const { return session_.last(); }
    // The tree of the latest poll, for the picture.
    const Topology* topology() const { return &session_.topology(); }
    // From the first poll to the latest.
    std::chrono::steady_clock::duration elapsed() const { return last_ - first_; }

  private:
    std::string address_;
    PollSession session_;
    std::chrono::steady_clock::time_point first_, last_;
};

}  // namespace pelvane::cli
