#include "cli/bus_report.h"

#include <algorithm>

namespace pelvane::cli {

namespace {

Topology TreeOf(const Snapshot& snapshot) {
    std::vector<std::optional<uint16_t>> dlStatus;
    for (const SnapshotNode& node : snapshot.nodes) dlStatus.push_back(node.dlStatus);
    return ComputeTopology(dlStatus);
}

}  // namespace

NodeIdentity IdentityOf(const NodeRecord& record, const NodeSlotsRead& read) {
    NodeIdentity identity;
    if (read[kSlotVendorId]) identity.vendorId = record.vendorId;
    if (read[kSlotDeviceId]) identity.deviceId = record.deviceId;
    if (read[kSlotSwitchNo]) identity.switchNo = record.switchNo;
    return identity;
}

std::vector<NodeIdentity> IdentitiesOf(const Snapshot& snapshot) {
    std::vector<NodeIdentity> identities;
    for (const SnapshotNode& node : snapshot.nodes)
        identities.push_back(IdentityOf(node.record, node.read));
    return identities;
}

bool TopologyRead(const Snapshot& snapshot) {
    return snapshot.nodes.empty() ||
           std::ranges::any_of(snapshot.nodes,
                               [](const SnapshotNode& node) { return node.dlStatus.has_value(); });
}

std::vector<BusChange> SnapshotChanges(const Snapshot& before, const Snapshot& after) {
    const std::vector<NodeIdentity> was = IdentitiesOf(before), is = IdentitiesOf(after);
    std::vector<BusChange> changes = CompareBuses(was, is);
    if (!TopologyRead(before) || !TopologyRead(after)) return changes;
    for (const BusChange& change : CompareTrees(was, is, TreeOf(before), TreeOf(after)))
        changes.push_back(change);
    std::ranges::stable_sort(changes, {}, &BusChange::position);
    return changes;
}

std::string BusReport(const std::vector<BusChange>& changes, size_t before, size_t after) {
    const std::string counts =
        before == after ? std::to_string(after) + " nodes"
                        : std::to_string(before) + " -> " + std::to_string(after) + " nodes";
    std::string text = "bus: " + counts +
                       (BusDiffers(changes) ? ", differs from the reference\n" : ", as expected\n");
    for (const BusChange& change : changes) text += "  " + BusChangeText(change) + "\n";
    return text;
}

}  // namespace pelvane::cli
