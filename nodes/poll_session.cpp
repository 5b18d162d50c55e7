#include "nodes/poll_session.h"

#include <algorithm>

#include "controller/controller_link.h"
#include "controller/queries.h"
#include "nodes/lostcount.h"

namespace pelvane {

namespace {

Unread Merged(const Unread& first, const Unread& latest) {
    Unread both = first;
    both.count = first.count || latest.count;
    both.nodes.insert(both.nodes.end(), latest.nodes.begin(), latest.nodes.end());
    std::sort(both.nodes.begin(), both.nodes.end());
    both.nodes.erase(std::unique(both.nodes.begin(), both.nodes.end()), both.nodes.end());
    if (!both.why) both.why = latest.why;
    return both;
}

}  // namespace

Unread UnreadOf(const BusReading& reading) {
    Unread unread;
    unread.count = !reading.countRead;
    for (size_t i = 0; i < reading.counters.size(); ++i)
        for (int r = 0; r < kCounterCount; ++r)
            if (!reading.counters[i][static_cast<size_t>(r)]) {
                unread.nodes.push_back(static_cast<int32_t>(i));
                break;
            }
    if (unread.count || !unread.nodes.empty()) unread.why = reading.failure;
    return unread;
}

bool PollSession::PollOnce() {
    BusReading reading;
    reading.lostcountText = report_.ReadLostcountText();
    int32_t count = polledCount_;
    bool countFound = false;
    lastStatus_ = GetNodeCount(&count, &countFound);
    if (lastStatus_ == 0 && !countFound) lastStatus_ = kResultNotANumber;
    reading.countRead = lastStatus_ == 0;
    if (reading.countRead)
        polledCount_ = std::clamp(count, 0, kPollCapacity);
    else
        reading.failure = ReadFailure{NodeCountCommand(), lastStatus_, {}};
    for (int32_t node = 0; node < polledCount_; ++node) {
        NodeRegisters registers = registers_.Read(node, lastStatus_);
        if (!reading.failure) reading.failure = registers.failure;
        reading.counters.push_back(registers.counters);
        reading.dlStatus.push_back(registers.dlStatus);
        reading.statusWords.push_back(PollStatusWord(node, lastStatus_));
    }
    // The poll goes on through failed queries: only its last one tells a dead link.
    if (LinkFailed(lastStatus_)) return false;
    Take(reading);
    return true;
}

void PollSession::Take(const BusReading& reading) {
    last_ = reading;
    last_.counters.resize(std::min(reading.counters.size(), size_t{kPollCapacity}));
    last_.statusWords.resize(last_.counters.size(), kStatusWordUnread);
    last_.dlStatus.resize(last_.counters.size());
    for (size_t i = 0; i < last_.counters.size(); ++i)
        for (int r = 0; r < kRegisterCount; ++r)
            rises_.Take(static_cast<int32_t>(i), r, last_.counters[i][static_cast<size_t>(r)]);
    topology_ = ComputeTopology(last_.dlStatus);
    latestUnread_ = UnreadOf(last_);
    if (readings_ == 0) firstUnread_ = latestUnread_;
    if (const std::optional<int32_t> lost = LostCountValue(last_.lostcountText)) {
        if (lostCount_) lostRise_ += LostCountRise(*lostCount_, *lost);
        lostCount_ = lost;
    }
    if (reading.countRead) {
        nodeCounts_.Take(nodeCount());
        if (topology_.complete && topology_.nodes.size() >= widest_.nodes.size())
            widest_ = topology_;
    }
    ++readings_;
}

bool PollSession::topologyReported() const {
    return last_.dlStatus.empty() ||
           std::ranges::any_of(last_.dlStatus, [](const auto& dl) { return dl.has_value(); });
}

// The first branch of the widest tree, in position order, whose port is no longer open on
// a node still there.
std::optional<LineBreakPlace> PollSession::BreakPlace() const {
    if (!topology_.complete || widest_.line) return std::nullopt;
    for (size_t i = 1; i < widest_.nodes.size(); ++i) {
        const TopologyNode& node = widest_.nodes[i];
        if (!node.parent || static_cast<size_t>(*node.parent) >= topology_.nodes.size()) continue;
        const TopologyNode& now = topology_.nodes[static_cast<size_t>(*node.parent)];
        if (!now.children[static_cast<size_t>(node.parentPort)])
            return LineBreakPlace{*node.parent, node.parentPort, static_cast<int32_t>(i)};
    }
    return std::nullopt;
}

Verdict PollSession::Judge() const {
    Evidence evidence{nodeCount(),
                      lostRise_,
                      &topology_,
                      nodeCounts_,
                      std::nullopt,
                      topologyReported(),
                      Merged(firstUnread_, latestUnread_),
                      registers_.steps()};
    if (span_ == Span::kApart) {
        evidence.nodeCounts = {};
        evidence.nodeCounts.Take(nodeCount());
    } else {
        evidence.breakPlace = BreakPlace();
    }
    return pelvane::Judge(rises_, evidence);
}

}  // namespace pelvane
