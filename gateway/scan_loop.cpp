#include "gateway/scan_loop.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace kestrum::gateway {

namespace {

// EEPROM work a cycle: an SII read goes on over as many cycles as it takes, and no scan
// waits for it.
constexpr std::chrono::milliseconds kIdentityBudget{2};

LineCondition FromFailure(ecat::ExchangeFailure failure) {
    switch (failure) {
        case ecat::ExchangeFailure::kAnotherMaster:
            return LineCondition::kAnotherMaster;
        case ecat::ExchangeFailure::kCirculating:
            return LineCondition::kCirculating;
        default:
            return LineCondition::kNoReply;
    }
}

}  // namespace

ScanLoop::ScanLoop(ecat::FrameChannel& port, ecat::Master& master, std::chrono::milliseconds cycle,
                   Publish publish, DriveDesk& desk, int verbosity, bool raiseToPreop)
    : port_(port),
      master_(master),
      scanner_(master),
      mailboxes_(master),
      desk_(desk),
      cycle_(cycle),
      publish_(std::move(publish)),
      verbosity_(verbosity) {
    if (raiseToPreop) raiser_ = std::make_unique<ecat::StateRaiser>(master);
}

ScanLoop::~ScanLoop() {
    Stop();
}

void ScanLoop::Start() {
    desk_.OnAsk([this] {
        std::lock_guard lock(mutex_);
        asked_ = true;
        wake_.notify_all();
    });
    thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

void ScanLoop::Stop() {
    thread_.request_stop();
    if (thread_.joinable()) thread_.join();
    desk_.OnAsk(nullptr);
    // The loop's thread is gone: the master is free.
    if (raiser_) raiser_->LowerAll();
}

void ScanLoop::TryReopen() {
    const auto now = Clock::now();
    if (now < nextReopen_) return;
    std::string error;
    if (port_.Reopen(&error)) {
        reopen_.Reset();
        if (verbosity_ > 0) std::fprintf(stderr, "port: open again\n");
        return;
    }
    nextReopen_ = now + reopen_.Next();
}

LineCondition ScanLoop::AfterFailedScan() {
    // Heard during the scan: whatever else failed, that master comes first.
    if (master_.HeldBack()) return LineCondition::kAnotherMaster;
    if (master_.lastFailure() == ecat::ExchangeFailure::kSendFailed) {
        switch (port_.State()) {
            case ecat::PortState::kGone:
                return LineCondition::kPortGone;
            case ecat::PortState::kNoCarrier:
                return LineCondition::kNoLink;
            default:
                break;
        }
    }
    return FromFailure(master_.lastFailure());
}

std::optional<ecat::BusScan> ScanLoop::Cycle(LineCondition* found) {
    switch (port_.State()) {
        case ecat::PortState::kGone:
            *found = LineCondition::kPortGone;
            TryReopen();
            return std::nullopt;
        case ecat::PortState::kNoCarrier:
            *found = LineCondition::kNoLink;
            return std::nullopt;
        case ecat::PortState::kUp:
            break;
    }
    reopen_.Reset();
    if (master_.HeldBack()) {
        master_.Listen(cycle_);
        *found = LineCondition::kAnotherMaster;
        return std::nullopt;
    }
    // After a fault long enough to empty the bus, another line may be plugged in.
    if (watch_.Stale(Clock::now())) scanner_.Forget();
    std::string error;
    auto scan = scanner_.Scan(&error);
    if (verbosity_ > 1 && !scan) std::fprintf(stderr, "scan: %s\n", error.c_str());
    // A count that no node answered is no line.
    if (scan && !scan->nodes.empty()) {
        *found = master_.HeldBack() ? LineCondition::kAnotherMaster : LineCondition::kUp;
        return scan;
    }
    *found = scan ? LineCondition::kNoReply : AfterFailedScan();
    return std::nullopt;
}

void ScanLoop::SayScan(const ecat::BusScan& scan) {
    if (scan.nodes.size() != saidCount_ || scan.frames != saidFrames_) {
        saidCount_ = scan.nodes.size();
        saidFrames_ = scan.frames;
        std::fprintf(
            stderr,
            "scan: %zu nodes in %zu frames of at most %zu bytes, %llu EEPROM commands so far\n",
            saidCount_, saidFrames_, master_.maxFrameBytes(),
            static_cast<unsigned long long>(scanner_.eepromCommands()));
    }
    if (scan.counted != saidCounted_ && scan.counted > scan.nodes.size())
        std::fprintf(stderr, "scan: the line counts %zu nodes, only the first %zu are served\n",
                     scan.counted, scan.nodes.size());
    saidCounted_ = scan.counted;
}

void ScanLoop::Say(const LineReport& report) {
    if (verbosity_ <= 0) return;
    if (report.line != said_) {
        said_ = report.line;
        std::fprintf(stderr,
                     "line: %s (%llu lost, %llu late, %llu circulating, %llu foreign frames)\n",
                     LineText(report.line, report.loss).c_str(),
                     static_cast<unsigned long long>(master_.framesLost()),
                     static_cast<unsigned long long>(master_.framesLate()),
                     static_cast<unsigned long long>(master_.framesCirculating()),
                     static_cast<unsigned long long>(master_.framesForeign()));
    }
    if (report.framesLate != saidLate_) {
        saidLate_ = report.framesLate;
        std::fprintf(stderr, "frames: %llu late replies so far\n",
                     static_cast<unsigned long long>(saidLate_));
    }
    if (report.scan) SayScan(*report.scan);
}

void ScanLoop::Run(std::stop_token stop) {
    static const auto kEmptyBus = std::make_shared<const ecat::BusScan>();
    auto next = Clock::now();
    for (;;) {
        LineCondition found = LineCondition::kUp;
        // A fault dates from the cycle that met it: its own retries count towards it.
        const auto began = Clock::now();
        auto scan = Cycle(&found);
        const auto now = Clock::now();
        master_.Settle(now);
        watch_.Observe(found, began);
        watch_.Count(master_.framesSent(), master_.framesLost(), now);
        LineReport report{nullptr, master_.framesLost(), watch_.Shown(now), master_.framesLate(),
                          watch_.Loss()};
        if (scan)
            report.scan = std::make_shared<const ecat::BusScan>(std::move(*scan));
        else if (watch_.Stale(now))
            report.scan = kEmptyBus;
        if (report.scan && mailboxes_.Follow(*report.scan)) desk_.Forget();
        if (raiser_ && scan && found == LineCondition::kUp) RaiseNodes(*report.scan, now);
        Say(report);
        publish_(std::move(report));
        // A scan slower than the cycle is followed at once, never by a burst.
        next = std::max(next + cycle_, Clock::now());
        // What the registers showed is served already; identities are read a little each
        // cycle, and the next scan serves them.
        if (found == LineCondition::kUp) scanner_.ReadIdentities(Clock::now() + kIdentityBudget);
        for (const std::string& note : scanner_.TakeNotes())
            if (verbosity_ > 0) std::fprintf(stderr, "sii: %s\n", note.c_str());
        if (!MailboxesUntil(next, found == LineCondition::kUp, stop)) return;
    }
}

void ScanLoop::RaiseNodes(const ecat::BusScan& scan, Clock::time_point now) {
    raiser_->Follow(scan, now);
    for (const std::string& note : raiser_->TakeNotes())
        if (verbosity_ > 0) std::fprintf(stderr, "preop: %s\n", note.c_str());
}

bool ScanLoop::MailboxesUntil(Clock::time_point next, bool lineUp, std::stop_token stop) {
    for (;;) {
        if (lineUp) StepMailboxes(next);
        const auto now = Clock::now();
        if (now >= next) return !stop.stop_requested();
        const auto wakeAt = mailboxes_.Active() ? std::min(next, now + kMailboxStep) : next;
        std::unique_lock lock(mutex_);
        wake_.wait_until(lock, stop, wakeAt, [this] { return asked_; });
        asked_ = false;
        if (stop.stop_requested()) return false;
    }
}

void ScanLoop::StepMailboxes(Clock::time_point next) {
    while (Clock::now() + kMailboxRoom < next) {
        const auto now = Clock::now();
        for (const auto& [position, object] :
             desk_.Due(now, [this](uint16_t p) { return mailboxes_.Busy(p); })) {
            if (mailboxes_.Start(position, object, now)) continue;
            ecat::SdoOutcome gone;
            gone.position = position;
            gone.object = object;
            gone.why = "Node" + std::to_string(position) + " is not on the line";
            gone.at = now;
            desk_.Post({gone});
        }
        if (!mailboxes_.Active()) return;
        const uint64_t emergencies = mailboxes_.emergenciesSeen();
        desk_.Post(mailboxes_.Step(next));
        if (mailboxes_.emergenciesSeen() != emergencies)
            desk_.Emergencies(mailboxes_.emergencies());
        for (const std::string& note : mailboxes_.TakeNotes())
            if (verbosity_ > 0) std::fprintf(stderr, "mailbox: %s\n", note.c_str());
        // Requests all waiting on their nodes: a short pause, not a burst of polls.
        if (mailboxes_.Waiting()) return;
    }
}

}  // namespace kestrum::gateway
