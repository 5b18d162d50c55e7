// One controller, polled on a thread of its own: links, polls every interval, and
// relinks with back-off when the controller stops answering.
#pragma once

#include <prometheus/client_metric.h>
#include <prometheus/histogram.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "exporter/bus_poll.h"
#include "exporter/bus_sample.h"

namespace pelvane::exporter {

using Millis = std::chrono::milliseconds;

// Back-off between link attempts: doubles from the first value up to the last.
inline constexpr Millis kFirstRetryDelay{1000};
inline constexpr Millis kLastRetryDelay{30000};

class ControllerPoller {
  public:
    ControllerPoller(std::string address, Millis interval,
                     Millis identityInterval = kDefaultIdentityInterval);
    ~ControllerPoller();
    ControllerPoller(const ControllerPoller&) = delete;
    ControllerPoller& operator=(const ControllerPoller&) = delete;

    void Start();
    // Prompt: a poll in progress finishes, waits end at once.
    void Stop();

    const std::string& address() const { return address_; }
    // The last poll's result; up is false before the first poll and while unlinked.
    std::shared_ptr<const BusSample> sample() const;
    prometheus::ClientMetric pollDuration() const { return pollDuration_.Collect(); }

  private:
    void Run(std::stop_token stop);
    bool Link();
    void Unlink();
    void Publish(BusSample sample);
    // False when asked to stop before the time was up.
    bool Sleep(std::stop_token stop, Millis time);

    const std::string address_;
    const Millis interval_;
    const Millis identityInterval_;
    prometheus::Histogram pollDuration_;

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::shared_ptr<const BusSample> sample_;
    std::jthread thread_;  // last: stopped and joined before the rest goes
};

}  // namespace pelvane::exporter
