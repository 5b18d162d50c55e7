// What one poll of a controller found, in the form the metrics are built from.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nodes/counter_rises.h"
#include "nodes/register_poll.h"
#include "nodes/registers.h"

namespace pelvane::exporter {

struct NodeSample {
    int32_t node = 0;
    int32_t vendorId = 0;
    int32_t deviceId = 0;
    std::array<RegisterRise, kRegisterCount> registers{};  // 300H..313H by offset
    // Which of 300H..303H the last poll read: only those have a value that is current.
    std::array<bool, kCounterCount> readNow{};
    std::optional<int32_t> statusWord;  // empty when the read failed
    // Where its cable comes from: the upstream node (none: the controller) and that node's
    // port as our texts number it. placed is false where a DL status above it was unread,
    // so the tree only assumed its place.
    std::optional<int32_t> parent;
    int parentPort = 1;
    bool placed = false;
    // By ESC port: whether the port had a link or counted anything since the exporter
    // started. Only those carry per-port series past 303H: most nodes have two ports.
    std::array<bool, 4> ports{true, false, false, false};
};

struct BusSample {
    bool up = false;
    int32_t nodeCount = 0;
    int64_t nodeCountDrops = 0;        // polls whose node count fell, since the exporter started
    std::optional<int32_t> lostCount;  // empty when the report held none
    // False when the controller reported no DL status: its bus is read as a line.
    bool topologyReported = false;
    // The counters 300H..303H the last poll could not read, over all nodes.
    int32_t countersUnread = 0;
    RegisterSource registerSource = RegisterSource::kBulk;
    std::vector<NodeSample> nodes;
};

}  // namespace pelvane::exporter
