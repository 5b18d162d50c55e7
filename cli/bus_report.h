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

// "bus: as expected, 8 nodes", or the node counts and a line per change; identities that
// could not be read are listed as not compared.
std::string BusReport(const std::vector<BusChange>& changes, size_t before, size_t after);

}  // namespace pelvane::cli
