// The diagnosis poll of one controller on the calling thread's link, as the window
// polls it, with the rises counted since the first poll.
#pragma once

#include <cstdint>
#include <utility>
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
    // Vendor and device ID by position, read when the node count changes.
    std::vector<std::pair<int32_t, int32_t>> identities_;
    int32_t identifiedCount_ = -1;
};

}  // namespace pelvane::exporter
