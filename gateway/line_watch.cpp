#include "gateway/line_watch.h"

namespace kestrum::gateway {

namespace {

// One cycle a millisecond for a second, with room: samples never grow past this.
constexpr size_t kMaxSamples = 4096;

}  // namespace

std::string_view LineConditionText(LineCondition condition) {
    switch (condition) {
        case LineCondition::kUp:
            return "up";
        case LineCondition::kLosingFrames:
            return "losing frames";
        case LineCondition::kNoReply:
            return "no reply";
        case LineCondition::kNoLink:
            return "no link";
        case LineCondition::kPortGone:
            return "port gone";
        case LineCondition::kAnotherMaster:
            return "another master";
        case LineCondition::kCirculating:
            return "circulating";
    }
    return "no reply";
}

std::string LineText(LineCondition condition, RecentLoss loss) {
    std::string text(LineConditionText(condition));
    if (condition == LineCondition::kLosingFrames)
        text += " (" + std::to_string(loss.lost) + " of " + std::to_string(loss.sent) +
                " in the last second)";
    return text;
}

void LineWatch::Observe(LineCondition found, Clock::time_point now) {
    if (found == LineCondition::kUp) {
        faultSince_.reset();
        fault_ = LineCondition::kUp;
        return;
    }
    // The fault's age counts from its first sign, whatever it turns into meanwhile.
    if (!faultSince_) faultSince_ = now;
    fault_ = found;
}

void LineWatch::Count(uint64_t framesSent, uint64_t framesLost, Clock::time_point now) {
    samples_.push_back({now, framesSent, framesLost});
    while (samples_.size() > kMaxSamples ||
           (samples_.size() > 1 && now - samples_[1].at >= kLossWindow))
        samples_.pop_front();
}

RecentLoss LineWatch::Loss() const {
    if (samples_.size() < 2) return {};
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    return {last.lost - first.lost, last.sent - first.sent};
}

LineCondition LineWatch::Shown(Clock::time_point now) const {
    if (fault_ != LineCondition::kUp && (fault_ != LineCondition::kNoReply || Stale(now)))
        return fault_;
    // More than 1 %.
    const RecentLoss loss = Loss();
    if (loss.lost * 100 > loss.sent) return LineCondition::kLosingFrames;
    return LineCondition::kUp;
}

bool LineWatch::Stale(Clock::time_point now) const {
    return faultSince_ && now - *faultSince_ >= kStaleAfter;
}

}  // namespace kestrum::gateway
