#include "nodes/bus_changes.h"

#include <algorithm>

#include "nodes/node_cells.h"
#include "nodes/vendor_table.h"

namespace pelvane {

namespace {

// Positions of the complete identities equal to identity.
std::vector<int32_t> Find(const std::vector<NodeIdentity>& bus, const NodeIdentity& identity) {
    std::vector<int32_t> found;
    if (!identity.complete()) return found;
    for (size_t i = 0; i < bus.size(); ++i)
        if (bus[i] == identity) found.push_back(static_cast<int32_t>(i));
    return found;
}

// The earlier position of a node that names exactly one node in each bus.
std::optional<int32_t> MovedFrom(const std::vector<NodeIdentity>& before,
                                 const std::vector<NodeIdentity>& after, int32_t position) {
    const NodeIdentity& identity = after[static_cast<size_t>(position)];
    const std::vector<int32_t> earlier = Find(before, identity);
    if (earlier.size() != 1 || earlier[0] == position || Find(after, identity).size() != 1)
        return std::nullopt;
    return earlier[0];
}

BusChange Change(BusChangeKind kind, int32_t position, const std::vector<NodeIdentity>& before,
                 const std::vector<NodeIdentity>& after) {
    BusChange change{kind, position, position, {}, {}, {}, {}};
    const auto i = static_cast<size_t>(position);
    if (i < before.size()) change.before = before[i];
    if (i < after.size()) change.after = after[i];
    return change;
}

// The change at a position both buses have, if any.
std::optional<BusChange> CompareAt(const std::vector<NodeIdentity>& before,
                                   const std::vector<NodeIdentity>& after, int32_t position) {
    const NodeIdentity& was = before[static_cast<size_t>(position)];
    const NodeIdentity& is = after[static_cast<size_t>(position)];
    if (!was.complete() || !is.complete())
        return Change(BusChangeKind::kUnread, position, before, after);
    if (was == is) return std::nullopt;
    if (const auto from = MovedFrom(before, after, position)) {
        BusChange moved = Change(BusChangeKind::kMoved, position, before, after);
        moved.from = *from;
        return moved;
    }
    const bool sameKind = was.vendorId == is.vendorId && was.deviceId == is.deviceId;
    return Change(sameKind ? BusChangeKind::kSwitchChanged : BusChangeKind::kReplaced, position,
                  before, after);
}

std::string IdText(const std::optional<int32_t>& id, bool vendor) {
    if (!id) return vendor ? "vendor unread" : "unread";
    return vendor ? VendorNameUtf8(*id) + "(" + FormatHex(*id) + ")" : FormatHex(*id);
}

std::string KindText(const NodeIdentity& node) {
    return IdText(node.vendorId, true) + " device " + IdText(node.deviceId, false);
}

std::string IdentityText(const NodeIdentity& node) {
    return KindText(node) + ", switch " +
           (node.switchNo ? FormatCount(*node.switchNo) : std::string("unread"));
}

// Where node hangs, when its own tree read it; none when placed as on a line.
std::optional<TreePlace> PlaceOf(const Topology& tree, size_t node) {
    if (node >= tree.nodes.size() || tree.nodes[node].assumed) return std::nullopt;
    const TopologyNode& placed = tree.nodes[node];
    return TreePlace{placed.parent, placed.parentPort};
}

std::string PlaceText(const TreePlace& place) {
    if (!place.parent) return "the controller";
    return FormatNodeLabel(*place.parent) + " port " + std::to_string(PortLabel(place.escPort));
}

}  // namespace

std::vector<BusChange> CompareBuses(const std::vector<NodeIdentity>& before,
                                    const std::vector<NodeIdentity>& after) {
    std::vector<BusChange> changes;
    const auto common = static_cast<int32_t>(std::min(before.size(), after.size()));
    for (int32_t i = 0; i < common; ++i)
        if (auto change = CompareAt(before, after, i)) changes.push_back(*change);
    for (auto i = static_cast<int32_t>(before.size()); i < static_cast<int32_t>(after.size());
         ++i) {
        BusChange added = Change(BusChangeKind::kAdded, i, before, after);
        if (const auto from = MovedFrom(before, after, i)) {
            added.kind = BusChangeKind::kMoved;
            added.from = *from;
        }
        changes.push_back(added);
    }
    for (auto i = static_cast<int32_t>(after.size()); i < static_cast<int32_t>(before.size());
         ++i) {
        // A node found again elsewhere was told as moved there.
        const NodeIdentity& gone = before[static_cast<size_t>(i)];
        if (Find(before, gone).size() == 1 && Find(after, gone).size() == 1) continue;
        changes.push_back(Change(BusChangeKind::kRemoved, i, before, after));
    }
    return changes;
}

std::vector<BusChange> CompareTrees(const std::vector<NodeIdentity>& before,
                                    const std::vector<NodeIdentity>& after,
                                    const Topology& treeBefore, const Topology& treeAfter) {
    std::vector<BusChange> changes;
    for (size_t i = 0; i < std::min(before.size(), after.size()); ++i) {
        if (!before[i].complete() || before[i] != after[i]) continue;
        const std::optional<TreePlace> was = PlaceOf(treeBefore, i), is = PlaceOf(treeAfter, i);
        if (!was || !is || *was == *is) continue;
        BusChange change = Change(BusChangeKind::kRehung, static_cast<int32_t>(i), before, after);
        change.placeBefore = *was;
        change.placeAfter = *is;
        changes.push_back(change);
    }
    return changes;
}

bool BusDiffers(const std::vector<BusChange>& changes) {
    return std::any_of(changes.begin(), changes.end(),
                       [](const BusChange& c) { return c.kind != BusChangeKind::kUnread; });
}

std::string BusChangeText(const BusChange& change) {
    const std::string node = FormatNodeLabel(change.position);
    switch (change.kind) {
        case BusChangeKind::kAdded:
            return node + " added: " + IdentityText(change.after);
        case BusChangeKind::kRemoved:
            return node + " removed: " + IdentityText(change.before);
        case BusChangeKind::kReplaced:
            return node + " replaced: " + KindText(change.before) + " -> " + KindText(change.after);
        case BusChangeKind::kSwitchChanged:
            return node + " dial switch " + FormatCount(*change.before.switchNo) + " -> " +
                   FormatCount(*change.after.switchNo) + " (" + KindText(change.after) + ")";
        case BusChangeKind::kMoved:
            return node + " moved here from " + FormatNodeLabel(change.from) + ": " +
                   IdentityText(change.after);
        case BusChangeKind::kRehung:
            return node + " moved: was on " + PlaceText(change.placeBefore) + ", now on " +
                   PlaceText(change.placeAfter);
        case BusChangeKind::kUnread:
            break;
    }
    return node + " identity unread, not compared";
}

}  // namespace pelvane
