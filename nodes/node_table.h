// What the controller last reported about each node on its bus, by bus position.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace pelvane {

inline constexpr int kNodeTableSize = 256;

// 20 slots of 32 bits; the first five are also the node list's column numbers.
struct NodeRecord {
    int32_t nodeNo;
    int32_t vendorId;
    int32_t deviceId;
    int32_t switchNo;
    int32_t axisCount;
    int32_t ioBase;
    int32_t inputCount;
    int32_t outputCount;
    int32_t aioBase;
    int32_t adCount;
    int32_t daCount;
    int32_t spare[9];
};
static_assert(sizeof(NodeRecord) == 20 * sizeof(int32_t));

// Zero at start and never cleared: a reconnect or a shorter bus keeps older records.
extern std::array<NodeRecord, kNodeTableSize> g_nodeTable;

// Queries the node count and then, node by node, the ten values of each record; a query
// that brings no value keeps the slot's earlier one. Returns the count of records
// written: the controller's count, 0 when it could not be read, at most the table's size.
// progress, when given, hears (records read, count) after each record.
int32_t QueryNodeTable(const std::function<void(int32_t, int32_t)>& progress = {});

}  // namespace pelvane
