#include "nodes/poll_session.h"

#include <algorithm>

#include "nodes/lostcount.h"

namespace pelvane {

bool PollSession::PollOnce() {
    BusReading reading;
    reading.lostcountText = poll_.ReadLostcountText();
    poll_.PollNodes(table_, polledCount_);
    if (!poll_.linkAnswered()) return false;
    reading.countRead = poll_.countRead();
    for (int32_t node = 0; node < polledCount_; ++node) {
        const auto i = static_cast<size_t>(node);
        CounterReadings counters;
        for (int k = 0; k < kCounterCount; ++k)
            if (poll_.counterRead(node, k)) counters[static_cast<size_t>(k)] = table_[k][i];
        reading.counters.push_back(counters);
        reading.statusWords.push_back(table_[kStatusWord][i]);
    }
    Take(reading);
    return true;
}

void PollSession::Take(const BusReading& reading) {
    last_ = reading;
    last_.counters.resize(std::min(reading.counters.size(), size_t{kPollCapacity}));
    last_.statusWords.resize(last_.counters.size(), kStatusWordUnread);
    for (size_t i = 0; i < last_.counters.size(); ++i)
        for (int k = 0; k < kCounterCount; ++k)
            rises_.Take(static_cast<int32_t>(i), k, last_.counters[i][static_cast<size_t>(k)]);
    if (const std::optional<int32_t> lost = LostCountValue(last_.lostcountText)) {
        if (lostCount_) lostRise_ += LostCountRise(*lostCount_, *lost);
        lostCount_ = lost;
    }
    if (reading.countRead) nodeCounts_.Take(nodeCount());
    ++readings_;
}

Verdict PollSession::Judge() const {
    Verdict verdict = JudgeRises(rises_, nodeCount(), lostRise_);
    verdict.line = nodeCounts_;
    return verdict;
}

}  // namespace pelvane
