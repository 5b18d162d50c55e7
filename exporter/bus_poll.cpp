#include "bus_poll.h"

#include "kestrum.h"
#include "lostcount.h"
#include "queries.h"

namespace pelvane::exporter {

namespace {

// The library's own statuses: the link failed, not a command.
bool LinkFailed(int32_t status) {
    return status >= KST_ERR_INVALID_ARGUMENT && status <= KST_ERR_SYSTEM;
}

}  // namespace

BusSample BusPoll::Poll() {
    const std::string lostText = poll_.Poll(table_);
    // The poll keeps old values for queries that fail; one more query tells whether the
    // link itself still answers.
    int32_t count = 0;
    if (LinkFailed(GetNodeCount(&count))) return BusSample{};
    const int32_t polled = poll_.nodeCount();
    if (polled != identifiedCount_) ReadIdentities(polled);
    rises_.Take(table_, polled);
    BusSample sample = Sample();
    sample.lostCount = LostCountValue(lostText);
    return sample;
}

void BusPoll::ReadIdentities(int32_t count) {
    identities_.assign(static_cast<size_t>(count), {0, 0});
    for (int32_t node = 0; node < count; ++node) {
        auto& [vendorId, deviceId] = identities_[static_cast<size_t>(node)];
        GetNodeInfo(node, 0, &vendorId);
        GetNodeInfo(node, 1, &deviceId);
    }
    identifiedCount_ = count;
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
        out.vendorId = identities_[i].first;
        out.deviceId = identities_[i].second;
        for (int k = 0; k < kCounterCount; ++k)
            out.registers[static_cast<size_t>(k)] = rises_.at(node, k);
        // -1 is the poll's mark for a status word that could not be read.
        if (table_[kStatusWord][i] != -1) out.statusWord = table_[kStatusWord][i];
    }
    return sample;
}

}  // namespace pelvane::exporter
