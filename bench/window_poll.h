// One poll as the diagnosis page runs it, for the benchmarks that compare against it.
#pragma once

#include <cstdint>

#include "nodes/error_poll.h"

namespace pelvane::bench {

struct WindowPoll {
    void Poll(ErrorCounterTable& table) {
        (void)poll.ReadLostcountText();
        poll.PollNodes(table, nodeCount);
    }

    ErrorPoll poll;
    int32_t nodeCount = 0;
};

}  // namespace pelvane::bench
