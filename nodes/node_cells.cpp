#include "nodes/node_cells.h"

#include <cinttypes>
#include <cstdio>

#include "nodes/vendor_table.h"

namespace pelvane {

std::string FormatNodeLabel(int32_t node) {
    char text[24];
    std::snprintf(text, sizeof text, "Node%" PRId32, node);
    return text;
}

std::string FormatVendor(int32_t vendorId) {
    char name[kVendorNameSize];
    LookupVendorName(vendorId, name);
    std::string text = name;
    text += '(';
    text += FormatHex(vendorId);
    text += ')';
    return text;
}

std::string FormatHex(int32_t value, int minDigits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*" PRIx32 "H", minDigits, static_cast<uint32_t>(value));
    return text;
}

std::string FormatCount(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%" PRId32, value);
    return text;
}

std::string FormatRange(int32_t count, int32_t first) {
    if (count == 0) return FormatCount(count);
    // Computed wide: controller values near the 32-bit limits must not overflow.
    const int64_t last = int64_t{first} + count - 1;
    char text[48];
    std::snprintf(text, sizeof text, "%" PRId32 "(%" PRId32 "-%" PRId64 ")", count, first, last);
    return text;
}

std::array<std::string, kNodeInfoColumnCount> NodeInfoCells(const NodeRecord& record) {
    return {FormatNodeLabel(record.nodeNo),
            FormatVendor(record.vendorId),
            FormatHex(record.deviceId),
            FormatCount(record.switchNo),
            FormatCount(record.axisCount),
            FormatRange(record.inputCount, record.ioBase),
            FormatRange(record.outputCount, record.ioBase),
            FormatRange(record.adCount, record.aioBase),
            FormatRange(record.daCount, record.aioBase)};
}

}  // namespace pelvane
