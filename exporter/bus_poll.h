// The diagnosis poll of one controller on the calling thread's link, as the window
// polls it, with the rises counted since the first poll.
#pragma once

#include <cstdint>
#include <vector>

#include "bus_sample.h"
#include "counter_rises.h"
#include "error_poll.h"

namespace pelvane::exporter {

class BusPoll {
  public:
    // One poll on g_controllerHandle. up is false when the link stopped answering.
    BusSample Poll();
    // After a new link: the controller behind it may hold another bus.
    void Relinked() { identifiedCount_ = -1; }

  private:
    void ReadIdentities(int32_t count);
    BusSample Sample() const;

    ErrorCounterTable table_{};
    ErrorPoll poll_;
    // Kept across links, so the rise counts never fall while the exporter runs.
    CounterRises rises_;
    struct Identity {
        int32_t vendorId = 0;
        int32_t deviceId = 0;
        bool known = false;  // both read; until then asked again on every poll
    };
    // By position; read anew when the node count changes (a line that changes loses or
    // gains nodes behind the change).
    std::vector<Identity> identities_;
    int32_t identifiedCount_ = -1;
};

}  // namespace pelvane::exporter
