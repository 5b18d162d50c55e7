// What the controller last reported about each node on its bus, by bus position.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <vector>

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

// Slot numbers of the fields a read fills, nodeNo to daCount.
enum NodeSlot : int {
    kSlotNodeNo,
    kSlotVendorId,
    kSlotDeviceId,
    kSlotSwitchNo,
    kSlotAxisCount,
    kSlotIoBase,
    kSlotInputCount,
    kSlotOutputCount,
    kSlotAioBase,
    kSlotAdCount,
    kSlotDaCount,
};
inline constexpr int kReadSlotCount = 11;

// Which slots of one record the last read brought a number for; a slot without one
// still holds an older value, or 0, that the controller did not give this time.
using NodeSlotsRead = std::bitset<kReadSlotCount>;

inline constexpr std::array<int32_t NodeRecord::*, kReadSlotCount> kSlotFields = {
    &NodeRecord::nodeNo,     &NodeRecord::vendorId,    &NodeRecord::deviceId,
    &NodeRecord::switchNo,   &NodeRecord::axisCount,   &NodeRecord::ioBase,
    &NodeRecord::inputCount, &NodeRecord::outputCount, &NodeRecord::aioBase,
    &NodeRecord::adCount,    &NodeRecord::daCount};

inline int32_t& Slot(NodeRecord& record, int slot) {
    return record.*kSlotFields[static_cast<size_t>(slot)];
}
inline int32_t Slot(const NodeRecord& record, int slot) {
    return record.*kSlotFields[static_cast<size_t>(slot)];
}

// Zero at start and never cleared: a reconnect or a shorter bus keeps older records.
extern std::array<NodeRecord, kNodeTableSize> g_nodeTable;

// Queries the node count and then, node by node, the ten values of each record; a query
// that brings no value keeps the slot's earlier one. Returns the count of records
// written: the controller's count, 0 when it could not be read, at most the table's size.
// progress, when given, hears (records read, count) after each record; slotsRead, when
// given, gets one entry per record written.
int32_t QueryNodeTable(const std::function<void(int32_t, int32_t)>& progress = {},
                       std::vector<NodeSlotsRead>* slotsRead = nullptr);

}  // namespace pelvane
