#include "bench/gateway_loop.h"

#include <algorithm>

#include "kestrum/language/node_items.h"

namespace pelvane::bench {

namespace {

double MsBetween(ServedLine::Clock::time_point from, ServedLine::Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

}  // namespace

void ServedLine::Take(gateway::LineReport report) {
    std::lock_guard lock(mutex_);
    if (report.scan) scan_ = report.scan;
    // The empty bus served after a fault is no scan.
    if (report.scan && !report.scan->nodes.empty()) ++scans_;
    framesLost_ = report.framesLost;
    framesLate_ = report.framesLate;
    line_ = report.line;
    model_.Update(std::move(report));
}

ServedSample ServedLine::Sample(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    ServedSample sample;
    if (!scan_) return sample;
    sample.line = line_;
    sample.nodes = static_cast<std::size_t>(std::max(0, model_.NodeCount(now)));
    Clock::time_point newest{};
    for (std::size_t i = 0; i < scan_->nodes.size(); ++i) {
        const ecat::NodeScan& node = scan_->nodes[i];
        // Served counters are what a client's read of 0300H gets, not an error.
        const auto item =
            model_.NodeItem(static_cast<int32_t>(i), kestrum::language::kItemRegister300H, now);
        if (item.ok()) ++sample.countersServed;
        sample.oldestCountersMs = std::max(sample.oldestCountersMs, MsBetween(node.readAt, now));
        if (node.registersRead) newest = std::max(newest, node.readAt);
    }
    if (newest != Clock::time_point{}) sample.scanAgeMs = MsBetween(newest, now);
    return sample;
}

uint64_t ServedLine::framesLost() const {
    std::lock_guard lock(mutex_);
    return framesLost_;
}

uint64_t ServedLine::framesLate() const {
    std::lock_guard lock(mutex_);
    return framesLate_;
}

uint64_t ServedLine::scansPublished() const {
    std::lock_guard lock(mutex_);
    return scans_;
}

bool ServedLine::IdentityServed(std::size_t node) const {
    std::lock_guard lock(mutex_);
    if (!scan_ || node >= scan_->nodes.size()) return false;
    const ecat::NodeScan& n = scan_->nodes[node];
    return n.siiRead || n.siiFault != ecat::SiiFault::kNone;
}

std::size_t ServedLine::identitiesServed() const {
    std::lock_guard lock(mutex_);
    if (!scan_) return 0;
    return static_cast<std::size_t>(std::count_if(
        scan_->nodes.begin(), scan_->nodes.end(),
        [](const ecat::NodeScan& n) { return n.siiRead || n.siiFault != ecat::SiiFault::kNone; }));
}

ecat::SiiFault ServedLine::siiFault(std::size_t node) const {
    std::lock_guard lock(mutex_);
    if (!scan_ || node >= scan_->nodes.size()) return ecat::SiiFault::kNone;
    return scan_->nodes[node].siiFault;
}

bool AwaitIdentities(ServedLine& served, std::size_t busNodes, std::chrono::milliseconds within) {
    return SampleUntil(served, std::chrono::milliseconds(5), within, [&](const ServedSample& s) {
        return s.nodes == busNodes && served.identitiesServed() == busNodes;
    });
}

std::unique_ptr<LoopUnderTest> LoopUnderTest::Start(const std::string& interface,
                                                    std::chrono::milliseconds cycle,
                                                    std::string* error) {
    std::unique_ptr<LoopUnderTest> under(new LoopUnderTest);
    under->link_ = ecat::RawLink::Open(interface, error);
    if (!under->link_) return nullptr;
    under->master_ = std::make_unique<ecat::Master>(*under->link_, under->link_->mac());
    ServedLine& served = under->served_;
    under->loop_ = std::make_unique<gateway::ScanLoop>(
        *under->link_, *under->master_, cycle,
        [&served](gateway::LineReport report) { served.Take(std::move(report)); }, served.desk(),
        0);
    under->loop_->Start();
    return under;
}

}  // namespace pelvane::bench
