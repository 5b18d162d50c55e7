// The bus itself compared with a reference: which nodes were added, removed, replaced
// or moved, as diff and check --reference say it.
#pragma once

#include <string>
#include <vector>

#include "cli/snapshot.h"
#include "nodes/bus_changes.h"
#include "nodes/node_table.h"

namespace pelvane::cli {

NodeIdentity IdentityOf(const NodeRecord& record, const NodeSlotsRead& read);
std::vector<NodeIdentity> IdentitiesOf(const Snapshot& snapshot);

// False when no node of a non-empty snapshot carries its DL status: a file of format 1, or
// a controller that reports no topology.
bool TopologyRead(const Snapshot& snapshot);

// The changes from before to after; with the DL status on both sides also the nodes that
// hang on another port, in position order.
std::vector<BusChange> SnapshotChanges(const Snapshot& before, const Snapshot& after);

// "bus: as expected, 8 nodes", or the node counts and a line per change; identities that
// could not be read are listed as not compared.
std::string BusReport(const std::vector<BusChange>& changes, size_t before, size_t after);

}  // namespace pelvane::cli
