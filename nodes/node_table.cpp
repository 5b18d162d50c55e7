#include "nodes/node_table.h"

#include <algorithm>

#include "controller/controller_state.h"
#include "controller/queries.h"

namespace pelvane {

std::array<NodeRecord, kNodeTableSize> g_nodeTable{};

namespace {

// The ten queries of one record, in the order the controller is asked.
NodeSlotsRead QueryRecord(int32_t i, NodeRecord& record) {
    NodeSlotsRead read;
    read[kSlotNodeNo] = true;
    record.nodeNo = i;
    // Each query with its slot: the value counts as read only when a number came.
    auto take = [&](int slot, auto&& query) {
        bool found = false;
        read[static_cast<size_t>(slot)] = query(&Slot(record, slot), &found) == 0 && found;
    };
    auto info = [&](int slot, kestrum::language::NodeInfoItem item) {
        take(slot, [&](int32_t* value, bool* found) { return GetNodeInfo(i, item, value, found); });
    };
    info(kSlotVendorId, kestrum::language::kItemVendorId);
    info(kSlotDeviceId, kestrum::language::kItemDeviceId);
    info(kSlotSwitchNo, kestrum::language::kItemSwitchNo);
    take(kSlotAxisCount, [&](int32_t* value, bool* found) {
        return GetNodeAxisCount(g_controllerHandle, i, value, found);
    });
    take(kSlotIoBase, [&](int32_t* value, bool* found) { return GetNodeIoBase(i, value, found); });
    info(kSlotInputCount, kestrum::language::kItemInputCount);
    info(kSlotOutputCount, kestrum::language::kItemOutputCount);
    take(kSlotAioBase,
         [&](int32_t* value, bool* found) { return GetNodeAioBase(i, value, found); });
    info(kSlotAdCount, kestrum::language::kItemAdCount);
    info(kSlotDaCount, kestrum::language::kItemDaCount);
    return read;
}

}  // namespace

int32_t QueryNodeTable(const std::function<void(int32_t, int32_t)>& progress,
                       std::vector<NodeSlotsRead>* slotsRead) {
    int32_t count = 0;
    GetNodeCount(&count);
    // A controller may report more nodes than the table holds; never write beyond it.
    count = std::clamp(count, 0, kNodeTableSize);
    if (slotsRead != nullptr) slotsRead->clear();
    for (int32_t i = 0; i < count; ++i) {
        const NodeSlotsRead read = QueryRecord(i, g_nodeTable[static_cast<size_t>(i)]);
        if (slotsRead != nullptr) slotsRead->push_back(read);
        if (progress) progress(i + 1, count);
    }
    return count;
}

}  // namespace pelvane
