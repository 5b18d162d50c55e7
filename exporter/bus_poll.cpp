#include "exporter/bus_poll.h"

#include "controller/queries.h"
#include "kestrum/language/dl_status.h"
#include "kestrum/language/error_registers.h"
#include "nodes/lostcount.h"

namespace pelvane::exporter {

BusSample BusPoll::Poll(std::chrono::steady_clock::time_point now) {
    if (!session_.PollOnce()) return BusSample{};
    ReadIdentities(session_.nodeCount(), now);
    SeePorts();
    BusSample sample = Sample();
    sample.lostCount = LostCountValue(session_.lostcountText());
    return sample;
}

void BusPoll::ReadIdentities(int32_t count, std::chrono::steady_clock::time_point now) {
    if (count != identifiedCount_) {
        identities_.assign(static_cast<size_t>(count), {});
        identifiedAt_ = now;
    } else if (now - identifiedAt_ >= identityInterval_) {
        // Asked again, shown as before until the answer comes.
        for (Identity& identity : identities_) identity.known = false;
        identifiedAt_ = now;
    }
    identifiedCount_ = count;
    for (int32_t node = 0; node < count; ++node) {
        Identity& identity = identities_[static_cast<size_t>(node)];
        if (identity.known) continue;
        bool vendorRead = false;
        bool deviceRead = false;
        const bool ok = GetNodeInfo(node, kestrum::language::kItemVendorId, &identity.vendorId,
                                    &vendorRead) == 0 &&
                        GetNodeInfo(node, kestrum::language::kItemDeviceId, &identity.deviceId,
                                    &deviceRead) == 0;
        identity.known = ok && vendorRead && deviceRead;
    }
}

BusSample BusPoll::Sample() const {
    BusSample sample;
    sample.up = true;
    sample.nodeCount = session_.nodeCount();
    sample.nodeCountDrops = session_.nodeCounts().drops;
    sample.topologyReported = session_.topologyReported();
    sample.registerSource = session_.registerSource();
    sample.nodes.resize(static_cast<size_t>(sample.nodeCount));
    const BusReading& reading = session_.last();
    for (int32_t node = 0; node < sample.nodeCount; ++node) {
        const auto i = static_cast<size_t>(node);
        NodeSample& out = sample.nodes[i];
        out.node = node;
        out.vendorId = identities_[i].vendorId;
        out.deviceId = identities_[i].deviceId;
        for (int reg = 0; reg < kRegisterCount; ++reg)
            out.registers[static_cast<size_t>(reg)] = session_.rises().at(node, reg);
        for (size_t reg = 0; reg < kCounterCount; ++reg) {
            out.readNow[reg] = reading.counters[i][reg].has_value();
            sample.countersUnread += out.readNow[reg] ? 0 : 1;
        }
        if (reading.statusWords[i] != kStatusWordUnread) out.statusWord = reading.statusWords[i];
        Place(out);
        out.ports = portsSeen_[i];
    }
    return sample;
}

void BusPoll::SeePorts() {
    const BusReading& reading = session_.last();
    for (int32_t node = 0; node < session_.nodeCount(); ++node) {
        const auto i = static_cast<size_t>(node);
        for (int escPort = 1; escPort < kestrum::language::kEscPortCount; ++escPort) {
            bool& seen = portsSeen_[i][static_cast<size_t>(escPort)];
            if (reading.dlStatus[i] && (*reading.dlStatus[i] & kestrum::language::DlLink(escPort)))
                seen = true;
            for (const kestrum::language::ErrorRegister& r : kestrum::language::kErrorRegisters)
                if (r.escPort == escPort && session_.rises().at(node, r.offset).value > 0)
                    seen = true;
        }
    }
}

void BusPoll::Place(NodeSample& out) const {
    const std::vector<TopologyNode>& tree = session_.topology().nodes;
    const auto i = static_cast<size_t>(out.node);
    if (i >= tree.size() || tree[i].assumed) return;
    out.parent = tree[i].parent;
    out.parentPort = PortLabel(tree[i].parentPort);
    out.placed = true;
}

}  // namespace pelvane::exporter
