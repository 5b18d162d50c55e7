// The drives' objects between the link server and the scan loop: what commands ask, and
// what the mailboxes answered. Status words of drives asked lately are polled in the
// background, so the window's poll of every drive is answered at once; other objects are
// read when asked. The server's thread waits here, bounded, while the loop reads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ecat/mailbox.h"

namespace kestrum::gateway {

class DriveDesk {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr ecat::SdoAddress kStatusWord{ecat::kStatusWordObject, 0};
    // A drive asked for its status word is polled this long after, this often; a value
    // no older than kFreshFor is served without asking the drive.
    static constexpr std::chrono::seconds kPollFor{10};
    static constexpr std::chrono::milliseconds kPollEvery{100};
    static constexpr std::chrono::milliseconds kFreshFor{300};
    // Longer than the mailbox's own waits together, and a cycle more.
    static constexpr std::chrono::milliseconds kAskWait =
        ecat::Mailboxes::kTakeWait + ecat::Mailboxes::kAnswerWait + std::chrono::milliseconds(50);

    // Called when a new request waits, so that the loop reads it at once.
    void OnAsk(std::function<void()> wake);

    // On the server's side: the object's value, or why there is none, waiting until
    // now + kAskWait at most.
    ecat::SdoOutcome Ask(uint16_t position, ecat::SdoAddress object, Clock::time_point now);

    // On the loop's side: uploads to start now at positions not busy, asked ones first.
    std::vector<std::pair<uint16_t, ecat::SdoAddress>> Due(
        Clock::time_point now, const std::function<bool(uint16_t)>& busy);
    void Post(std::vector<ecat::SdoOutcome> outcomes);
    void Emergencies(std::map<uint16_t, std::deque<ecat::TimedEmergency>> emergencies);
    // The line changed: nothing read before stands.
    void Forget();

    // For the report, a line each: objects whose latest read failed after a request was
    // sent, and the emergencies kept.
    std::vector<std::pair<uint16_t, std::string>> Findings() const;

  private:
    using Key = std::pair<uint16_t, uint32_t>;
    static Key KeyOf(uint16_t position, ecat::SdoAddress object) {
        return {position, uint32_t{object.index} << 8 | object.subindex};
    }
    struct Latest {
        ecat::SdoOutcome outcome;
        uint64_t generation = 0;
    };

    mutable std::mutex mutex_;
    std::condition_variable answered_;
    std::function<void()> wake_;
    std::deque<std::pair<uint16_t, ecat::SdoAddress>> asked_;
    std::map<Key, Latest> latest_;
    std::map<uint16_t, Clock::time_point> statusAsked_;
    std::map<uint16_t, std::deque<ecat::TimedEmergency>> emergencies_;
    uint64_t generation_ = 0;
    uint64_t epoch_ = 0;  // one more each time the line changes
};

}  // namespace kestrum::gateway
