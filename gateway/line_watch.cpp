#include "gateway/line_watch.h"

namespace pelvane::gateway {

std::string_view LineConditionText(LineCondition condition) {
    switch (condition) {
        case LineCondition::kUp:
            return "up";
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

LineCondition LineWatch::Shown(Clock::time_point now) const {
    if (fault_ == LineCondition::kNoReply && !Stale(now)) return LineCondition::kUp;
    return fault_;
}

bool LineWatch::Stale(Clock::time_point now) const {
    return faultSince_ && now - *faultSince_ >= kStaleAfter;
}

}  // namespace pelvane::gateway
