#include "bus_poll.h"

#include "lostcount.h"
#include "queries.h"

namespace pelvane::exporter {

BusSample BusPoll::Poll() {
    const std::string lostText = poll_.Poll(table_);
    if (!poll_.linkAnswered()) return BusSample{};
    ReadIdentities(poll_.nodeCount());
    rises_.Take(poll_, table_);
    BusSample sample = Sample();
    sample.lostCount = LostCountValue(lostText);
    return sample;
}

void BusPoll::ReadIdentities(int32_t count) {
    if (count != identifiedCount_) identities_.assign(static_cast<size_t>(count), {});
    identifiedCount_ = count;
    for (int32_t node = 0; node < count; ++node) {
        Identity& identity = identities_[static_cast<size_t>(node)];
        if (identity.known) continue;
        bool vendorRead = false;
        bool deviceRead = false;
        const bool ok = GetNodeInfo(node, 0, &identity.vendorId, &vendorRead) == 0 &&
                        GetNodeInfo(node, 1, &identity.deviceId, &deviceRead) == 0;
        identity.known = ok && vendorRead && deviceRead;
    }
}

BusSample BusPoll::Sample() const {
    BusSample sample;
    sample.up = true;
    sample.nodeCount = poll_.nodeCount();
    sample.nodes.resize(static_cast<size_t>(sample.nodeCount));
    for (int32_t node = 0; node < sample.nodeCount; ++node) {
        const auto i = static_cast<size_t>(node);
        NodeSample& out = sample.nodes[i];
        out.node = node;
        out.vendorId = identities_[i].vendorId;
        out.deviceId = identities_[i].deviceId;
        for (int k = 0; k < kCounterCount; ++k)
            out.registers[static_cast<size_t>(k)] = rises_.at(node, k);
        if (table_[kStatusWord][i] != kStatusWordUnread) out.statusWord = table_[kStatusWord][i];
    }
    return sample;
}

}  // namespace pelvane::exporter
