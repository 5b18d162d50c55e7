#include "node_table.h"

#include <algorithm>

#include "controller_state.h"
#include "queries.h"

namespace pelvane {

std::array<NodeRecord, kNodeTableSize> g_nodeTable{};

int32_t QueryNodeTable(const std::function<void(int32_t, int32_t)>& progress) {
    int32_t count = 0;
    GetNodeCount(&count);
    // A controller may report more nodes than the table holds; never write beyond it.
    count = std::clamp(count, 0, kNodeTableSize);
    for (int32_t i = 0; i < count; ++i) {
        NodeRecord& record = g_nodeTable[static_cast<size_t>(i)];
        record.nodeNo = i;
        GetNodeInfo(i, 0, &record.vendorId);
        GetNodeInfo(i, 1, &record.deviceId);
        GetNodeInfo(i, 3, &record.switchNo);
        GetNodeAxisCount(g_controllerHandle, i, &record.axisCount);
        GetNodeIoBase(i, &record.ioBase);
        GetNodeInfo(i, 10, &record.inputCount);
        GetNodeInfo(i, 11, &record.outputCount);
        GetNodeAioBase(i, &record.aioBase);
        GetNodeInfo(i, 12, &record.adCount);
        GetNodeInfo(i, 13, &record.daCount);
        if (progress) progress(i + 1, count);
    }
    return count;
}

}  // namespace pelvane
