// One node's identity as the node list shows it, in the names of the snapshot format.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "nodes/node_table.h"

namespace pelvane::cli {

// node, vendorId, vendorName (UTF-8), deviceId, switchNo, axes, inputs, outputs, ad, da;
// a field whose slot is not in read is null, its name too when the vendor ID is.
nlohmann::ordered_json NodeIdentityJson(const NodeRecord& record,
                                        NodeSlotsRead read = NodeSlotsRead().set());

// The same fields flattened for CSV: inputs.first, inputs.count, ...; a null is empty.
std::vector<std::string> NodeIdentityCsvHeader();
std::vector<std::string> NodeIdentityCsvFields(const NodeRecord& record,
                                               NodeSlotsRead read = NodeSlotsRead().set());

// IDs are written as their unsigned 32-bit pattern, as the node list shows them in hex.
uint32_t IdNumber(int32_t id);

// The node list's nine cells in UTF-8, "unread" where a slot behind a cell was not read,
// and their column titles.
std::vector<std::string> NodeListHeader();
std::vector<std::string> NodeListCells(const NodeRecord& record, NodeSlotsRead read);

// A drive status word as the window shows it ("1237H"), or "unread" for kStatusWordUnread.
std::string StatusWordText(int32_t statusWord);
// The snapshot's statusWord: a number, or null in JSON and empty in CSV when unread.
nlohmann::ordered_json StatusWordJson(std::optional<int32_t> statusWord);
std::string StatusWordCsv(std::optional<int32_t> statusWord);

}  // namespace pelvane::cli
