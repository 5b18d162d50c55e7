// What one poll of a controller found, in the form the metrics are built from.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nodes/counter_rises.h"

namespace pelvane::exporter {

struct NodeSample {
    int32_t node = 0;
    int32_t vendorId = 0;
    int32_t deviceId = 0;
    std::array<RegisterRise, kCounterCount> registers{};
    std::optional<int32_t> statusWord;  // empty when the read failed
};

struct BusSample {
    bool up = false;
    int32_t nodeCount = 0;
    int64_t nodeCountDrops = 0;        // polls whose node count fell, since the exporter started
    std::optional<int32_t> lostCount;  // empty when the report held none
    std::vector<NodeSample> nodes;
};

}  // namespace pelvane::exporter
