// The gateway's scan loop run by the benchmark itself, publishing into a model of its own
// exactly as kestrum-gateway does, so that what is served can be sampled at any moment.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ecat/master.h"
#include "ecat/raw_link.h"
#include "ecat/scan.h"
#include "gateway/gateway_model.h"
#include "gateway/scan_loop.h"

namespace pelvane::bench {

namespace ecat = kestrum::ecat;
namespace gateway = kestrum::gateway;

// What the gateway serves at one moment.
struct ServedSample {
    std::size_t nodes = 0;           // the node count served
    std::size_t countersServed = 0;  // nodes whose counters are served, not "not answered"
    double oldestCountersMs = 0;     // the largest age of a node's counters served
    double scanAgeMs = 0;            // since the served scan's registers were answered
    gateway::LineCondition line = gateway::LineCondition::kUp;  // as the report says
};

// Takes the loop's reports under a lock of its own, as the gateway's link server does.
class ServedLine {
  public:
    using Clock = std::chrono::steady_clock;

    void Take(gateway::LineReport report);
    ServedSample Sample(Clock::time_point now);
    // Where the loop finds the drives' requests; it locks itself.
    gateway::DriveDesk& desk() { return model_.desk(); }
    // The Lostcount served and the late frames counted.
    uint64_t framesLost() const;
    uint64_t framesLate() const;
    // Scans published so far, the empty bus served after a fault not counted.
    uint64_t scansPublished() const;
    // The node's SII read or given up on, as served.
    bool IdentityServed(std::size_t node) const;
    std::size_t identitiesServed() const;
    // The served node's SII fault, or kNone.
    ecat::SiiFault siiFault(std::size_t node) const;

  private:
    mutable std::mutex mutex_;
    gateway::GatewayModel model_{gateway::GatewayIdentity{"", "", 10}};
    std::shared_ptr<const ecat::BusScan> scan_;  // the one the model answers from
    uint64_t framesLost_ = 0;
    uint64_t framesLate_ = 0;
    uint64_t scans_ = 0;
    gateway::LineCondition line_ = gateway::LineCondition::kUp;
};

// A port, its master and the scan loop on it. Only one may run on a port at a time: a
// second master's frames would be taken for another master.
class LoopUnderTest {
  public:
    static std::unique_ptr<LoopUnderTest> Start(const std::string& interface,
                                                std::chrono::milliseconds cycle,
                                                std::string* error);
    ServedLine& served() { return served_; }

  private:
    LoopUnderTest() = default;

    std::unique_ptr<ecat::RawLink> link_;
    std::unique_ptr<ecat::Master> master_;
    ServedLine served_;
    std::unique_ptr<gateway::ScanLoop> loop_;  // last: stopped before the rest goes
};

// Until every node of the bus is served with its identity, or why it has none.
bool AwaitIdentities(ServedLine& served, std::size_t busNodes, std::chrono::milliseconds within);

// Samples every period until done says so or the limit has passed; false at the limit.
template <typename Done>
bool SampleUntil(ServedLine& served, std::chrono::milliseconds period,
                 std::chrono::milliseconds limit, Done done) {
    const auto until = ServedLine::Clock::now() + limit;
    for (auto now = ServedLine::Clock::now(); now < until; now = ServedLine::Clock::now()) {
        if (done(served.Sample(now))) return true;
        std::this_thread::sleep_for(period);
    }
    return false;
}

}  // namespace pelvane::bench
