// Is this the bus expected? Two readings of the nodes' identities compared position by
// position: nodes added or removed at the end, replaced, with another dial switch, or
// moved to another position; and, on two trees, a node that hangs on another port.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nodes/topology.h"

namespace pelvane {

// What identifies a node on the bus; none where the controller gave no value.
struct NodeIdentity {
    std::optional<int32_t> vendorId, deviceId, switchNo;

    bool complete() const { return vendorId && deviceId && switchNo; }
    bool operator==(const NodeIdentity&) const = default;
};

enum class BusChangeKind {
    kAdded,          // a node past the end of the earlier bus
    kRemoved,        // the earlier bus's node at the position is gone from the end
    kReplaced,       // vendor or device ID differ
    kSwitchChanged,  // the same vendor and device with another dial switch
    kMoved,          // the node identified at another position of the earlier bus
    kUnread,         // an identity field could not be read: not compared
    kRehung,         // the same node at the same position hangs on another node or port
};

// Where a node hangs on the tree.
struct TreePlace {
    std::optional<int32_t> parent;  // none: the controller
    int escPort = 0;                // the parent's port

    bool operator==(const TreePlace&) const = default;
};

struct BusChange {
    BusChangeKind kind;
    int32_t position = 0;  // in the later bus; in the earlier one for kRemoved
    int32_t from = 0;      // kMoved: its position in the earlier bus
    NodeIdentity before, after;
    TreePlace placeBefore, placeAfter;  // kRehung
};

// Changes from before to after, by position. A node counts as moved only when its
// vendor, device and switch together name exactly one node in each bus.
std::vector<BusChange> CompareBuses(const std::vector<NodeIdentity>& before,
                                    const std::vector<NodeIdentity>& after);

// Nodes of the same complete identity at the same position of both buses whose place on
// the tree differs, as kRehung by position. A node either tree placed by the line
// assumption is not judged: only a place read from the DL status can have changed.
std::vector<BusChange> CompareTrees(const std::vector<NodeIdentity>& before,
                                    const std::vector<NodeIdentity>& after,
                                    const Topology& treeBefore, const Topology& treeAfter);

// True when a change other than an unread identity was found.
bool BusDiffers(const std::vector<BusChange>& changes);

// "Node3 replaced: Kestrum(41bH) device 30004H -> 汇川(100000H) device 5H", in UTF-8.
std::string BusChangeText(const BusChange& change);

}  // namespace pelvane
