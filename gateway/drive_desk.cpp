#include "gateway/drive_desk.h"

#include <algorithm>

namespace kestrum::gateway {
namespace {

using ecat::SdoOutcome;

// At most this many different requests wait; a client asking faster than the line
// answers is told so. At most kMaxKept answers are kept: the oldest go first.
constexpr std::size_t kMaxAsked = 512;
constexpr std::size_t kMaxKept = 2048;

SdoOutcome Unanswered(uint16_t position, ecat::SdoAddress object, std::string why) {
    SdoOutcome outcome;
    outcome.position = position;
    outcome.object = object;
    outcome.kind = SdoOutcome::Kind::kNoAnswer;
    outcome.why = std::move(why);
    return outcome;
}

}  // namespace

void DriveDesk::OnAsk(std::function<void()> wake) {
    std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
}

SdoOutcome DriveDesk::Ask(uint16_t position, ecat::SdoAddress object, Clock::time_point now) {
    std::unique_lock lock(mutex_);
    const Key key = KeyOf(position, object);
    const auto found = latest_.find(key);
    if (object == kStatusWord) {
        statusAsked_[position] = now;
        // What the background poll found, a value or a failure, is served while fresh.
        if (found != latest_.end() && now - found->second.outcome.at <= kFreshFor)
            return found->second.outcome;
    } else {
        const auto waiting = std::make_pair(position, object);
        if (std::find(asked_.begin(), asked_.end(), waiting) == asked_.end()) {
            if (asked_.size() >= kMaxAsked)
                return Unanswered(position, object, "too many objects asked at once");
            asked_.push_back(waiting);
        }
    }
    const uint64_t before = found == latest_.end() ? 0 : found->second.generation;
    const uint64_t epoch = epoch_;
    if (wake_) wake_();
    const bool came = answered_.wait_until(lock, now + kAskWait, [&] {
        const auto latest = latest_.find(key);
        return epoch_ != epoch || (latest != latest_.end() && latest->second.generation > before);
    });
    if (epoch_ != epoch) return Unanswered(position, object, "the line changed while it was read");
    if (!came)
        return Unanswered(position, object,
                          ecat::SdoObjectText(object) + " not read within " +
                              std::to_string(kAskWait.count()) + " ms");
    return latest_.at(key).outcome;
}

std::vector<std::pair<uint16_t, ecat::SdoAddress>> DriveDesk::Due(
    Clock::time_point now, const std::function<bool(uint16_t)>& busy) {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<uint16_t, ecat::SdoAddress>> due;
    std::vector<uint16_t> taken;
    const auto free = [&](uint16_t position) {
        return !busy(position) && std::find(taken.begin(), taken.end(), position) == taken.end();
    };
    for (auto it = asked_.begin(); it != asked_.end();) {
        if (!free(it->first)) {
            ++it;
            continue;
        }
        taken.push_back(it->first);
        due.push_back(*it);
        it = asked_.erase(it);
    }
    for (auto it = statusAsked_.begin(); it != statusAsked_.end();) {
        if (now - it->second > kPollFor) {
            it = statusAsked_.erase(it);
            continue;
        }
        const auto latest = latest_.find(KeyOf(it->first, kStatusWord));
        if (free(it->first) &&
            (latest == latest_.end() || now - latest->second.outcome.at >= kPollEvery)) {
            taken.push_back(it->first);
            due.emplace_back(it->first, kStatusWord);
        }
        ++it;
    }
    return due;
}

void DriveDesk::Post(std::vector<SdoOutcome> outcomes) {
    if (outcomes.empty()) return;
    {
        std::lock_guard lock(mutex_);
        for (SdoOutcome& outcome : outcomes) {
            Latest& latest = latest_[KeyOf(outcome.position, outcome.object)];
            latest.outcome = std::move(outcome);
            latest.generation = ++generation_;
        }
        while (latest_.size() > kMaxKept)
            latest_.erase(
                std::min_element(latest_.begin(), latest_.end(), [](const auto& a, const auto& b) {
                    return a.second.outcome.at < b.second.outcome.at;
                }));
    }
    answered_.notify_all();
}

void DriveDesk::Emergencies(std::map<uint16_t, std::deque<ecat::TimedEmergency>> emergencies) {
    std::lock_guard lock(mutex_);
    emergencies_ = std::move(emergencies);
}

void DriveDesk::Forget() {
    {
        std::lock_guard lock(mutex_);
        latest_.clear();
        asked_.clear();
        emergencies_.clear();
        ++epoch_;
    }
    answered_.notify_all();
}

std::vector<std::pair<uint16_t, std::string>> DriveDesk::Findings() const {
    std::lock_guard lock(mutex_);
    std::vector<std::pair<uint16_t, std::string>> findings;
    for (const auto& [key, latest] : latest_) {
        const SdoOutcome& outcome = latest.outcome;
        if (outcome.kind == SdoOutcome::Kind::kAnswered ||
            outcome.kind == SdoOutcome::Kind::kNoAnswer)
            findings.emplace_back(key.first,
                                  ecat::SdoObjectText(outcome.object) + " " + outcome.why);
    }
    for (const auto& [position, kept] : emergencies_)
        for (const auto& timed : kept)
            findings.emplace_back(position, ecat::EmergencyText(timed.emergency));
    std::stable_sort(findings.begin(), findings.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return findings;
}

}  // namespace kestrum::gateway
