// The diagnosis polled again and again, with the rises since the first poll.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "cli_io.h"
#include "counter_rises.h"
#include "error_poll.h"
#include "verdict.h"

namespace pelvane::cli {

class WatchSession {
  public:
    explicit WatchSession(std::string address) : address_(std::move(address)) {}

    // One poll, as the window's diagnosis page polls. False, said on io.err, once the
    // link failed or the controller stopped answering.
    bool PollOnce(const CliIo& io);

    Verdict Judge() const { return JudgeRises(rises_, nodeCount(), lostRise_); }

    const std::string& address() const { return address_; }
    int32_t nodeCount() const { return poll_.nodeCount(); }
    int64_t polls() const { return polls_; }
    const std::string& lostcountText() const { return lostcountText_; }
    const CounterRises& rises() const { return rises_; }
    const ErrorCounterTable& table() const { return table_; }
    // From the first poll to the latest.
    std::chrono::steady_clock::duration elapsed() const { return last_ - first_; }

  private:
    std::string address_;
    ErrorPoll poll_;
    ErrorCounterTable table_{};
    CounterRises rises_;
    std::string lostcountText_;
    std::optional<int32_t> lostCount_;
    int64_t lostRise_ = 0;
    int64_t polls_ = 0;
    std::chrono::steady_clock::time_point first_, last_;
};

}  // namespace pelvane::cli
