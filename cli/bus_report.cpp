#include "cli/bus_report.h"

namespace pelvane::cli {

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
