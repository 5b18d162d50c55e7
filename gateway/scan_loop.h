// Scans the segment every cycle on a thread of its own, watches the port and the line,
// and hands on what is to be served.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "common/backoff.h"
#include "ecat/mailbox.h"
#include "ecat/preop.h"
#include "ecat/scan.h"
#include "gateway/drive_desk.h"
#include "gateway/line_watch.h"

namespace kestrum::gateway {

// What one cycle hands to the server.
struct LineReport {
    std::shared_ptr<const ecat::BusScan> scan;  // none: the last one still stands
    uint64_t framesLost = 0;
    LineCondition line = LineCondition::kUp;
    uint64_t framesLate = 0;
    RecentLoss loss;
};

class ScanLoop {
  public:
    using Clock = std::chrono::steady_clock;
    // Runs on the loop's thread, once a cycle.
    using Publish = std::function<void(LineReport)>;
    // The first and the longest wait between two tries to open a port that went away.
    static constexpr std::chrono::milliseconds kFirstReopenWait{50};
    static constexpr std::chrono::milliseconds kMaxReopenWait{1000};

    // A mailbox step waits this long for the next when every request waits on its node;
    // none starts with less than kMailboxRoom left before the next scan, so that its
    // replies come in time and the scan on time.
    static constexpr std::chrono::milliseconds kMailboxStep{1};
    static constexpr std::chrono::milliseconds kMailboxRoom{3};

    ScanLoop(ecat::FrameChannel& port, ecat::Master& master, std::chrono::milliseconds cycle,
             Publish publish, DriveDesk& desk, int verbosity, bool raiseToPreop = false);
    ~ScanLoop();
    ScanLoop(const ScanLoop&) = delete;
    ScanLoop& operator=(const ScanLoop&) = delete;

    void Start();
    // Prompt: a scan in progress finishes, the wait ends at once. Nodes raised to PREOP
    // go back to INIT.
    void Stop();

  private:
    void Run(std::stop_token stop);
    // One cycle: the port first, then the line unless something keeps us quiet.
    std::optional<ecat::BusScan> Cycle(LineCondition* found);
    LineCondition AfterFailedScan();
    void TryReopen();
    void Say(const LineReport& report);
    void SayScan(const ecat::BusScan& scan);
    // Mailbox steps until the next scan is due, or none waits; then waits for the scan
    // or a new request. False when the loop is to stop.
    bool MailboxesUntil(Clock::time_point next, bool lineUp, std::stop_token stop);
    void StepMailboxes(Clock::time_point next);
    void RaiseNodes(const ecat::BusScan& scan, Clock::time_point now);

    ecat::FrameChannel& port_;
    ecat::Master& master_;
    ecat::Scanner scanner_;
    ecat::Mailboxes mailboxes_;
    std::unique_ptr<ecat::StateRaiser> raiser_;  // only when nodes are to be raised
    DriveDesk& desk_;
    LineWatch watch_;
    const std::chrono::milliseconds cycle_;
    const Publish publish_;
    const int verbosity_;
    common::Backoff reopen_{kFirstReopenWait, kMaxReopenWait};
    Clock::time_point nextReopen_{};
    LineCondition said_ = LineCondition::kUp;
    size_t saidCount_ = SIZE_MAX;
    size_t saidFrames_ = 0;
    size_t saidCounted_ = 0;
    uint64_t saidLate_ = 0;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    bool asked_ = false;   // a request came while the loop waited
    std::jthread thread_;  // last: stopped and joined before the rest goes
};

}  // namespace kestrum::gateway
