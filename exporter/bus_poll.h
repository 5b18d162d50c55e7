// The diagnosis poll of one controller on the calling thread's link, as the window
// polls it, with the rises counted since the first poll.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "exporter/bus_sample.h"
#include "nodes/poll_session.h"

namespace pelvane::exporter {

// A node swapped on a line that keeps its length shows its new identity this late.
inline constexpr std::chrono::milliseconds kDefaultIdentityInterval{60000};

class BusPoll {
  public:
    explicit BusPoll(std::chrono::milliseconds identityInterval = kDefaultIdentityInterval)
        : identityInterval_(identityInterval) {}

    // One poll on g_controllerHandle. up is false when the link stopped answering.
    BusSample Poll(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());
    // After a new link: the controller behind it may hold another bus, and may answer
    // the bulk register read that the one before refused.
    void Relinked() {
        identifiedCount_ = -1;
        session_.Relinked();
    }

  private:
    void ReadIdentities(int32_t count, std::chrono::steady_clock::time_point now);
    BusSample Sample() const;
    void Place(NodeSample& out) const;
    void SeePorts();

    // Kept across links, so the rise counts never fall while the exporter runs.
    PollSession session_;
    struct Identity {
        int32_t vendorId = 0;
        int32_t deviceId = 0;
        bool known = false;  // both read; until then asked again on every poll
    };
    // By position; read anew when the node count changes (a line that changes loses or
    // gains nodes behind the change) and every identityInterval_.
    std::vector<Identity> identities_;
    int32_t identifiedCount_ = -1;
    std::chrono::milliseconds identityInterval_;
    std::chrono::steady_clock::time_point identifiedAt_;
    // By position, the ESC ports seen with a link or a count; once seen, served for good,
    // so a port whose link went keeps its series.
    std::vector<std::array<bool, 4>> portsSeen_ =
        std::vector<std::array<bool, 4>>(kPollCapacity, {true, false, false, false});
};

}  // namespace pelvane::exporter
