// Cell texts of the two node lists, as 8-bit GBK text.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "nodes/node_table.h"

namespace pelvane {

inline constexpr int kNodeInfoColumnCount = 9;

// "Node%d"
std::string FormatNodeLabel(int32_t node);
// "%s(%xH)": the vendor's display name, then its ID.
std::string FormatVendor(int32_t vendorId);
// "%xH": lowercase, zero-padded to minDigits; negative values show their 32-bit pattern.
std::string FormatHex(int32_t value, int minDigits = 1);
// "%d"
std::string FormatCount(int32_t value);
// "count(first-last)", or the plain count when it is 0.
std::string FormatRange(int32_t count, int32_t first);

// The node list's nine cells of one record, column by column.
std::array<std::string, kNodeInfoColumnCount> NodeInfoCells(const NodeRecord& record);

}  // namespace pelvane
